#include "shell/uri_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <stdexcept>

namespace ravelo::test {
namespace {

using TPaths = std::vector<std::string>;

TEST(UriListTest, RoundTripsAnyName) {
  const TPaths paths{"/tmp/a b",          "/tmp/100%",     "/tmp/caf\xC3\xA9",
                     "/tmp/two\nlines\r", "/tmp/#?&+;=:@", "/"};
  EXPECT_EQ(DecodeUriList(EncodeUriList(paths)), paths);
  EXPECT_EQ(EncodeUriList({"/a b%/\xC3\xA9"}), "file:///a%20b%25/%C3%A9\r\n");
  EXPECT_THROW(EncodeUriList({"relative"}), std::invalid_argument);
}

TEST(UriListTest, ReadsLocalFileUris) {
  char host[256] = {};
  ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
  const struct {
    std::string text;
    TPaths paths;
  } cases[] = {
      {"# from a file manager\r\nfile:///a\r\nfile://localhost/b%20c\r\n", {"/a", "/b c"}},
      {"FILE:/a\nfile://LOCALHOST/b\n\n", {"/a", "/b"}},
      {"  file:///a  \r\n", {"/a"}},
      {"file://" + std::string(host) + "/a", {"/a"}},
      {"file:///caf\xC3\xA9/%c3%a9", {"/caf\xC3\xA9/\xC3\xA9"}},
      {"# comments only\r\n", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeUriList(c.text), c.paths) << c.text;
}

TEST(UriListTest, RefusesAnythingElseWhole) {
  for (const std::string text :
       {"http://example.org/a", "file://elsewhere.example/a", "file:///a?x=1", "file:///a#top",
        "file:///a%2", "file:///a%zz", "file:///a%00b", "file:a", "mailto:x@y",
        "file:///a\r\nhttp://b/c", "file:///a\tb"}) {
    EXPECT_EQ(DecodeUriList(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace ravelo::test
