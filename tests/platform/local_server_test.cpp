// The loopback server with real sockets and real files: only files under the token and inside
// the folder, never through a link, only for our own Host, with ranges, and nothing after stop.
#include "platform/system/local_server.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "platform/posix/serve_rules.h"
#include "tests/platform/desktop_test_support.h"
#include "tests/platform/http_test_client.h"

namespace lumra::sys {
namespace {

namespace ts = test_support;

class LocalServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ts::write_text(root_ / "index.html", "<html>hello</html>"));
    ASSERT_EQ(mkdir((root_ / "data").c_str(), 0700), 0);
    ASSERT_TRUE(ts::write_text(root_ / "data/scene.json", "{\"a\":1}"));
    ASSERT_TRUE(ts::write_text(root_ / "data/with space é.txt", "spaced"));
    ASSERT_TRUE(ts::write_text(root_ / "media.webm", "0123456789abcdefghij"));
    ASSERT_TRUE(ts::write_text(outside_ / "secret.txt", "secret"));
    ASSERT_EQ(symlink((outside_ / "secret.txt").c_str(), (root_ / "link.txt").c_str()), 0);
    ASSERT_EQ(symlink(outside_.path().c_str(), (root_ / "linkdir").c_str()), 0);
    std::string reason;
    server_ = start_local_server({root_.path(), false}, &reason);
    ASSERT_TRUE(server_) << reason;
    address_ = local_server_address(*server_);
    ASSERT_TRUE(ts::split_server_address(address_, &port_, &token_)) << address_;
    host_ = "127.0.0.1:" + std::to_string(port_);
  }
  ts::HttpReply get(const std::string& path, const std::string& extra = "") {
    return ts::http_exchange(port_, ts::http_request("GET", path, host_, extra));
  }
  std::string at(const std::string& name) const { return "/" + token_ + "/" + name; }

  ts::TempFolder root_, outside_;
  LocalServerHandle server_;
  std::string address_, token_, host_;
  uint16_t port_ = 0;
};

TEST_F(LocalServerTest, AddressHasALongRandomToken) {
  EXPECT_GE(token_.size(), 32u) << "128 bits in hexadecimal";
  std::string reason;
  const LocalServerHandle other = start_local_server({root_.path(), false}, &reason);
  ASSERT_TRUE(other) << reason;
  EXPECT_NE(local_server_address(*other), address_);
}

TEST_F(LocalServerTest, ServesFilesWithTheirTypeAndNoStore) {
  const ts::HttpReply page = get(at("index.html"));
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.body, "<html>hello</html>");
  EXPECT_EQ(page.header("content-type"), "text/html; charset=utf-8");
  EXPECT_EQ(page.header("cache-control"), "no-store");
  EXPECT_EQ(page.header("accept-ranges"), "bytes");
  const ts::HttpReply json = get(at("data/scene.json?v=3"));
  EXPECT_EQ(json.status, 200);
  EXPECT_EQ(json.header("content-type"), "application/json");
  EXPECT_EQ(get(at("data/with%20space%20%C3%A9.txt")).body, "spaced");
  const ts::HttpReply head = ts::http_exchange(port_, ts::http_request("HEAD", at("index.html"), host_));
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.header("content-length"), "18");
  EXPECT_EQ(head.body, "");
}

TEST_F(LocalServerTest, RefusesWhatIsNotAFileUnderTheToken) {
  struct Case {
    std::string path;
    int status;
  } const cases[] = {
      {"/index.html", 404},                                // no token
      {"/" + token_.substr(1) + "/index.html", 404},       // a wrong token
      {"/" + token_ + "x/index.html", 404},
      {at(""), 404},                                       // no listing
      {at("data"), 404},
      {at("data/"), 404},
      {at("missing.html"), 404},
      {at("../" + root_.path().substr(root_.path().rfind('/') + 1) + "/index.html"), 400},
      {at("data/../index.html"), 400},
      {at("%2e%2e/index.html"), 400},
      {at("%2E%2e/index.html"), 400},
      {at("data%2fscene.json"), 400},
      {at("data%2Fscene.json"), 400},
      {at("data%5cscene.json"), 400},
      {at("data\\scene.json"), 400},
      {at("./index.html"), 400},
      {at("index.html%00.txt"), 400},
      {at("index.html%"), 400},
      {at("index.html%zz"), 400},
      {at("link.txt"), 404},                               // a link to a file outside
      {at("linkdir/secret.txt"), 404},                     // a link to a folder outside
  };
  for (const Case& c : cases) {
    const ts::HttpReply reply = get(c.path);
    EXPECT_EQ(reply.status, c.status) << c.path;
    EXPECT_EQ(reply.body.find("secret"), std::string::npos) << c.path;
  }
}

