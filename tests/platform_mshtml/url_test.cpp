// Reference resolution: the examples of RFC 3986 section 5.4 and the about:blank rule.
#include "platform/mshtml/url.h"

#include <gtest/gtest.h>

namespace {

TEST(ResolveUrl, Rfc3986Examples) {
  const char* base = "http://a/b/c/d;p?q";
  struct Case {
    const char* ref;
    const char* expected;
  } cases[] = {
      {"gh:h", "gh:h"},
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q#s"},
      {"g#s", "http://a/b/c/g#s"},
      {"g?y#s", "http://a/b/c/g?y#s"},
      {";x", "http://a/b/c/;x"},
      {"g;x", "http://a/b/c/g;x"},
      {"", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/"},
      {"./", "http://a/b/c/"},
      {"..", "http://a/b/"},
      {"../", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../..", "http://a/"},
      {"../../g", "http://a/g"},
      {"../../../g", "http://a/g"},
      {"../../../../g", "http://a/g"},
      {"/./g", "http://a/g"},
      {"/../g", "http://a/g"},
      {"g.", "http://a/b/c/g."},
      {".g", "http://a/b/c/.g"},
      {"g..", "http://a/b/c/g.."},
      {"..g", "http://a/b/c/..g"},
      {"./../g", "http://a/b/g"},
      {"./g/.", "http://a/b/c/g/"},
      {"g/./h", "http://a/b/c/g/h"},
      {"g/../h", "http://a/b/c/h"},
      {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
      {"g;x=1/../y", "http://a/b/c/y"},
      {"g?y/./x", "http://a/b/c/g?y/./x"},
      {"g#s/../x", "http://a/b/c/g#s/../x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ref);
    EXPECT_EQ(c.expected, platform::mshtml::ResolveUrl(base, c.ref));
  }
}

TEST(ResolveUrl, DocumentsWithoutAnAddressGlueTheReference) {
  struct Case {
    const char* base;
    const char* ref;
    const char* expected;
  } cases[] = {
      {"about:blank", "a.png", "about:blanka.png"},
      {"about:blank", "#top", "about:blank#top"},
      {"about:blank", "/x/y.png", "about:blank/x/y.png"},
      {"about:blank", "http://h/x", "http://h/x"},
      {"file:///C:/dir/page.html", "img/a.png", "file:///C:/dir/img/a.png"},
      {"http://h", "a", "http://h/a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ref);
    EXPECT_EQ(c.expected, platform::mshtml::ResolveUrl(c.base, c.ref));
  }
  EXPECT_FALSE(platform::mshtml::HasScheme("C:\\dir\\a.html"));
  EXPECT_TRUE(platform::mshtml::HasScheme("file:///x"));
}

}  // namespace
