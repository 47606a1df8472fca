// The freedesktop text readers on their own: key-file lookups, string escapes, lists, and the Exec
// line's quoting and field codes, each a table of the cases the rules name plus hostile ones.
#include "platform/posix/xdg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumra::sys::xdg {
namespace {

using Strings = std::vector<std::string>;

TEST(XdgKeyFile, FindsTheFirstValueOfAKeyInItsGroup) {
  const std::string text =
      "# comment=no\n"
      "[Desktop Entry]\r\n"
      "Name[de]=Netz\n"
      "  Name =  Web Browser  \n"
      "Exec=first\n"
      "Exec=second\n"
      "[Desktop Action new]\n"
      "Exec=action\n"
      "Type\n"
      "[Desktop Entry]\n"
      "Icon=later-group\n"
      "[Broken\n"
      "Icon=not-in-a-group\n";
  struct Case {
    const char* group;
    const char* key;
    const char* expected;  // nullptr: none
  } cases[] = {
      {"Desktop Entry", "Name", "Web Browser"},         // blanks around "=" and at the end go
      {"Desktop Entry", "Name[de]", "Netz"},            // a locale suffix is a key of its own
      {"Desktop Entry", "Exec", "first"},               // the first of a repeated key
      {"Desktop Action new", "Exec", "action"},
      {"Desktop Entry", "Icon", "later-group"},         // a group met again goes on
      {"Desktop Entry", "comment", nullptr},            // comments are not keys
      {"Desktop Action new", "Type", nullptr},          // a line without "="
      {"Nowhere", "Exec", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.group) + "/" + c.key);
    std::string value;
    const bool found = find_value(text, c.group, c.key, &value);
    ASSERT_EQ(found, c.expected != nullptr);
    if (c.expected) {
      EXPECT_EQ(value, c.expected);
    }
  }
}

TEST(XdgKeyFile, ATextWithANulByteHasNoValues) {
  std::string value;
  EXPECT_FALSE(find_value(std::string("[A]\nB=c\0d\n", 11), "A", "B", &value));
  EXPECT_FALSE(find_value("", "A", "B", &value));
  EXPECT_FALSE(find_value("[A]\nB=c", "A", "C", &value));
  EXPECT_TRUE(find_value("[A]\nB=c", "A", "B", &value));  // no line break at the end
  EXPECT_EQ(value, "c");
}

TEST(XdgKeyFile, UnescapesStringValues) {
  EXPECT_EQ(unescape(R"(a\sb\nc\td\re\\f)"), "a b\nc\td\re\\f");
  EXPECT_EQ(unescape(R"(\q\)"), R"(\q\)");  // not escapes: kept as they stand
  EXPECT_EQ(unescape(R"(\\\\)"), R"(\\)");
}

TEST(XdgKeyFile, SplitsLists) {
  EXPECT_EQ(split_list("a.desktop;b.desktop;"), (Strings{"a.desktop", "b.desktop"}));
  EXPECT_EQ(split_list(" a ;; b"), (Strings{"a", "b"}));
  EXPECT_EQ(split_list(R"(x\;y;z)"), (Strings{"x;y", "z"}));
  EXPECT_EQ(split_list(";;"), Strings{});
}

TEST(XdgExec, SplitsAndExpands) {
  ExecContext context{"/t/LVR1.tmp/index.html", "web-browser", "Web Browser", "/apps/web.desktop"};
  const std::string& page = context.file;
  struct Case {
    const char* name;
    const char* exec;
    Strings arguments;
    size_t file_argument;
  } cases[] = {
      {"file code alone", "browser %u", {"browser", page}, 1},
      {"file list code", "/usr/bin/browser --new-window %U", {"/usr/bin/browser", "--new-window", page}, 2},
      {"no file code: page last", "browser --flag", {"browser", "--flag", page}, 2},
      {"file code inside an argument", "browser --url=%f!", {"browser", "--url=" + page + "!"}, 1},
      {"quotes group", R"("my browser" "a b"  c)", {"my browser", "a b", "c", page}, 3},
      {"escapes inside quotes", R"(b "q\"x\`y\$z\\w")", {"b", "q\"x`y$z\\w", page}, 2},
      {"other backslashes stay", R"(b "a\nb" c\d)", {"b", R"(a\nb)", R"(c\d)", page}, 3},
      {"empty quotes are an argument", R"(b "" %f)", {"b", "", page}, 2},
      {"reserved characters unquoted", "b a|b;c>d", {"b", "a|b;c>d", page}, 2},
      {"percent sign", "b 100%% %f", {"b", "100%", page}, 2},
      {"field codes in quotes are text", R"(b "%f")", {"b", "%f", page}, 2},
      {"icon alone", "b %i %f", {"b", "--icon", "web-browser", page}, 3},
      {"icon inside", "b --icon=%i %f", {"b", "--icon=web-browser", page}, 2},
      {"name and desktop file", "b %c %k %f", {"b", "Web Browser", "/apps/web.desktop", page}, 3},
      {"deprecated codes vanish", "b %d %D %n %N %v %m %f", {"b", page}, 1},
      {"unknown code vanishes", "b x%zy %f", {"b", "xy", page}, 2},
      {"trailing percent vanishes", "b %f %", {"b", page}, 1},
      {"tabs and runs of blanks", "b\t\t%f  ", {"b", page}, 1},
      {"the same code twice", "b %f %u", {"b", page, page}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExecCommand command;
    ASSERT_TRUE(expand_exec(c.exec, context, &command));
    EXPECT_EQ(command.arguments, c.arguments);
    EXPECT_EQ(command.file_argument, c.file_argument);
  }
}

TEST(XdgExec, IconCodeWithoutIconVanishes) {
  ExecCommand command;
  ASSERT_TRUE(expand_exec("b %i %f", ExecContext{"p", "", "", ""}, &command));
  EXPECT_EQ(command.arguments, (Strings{"b", "p"}));
}

TEST(XdgExec, RefusesBrokenLines) {
  const ExecContext context{"/p", "", "", ""};
  struct Case {
    const char* name;
    std::string exec;
  } cases[] = {
      {"unterminated quote", R"(b "a %f)"},
      {"escaped closing quote", R"(b "a\")"},
      {"NUL byte", std::string("b\0c", 3)},
      {"empty", ""},
      {"blanks only", "   "},
      {"empty program", R"("" %f)"},
      {"only a vanishing code", "%d"},
      {"past the command limit", "b " + std::string(kMaxCommandBytes, 'x')},
      {"expands past the limit", "b " + [] {
         std::string s;
         for (size_t i = 0; i < kMaxCommandBytes / 2; ++i) s += "%k";
         return s;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExecCommand command;
    ExecContext big = context;
    big.desktop_file = "/a/b";
    EXPECT_FALSE(expand_exec(c.exec, big, &command));
  }
}

// Backslashes pass two layers: the string escapes of the key file, then the Exec quoting. A
// literal backslash inside quotes is four in the file.
TEST(XdgExec, StringEscapesComeBeforeQuoting) {
  std::string raw;
  ASSERT_TRUE(find_value("[Desktop Entry]\nExec=sh -c \"echo \\\\\\\\ \\\\$HOME\"\n", "Desktop Entry", "Exec", &raw));
  ExecCommand command;
  ASSERT_TRUE(expand_exec(unescape(raw), ExecContext{"/p", "", "", ""}, &command));
  EXPECT_EQ(command.arguments, (Strings{"sh", "-c", "echo \\ $HOME", "/p"}));
}

}  // namespace
}  // namespace lumra::sys::xdg