TEST_F(LocalServerTest, OnlyOurHostAndOnlyGetOrHead) {
  for (const std::string& host : {"evil.example:" + std::to_string(port_), std::string("127.0.0.1"),
                                  "127.0.0.1:" + std::to_string(port_ + 1), std::string()}) {
    EXPECT_EQ(ts::http_exchange(port_, ts::http_request("GET", at("index.html"), host)).status, 403) << host;
  }
  EXPECT_EQ(ts::http_exchange(port_, ts::http_request("GET", at("index.html"), "LocalHost:" + std::to_string(port_)))
                .status,
            200);
  const ts::HttpReply post = ts::http_exchange(port_, ts::http_request("POST", at("index.html"), host_));
  EXPECT_EQ(post.status, 405);
  EXPECT_EQ(post.header("allow"), "GET, HEAD");
}

TEST_F(LocalServerTest, RangesGivePartsOfTheFile) {
  struct Case {
    const char* range;
    int status;
    const char* body;
    const char* content_range;
  } const cases[] = {
      {"bytes=2-5", 206, "2345", "bytes 2-5/20"},
      {"bytes=15-", 206, "fghij", "bytes 15-19/20"},
      {"bytes=-3", 206, "hij", "bytes 17-19/20"},
      {"bytes=18-100", 206, "ij", "bytes 18-19/20"},
      {"bytes=20-", 416, "", "bytes */20"},
      {"bytes=0-1,4-5", 200, "0123456789abcdefghij", ""},
      {"bytes=5-2", 200, "0123456789abcdefghij", ""},
  };
  for (const Case& c : cases) {
    ts::HttpReply reply = get(at("media.webm"), std::string("Range: ") + c.range + "\r\n");
    EXPECT_EQ(reply.status, c.status) << c.range;
    EXPECT_EQ(reply.body, c.body) << c.range;
    EXPECT_EQ(reply.header("content-range"), c.content_range) << c.range;
    if (c.status != 416) {
      EXPECT_EQ(reply.header("content-type"), "video/webm") << c.range;
    }
  }
}

TEST_F(LocalServerTest, NothingAnswersAfterStop) {
  ASSERT_EQ(get(at("index.html")).status, 200);
  server_.reset();
  EXPECT_EQ(get(at("index.html")).status, -1) << "the connection is refused";
}

// ::1 only when asked for, and then with its own Host name.
TEST_F(LocalServerTest, Ipv6LoopbackOnlyWhenAskedFor) {
  EXPECT_EQ(ts::http_exchange(port_, ts::http_request("GET", at("index.html"), host_), true).status, -1);
  std::string reason;
  const LocalServerHandle both = start_local_server({root_.path(), true}, &reason);
  if (!both) GTEST_SKIP() << "no IPv6 loopback here: " << reason;
  uint16_t port = 0;
  std::string token;
  ASSERT_TRUE(ts::split_server_address(local_server_address(*both), &port, &token));
  const std::string path = "/" + token + "/index.html";
  const std::string v6_host = "[::1]:" + std::to_string(port);
  EXPECT_EQ(ts::http_exchange(port, ts::http_request("GET", path, v6_host), true).status, 200);
  EXPECT_EQ(ts::http_exchange(port, ts::http_request("GET", path, "127.0.0.1:" + std::to_string(port))).status, 200);
  EXPECT_EQ(get(at("index.html"), "").status, 200);
  EXPECT_EQ(ts::http_exchange(port_, ts::http_request("GET", at("index.html"), "[::1]:" + std::to_string(port_))).status,
            403)
      << "a server without ::1 does not take it as its name";
}

TEST(LocalServerStart, MissingFolderFailsWithAReason) {
  std::string reason;
  EXPECT_FALSE(start_local_server({"/nonexistent/lumra-serve", false}, &reason));
  EXPECT_NE(reason.find("/nonexistent/lumra-serve"), std::string::npos) << reason;
}

TEST(ServeRules, ContentTypes) {
  struct Case {
    const char* name;
    const char* type;
  } const cases[] = {
      {"a.HTML", "text/html; charset=utf-8"}, {"m.mjs", "text/javascript; charset=utf-8"},
      {"w.wasm", "application/wasm"},         {"t.PNG", "image/png"},
      {"t.jpeg", "image/jpeg"},               {"s.glb", "model/gltf-binary"},
      {"s.gltf", "model/gltf+json"},          {"f.woff2", "font/woff2"},
      {"a.mp3", "audio/mpeg"},                {"noextension", "application/octet-stream"},
      {"x.exe", "application/octet-stream"},
  };
  for (const Case& c : cases) EXPECT_STREQ(serve::content_type(c.name), c.type) << c.name;
}

}  // namespace
}  // namespace lumra::sys
