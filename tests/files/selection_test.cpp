// Selection entries: grammar, destinations for reading, matching for deletion, stored names.
#include "framework/files/selection.h"

#include <gtest/gtest.h>

#include "tests/files/files_test_support.h"

namespace lumra::files {
namespace {

TEST(Selection, ParsesTheThreeForms) {
  struct Case {
    const char* text;
    EntryKind kind;
    bool selects;
    const char* pattern;
    const char* destination;
  };
  const Case cases[] = {
      {"*.*", EntryKind::kPlain, true, "*.*", ""},
      {"docs/*.txt", EntryKind::kPlain, true, "docs/*.txt", ""},
      {"+*.*/+/tmp/out", EntryKind::kPlace, true, "*.*", "+/tmp/out"},
      {"+src\\*.c/dest", EntryKind::kPlace, true, "src\\*.c", "dest"},
      {"+*.*/", EntryKind::kPlace, true, "*.*", ""},
      {"-*.txt/x", EntryKind::kBare, true, "*.txt", "x"},
      {"+*.*", EntryKind::kPlace, false, "*.*", ""},
      {"-*.*", EntryKind::kBare, false, "*.*", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const SelectionEntry e = parse_selection_entry(c.text);
    EXPECT_EQ(e.kind, c.kind);
    EXPECT_EQ(e.selects, c.selects);
    EXPECT_EQ(e.pattern, c.pattern);
    EXPECT_EQ(e.destination, c.destination);
    EXPECT_EQ(e.text, c.text);
  }
}

TEST(Selection, ListEntriesAreFixed256ByteSlotsAndMustBeTerminated) {
  std::vector<char> list = test_support::selection({"a.txt", "+*.*/+out"});
  std::vector<SelectionEntry> entries;
  ASSERT_TRUE(parse_selection(list.data(), 2, &entries));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].destination, "+out");
  std::vector<char> unterminated(256, 'a');
  EXPECT_FALSE(parse_selection(unterminated.data(), 1, &entries));
  EXPECT_NE(std::string(base::last_error()).find("not terminated"), std::string::npos);
}

TEST(Selection, OutputNamesFollowTheDestinationRules) {
  struct Case {
    const char* entry;
    int action;
    const char* member;
    const char* root;
    const char* relative;
  };
  const Case cases[] = {
      {"+*.*/+D:\\out", 4, "a\\b\\c.txt", "D:\\out", "a\\b\\c.txt"},
      {"+*.*/+/tmp/x", 3, "a\\b\\c.txt", "/tmp/x", "a\\b\\c.txt"},  // "+" entries keep paths in action 3
      {"*.*", 4, "a\\b\\c.txt", "", "a\\b\\c.txt"},
      {"*.*", 3, "a\\b\\c.txt", "", "c.txt"},
      {"+*.*/flat", 4, "a\\b\\c.txt", "flat", "c.txt"},
      {"+*.*/", 4, "a\\b\\c.txt", "", "c.txt"},
      {"-*.*/ignored", 4, "a\\b\\c.txt", "", "c.txt"},
      {"+*.*/+", 4, "a\\b\\", "", "a\\b\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.entry) + " " + c.member);
    const OutputName o = selection_output(parse_selection_entry(c.entry), c.action, c.member);
    EXPECT_EQ(o.root, c.root);
    EXPECT_EQ(o.relative, c.relative);
  }
}

TEST(Selection, FindTakesTheFirstMatchingEntry) {
  std::vector<SelectionEntry> e = {parse_selection_entry("+*.*"), parse_selection_entry("*.txt"),
                                   parse_selection_entry("+*.*/x")};
  EXPECT_EQ(selection_find(e, "a.txt"), 1);
  EXPECT_EQ(selection_find(e, "a.bin"), 2);
  EXPECT_EQ(selection_find({}, "a.bin"), -1);
  EXPECT_EQ(selection_find_whole(e, "a.txt"), 1);
  EXPECT_EQ(selection_find_whole({parse_selection_entry("+*.*/x")}, "a.txt"), -1);  // used whole
}

TEST(Selection, DeletionPlacesPatternsUnderTheirDestination) {
  struct Case {
    const char* entry;
    const char* member;
    bool selected;
  };
  const Case cases[] = {
      {"*.txt", "a.txt", true},
      {"*.txt", "d\\a.txt", true},
      {"+*.txt/docs", "docs\\a.txt", true},
      {"+*.txt/docs", "docs\\sub\\a.txt", false},
      {"+*.txt/docs", "a.txt", false},
      {"+*.txt/+docs", "docs\\sub\\a.txt", true},  // "+" destination: the whole folder below
      {"+*.txt/+docs", "other\\a.txt", false},
      {"+*.txt/+/abs/docs", "abs\\docs\\a.txt", true},
      {"-*.txt/docs", "docs\\a.txt", true},
      {"+*.txt/", "a.txt", true},
      {"+*.txt/", "d\\a.txt", false},
      {"+*.txt", "a.txt", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.entry) + " " + c.member);
    EXPECT_EQ(selection_selects_for_delete({parse_selection_entry(c.entry)}, c.member), c.selected);
  }
}

TEST(Selection, StoredNameForm) {
  EXPECT_EQ(stored_name_form("/home/u/a.txt"), "home\\u\\a.txt");
  EXPECT_EQ(stored_name_form("C:\\x\\.\\y/z"), "x\\y\\z");
  EXPECT_EQ(stored_name_form("./a//b"), "a\\b");
  EXPECT_EQ(stored_name_form(""), "");
}

}  // namespace
}  // namespace lumra::files
