#include "platform/inet/url.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct UrlCase {
  const char16_t* url;
  BOOL ok;
  DWORD type;
  std::u16string server;
  std::u16string object;
  INTERNET_PORT port;
};

const UrlCase kCases[] = {
    {u"http://example.com/a/b.html", TRUE, AFX_INET_SERVICE_HTTP, u"example.com", u"/a/b.html", 80},
    {u"http://127.0.0.1:8080/p?q=1#f", TRUE, AFX_INET_SERVICE_HTTP, u"127.0.0.1:8080", u"/p?q=1#f",
     8080},
    {u"http://host", TRUE, AFX_INET_SERVICE_HTTP, u"host", u"", 80},
    {u"http://host?x", TRUE, AFX_INET_SERVICE_HTTP, u"host", u"?x", 80},
    {u"http://host#top", TRUE, AFX_INET_SERVICE_HTTP, u"host", u"#top", 80},
    {u"http://host:/x", TRUE, AFX_INET_SERVICE_HTTP, u"host:", u"/x", 80},
    {u"HTTP://Host/X", TRUE, AFX_INET_SERVICE_HTTP, u"Host", u"/X", 80},
    {u"http://u:pw@host:81/", TRUE, AFX_INET_SERVICE_HTTP, u"u:pw@host:81", u"/", 81},
    {u"http://[::1]:8081/v6", TRUE, AFX_INET_SERVICE_HTTP, u"[::1]:8081", u"/v6", 8081},
    {u"https://secure.example/x", TRUE, AFX_INET_SERVICE_HTTPS, u"secure.example", u"/x", 443},
    {u"ftp://files.example/pub/f.txt", TRUE, AFX_INET_SERVICE_FTP, u"files.example", u"/pub/f.txt",
     21},
    {u"gopher://g.example/1", TRUE, AFX_INET_SERVICE_GOPHER, u"g.example", u"/1", 70},
    {u"file:///home/u/p.html", TRUE, AFX_INET_SERVICE_FILE, u"", u"/home/u/p.html", 0},
    {u"file:///home/u/my%20page.html", TRUE, AFX_INET_SERVICE_FILE, u"", u"/home/u/my%20page.html",
     0},
    {u"file://server/share/p.html", TRUE, AFX_INET_SERVICE_FILE, u"server", u"/share/p.html", 0},
    {u"mailto:someone@example.com", TRUE, AFX_INET_SERVICE_MAILTO, u"", u"someone@example.com", 0},
    {u"news:comp.lang.c", TRUE, AFX_INET_SERVICE_NEWS, u"", u"comp.lang.c", 0},
    {u"about:blank", TRUE, AFX_INET_SERVICE_UNK, u"", u"blank", 0},
    {u"about:blankimg/a.gif", TRUE, AFX_INET_SERVICE_UNK, u"", u"blankimg/a.gif", 0},
    {u"  http://host/pad  ", TRUE, AFX_INET_SERVICE_HTTP, u"host", u"/pad", 80},
    // Rejects: relative, unknown scheme, malformed authority or port.
    {u"", FALSE, AFX_INET_SERVICE_UNK, u"", u"", 0},
    {u"a/b.html", FALSE, AFX_INET_SERVICE_UNK, u"", u"", 0},
    {u"/abs/path.html", FALSE, AFX_INET_SERVICE_UNK, u"", u"", 0},
    {u"#top", FALSE, AFX_INET_SERVICE_UNK, u"", u"", 0},
    {u"//host/x", FALSE, AFX_INET_SERVICE_UNK, u"", u"", 0},
    {u"javascript:void(0)", FALSE, AFX_INET_SERVICE_UNK, u"", u"", 0},
    {u"c:\\dir\\f.html", FALSE, AFX_INET_SERVICE_UNK, u"", u"", 0},
    {u"http:/host/x", FALSE, AFX_INET_SERVICE_HTTP, u"", u"", 0},
    {u"http://", FALSE, AFX_INET_SERVICE_HTTP, u"", u"", 0},
    {u"http:///x", FALSE, AFX_INET_SERVICE_HTTP, u"", u"", 0},
    {u"http://host:99999/", FALSE, AFX_INET_SERVICE_HTTP, u"", u"", 0},
    {u"http://host:0/", FALSE, AFX_INET_SERVICE_HTTP, u"", u"", 0},
    {u"http://host:8o/", FALSE, AFX_INET_SERVICE_HTTP, u"", u"", 0},
    {u"http://ho st/", FALSE, AFX_INET_SERVICE_HTTP, u"", u"", 0},
    {u"http://[::1/", FALSE, AFX_INET_SERVICE_HTTP, u"", u"", 0},
    {u"mailto:", FALSE, AFX_INET_SERVICE_MAILTO, u"", u"", 0},
    {u"file://", FALSE, AFX_INET_SERVICE_FILE, u"", u"", 0},
};

std::u16string Prefix(DWORD type) {
  switch (type) {
    case AFX_INET_SERVICE_HTTP:
      return u"http://";
    case AFX_INET_SERVICE_HTTPS:
      return u"https://";
    case AFX_INET_SERVICE_FTP:
      return u"ftp://";
    case AFX_INET_SERVICE_GOPHER:
      return u"gopher://";
    case AFX_INET_SERVICE_FILE:
      return u"file://";
    default:
      return u"";
  }
}

TEST(AfxParseURL, SplitsAndRejects) {
  for (const UrlCase& c : kCases) {
    SCOPED_TRACE(std::string(c.url, c.url + std::char_traits<char16_t>::length(c.url)));
    // Seed the outputs with garbage so an output left unset is caught.
    DWORD type = 0xDEAD;
    std::u16string server = u"garbage", object = u"garbage";
    INTERNET_PORT port = 1234;
    EXPECT_EQ(AfxParseURL(c.url, type, server, object, port), c.ok);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(server, c.server);
    EXPECT_EQ(object, c.object);
    EXPECT_EQ(port, c.port);
  }
}

// The document's own address, rebuilt from the parts, must give the address back: link
// targets in the same page are found by that prefix.
TEST(AfxParseURL, RebuildGivesTheAddressBack) {
  for (const UrlCase& c : kCases) {
    std::u16string url = c.url;
    if (!c.ok || Prefix(c.type).empty() || url.front() == u' ' || url.starts_with(u"HTTP"))
      continue;
    SCOPED_TRACE(std::string(url.begin(), url.end()));
    DWORD type;
    std::u16string server, object;
    INTERNET_PORT port;
    ASSERT_TRUE(AfxParseURL(c.url, type, server, object, port));
    EXPECT_EQ(Prefix(type) + server + object, url);
  }
}

TEST(AfxParseURL, NullFails) {
  DWORD type = 7;
  std::u16string server = u"x", object = u"y";
  INTERNET_PORT port = 9;
  EXPECT_FALSE(AfxParseURL(nullptr, type, server, object, port));
  EXPECT_EQ(type, AFX_INET_SERVICE_UNK);
  EXPECT_TRUE(server.empty() && object.empty());
  EXPECT_EQ(port, 0);
}

}  // namespace
