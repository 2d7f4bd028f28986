#include "platform/inet/url.h"

#include <array>
#include <string_view>

#include "platform/text/text.h"

namespace {

struct Scheme {
  std::u16string_view name;  // lower case, without the colon
  DWORD type;
  bool hierarchical;  // written with "//" and an authority
  INTERNET_PORT defaultPort;
};

constexpr std::array<Scheme, 8> kSchemes{{
    {u"http", AFX_INET_SERVICE_HTTP, true, INTERNET_DEFAULT_HTTP_PORT},
    {u"https", AFX_INET_SERVICE_HTTPS, true, INTERNET_DEFAULT_HTTPS_PORT},
    {u"ftp", AFX_INET_SERVICE_FTP, true, INTERNET_DEFAULT_FTP_PORT},
    {u"gopher", AFX_INET_SERVICE_GOPHER, true, INTERNET_DEFAULT_GOPHER_PORT},
    {u"file", AFX_INET_SERVICE_FILE, true, INTERNET_INVALID_PORT_NUMBER},
    {u"mailto", AFX_INET_SERVICE_MAILTO, false, INTERNET_INVALID_PORT_NUMBER},
    {u"news", AFX_INET_SERVICE_NEWS, false, INTERNET_INVALID_PORT_NUMBER},
    {u"about", AFX_INET_SERVICE_UNK, false, INTERNET_INVALID_PORT_NUMBER},
}};

bool IsSchemeChar(char16_t c, bool first) {
  bool alpha = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
  if (first) return alpha;
  return alpha || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
}

// Characters that cannot stand in a host name as the system meets them in pages.
bool IsBadHostChar(char16_t c) {
  return c <= 0x20 || c == 0x7F || c == u'\\' || c == u'<' || c == u'>' || c == u'"' || c == u'{' ||
         c == u'}' || c == u'|' || c == u'^' || c == u'`';
}

// Parses the host[:port] that follows an optional "user[:password]@". Returns false when malformed.
bool ParseAuthority(std::u16string_view authority, INTERNET_PORT defaultPort, INTERNET_PORT& port) {
  size_t at = authority.rfind(u'@');
  std::u16string_view hostPort =
      at == std::u16string_view::npos ? authority : authority.substr(at + 1);
  std::u16string_view portText;
  if (!hostPort.empty() && hostPort.front() == u'[') {
    // A literal IPv6 address: "[::1]:8080".
    size_t close = hostPort.find(u']');
    if (close == std::u16string_view::npos || close == 1) return false;
    std::u16string_view rest = hostPort.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != u':') return false;
      portText = rest.substr(1);
    }
    hostPort = hostPort.substr(0, close + 1);
  } else {
    size_t colon = hostPort.find(u':');
    if (colon != std::u16string_view::npos) {
      portText = hostPort.substr(colon + 1);
      hostPort = hostPort.substr(0, colon);
    }
  }
  if (hostPort.empty()) return false;
  bool literal = hostPort.front() == u'[';
  for (size_t i = literal ? 1 : 0; i < hostPort.size() - (literal ? 1 : 0); ++i) {
    char16_t c = hostPort[i];
    if (IsBadHostChar(c) || c == u'@' || c == u'[' || c == u']') return false;
  }
  port = defaultPort;
  if (portText.empty()) return true;  // "host:" means the default port
  if (portText.size() > 5) return false;
  DWORD value = 0;
  for (char16_t c : portText) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + (c - u'0');
  }
  if (value == 0 || value > 65535) return false;
  port = static_cast<INTERNET_PORT>(value);
  return true;
}

}  // namespace

BOOL AfxParseURL(LPCWSTR url, DWORD& serviceType, std::u16string& server, std::u16string& object,
                 INTERNET_PORT& port) {
  serviceType = AFX_INET_SERVICE_UNK;
  server.clear();
  object.clear();
  port = INTERNET_INVALID_PORT_NUMBER;
  if (url == nullptr) return FALSE;
  std::u16string_view text(url);

  // Leading and trailing blanks are what a page's attribute often carries; they are no part of
  // the address.
  while (!text.empty() && text.front() <= 0x20) text.remove_prefix(1);
  while (!text.empty() && text.back() <= 0x20) text.remove_suffix(1);

  size_t colon = text.find(u':');
  if (colon == std::u16string_view::npos || colon == 0) return FALSE;
  for (size_t i = 0; i < colon; ++i) {
    if (!IsSchemeChar(text[i], i == 0)) return FALSE;
  }
  std::u16string_view schemeName = text.substr(0, colon);
  const Scheme* scheme = nullptr;
  for (const Scheme& s : kSchemes) {
    if (platform::text::EqualsIgnoringAsciiCase(s.name, schemeName)) scheme = &s;
  }
  if (scheme == nullptr) return FALSE;
  serviceType = scheme->type;
  std::u16string_view rest = text.substr(colon + 1);

  if (!scheme->hierarchical) {
    // "mailto:", "news:", "about:": everything after the colon is the object.
    if (rest.empty() && scheme->type != AFX_INET_SERVICE_UNK) return FALSE;
    object.assign(rest);
    return TRUE;
  }

  if (rest.size() < 2 || rest[0] != u'/' || rest[1] != u'/') return FALSE;
  rest.remove_prefix(2);
  size_t end = rest.find_first_of(u"/?#");
  std::u16string_view authority = rest.substr(0, end);
  std::u16string_view path =
      end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end);

  if (scheme->type == AFX_INET_SERVICE_FILE) {
    // "file:///path" has no server; "file://host/path" names one. Either way the object is a path.
    for (char16_t c : authority) {
      if (IsBadHostChar(c)) return FALSE;
    }
    if (authority.empty() && path.empty()) return FALSE;
    server.assign(authority);
    object.assign(path);
    return TRUE;
  }

  INTERNET_PORT parsedPort = INTERNET_INVALID_PORT_NUMBER;
  if (!ParseAuthority(authority, scheme->defaultPort, parsedPort)) return FALSE;
  server.assign(authority);
  object.assign(path);
  port = parsedPort;
  return TRUE;
}
