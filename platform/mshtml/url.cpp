#include "platform/mshtml/url.h"

#include <cctype>

namespace platform::mshtml {
namespace {

struct Parts {
  std::string_view scheme;  // without ':'
  bool hasAuthority = false;
  std::string_view authority;
  std::string_view path;
  bool hasQuery = false;
  std::string_view query;
  bool hasFragment = false;
  std::string_view fragment;
};

std::size_t SchemeLength(std::string_view s) {
  if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0]))) return 0;
  for (std::size_t i = 1; i < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c == ':') return i >= 2 ? i : 0;  // one letter is a drive, not a scheme
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return 0;
  }
  return 0;
}

Parts Split(std::string_view s) {
  Parts p;
  if (std::size_t n = SchemeLength(s)) {
    p.scheme = s.substr(0, n);
    s.remove_prefix(n + 1);
  }
  if (auto h = s.find('#'); h != std::string_view::npos) {
    p.hasFragment = true;
    p.fragment = s.substr(h + 1);
    s = s.substr(0, h);
  }
  if (auto q = s.find('?'); q != std::string_view::npos) {
    p.hasQuery = true;
    p.query = s.substr(q + 1);
    s = s.substr(0, q);
  }
  if (s.substr(0, 2) == "//") {
    p.hasAuthority = true;
    s.remove_prefix(2);
    auto slash = s.find('/');
    p.authority = s.substr(0, slash);
    s = slash == std::string_view::npos ? std::string_view() : s.substr(slash);
  }
  p.path = s;
  return p;
}

// RFC 3986 5.2.4, in one pass over the segments (linear: each output segment is appended and
// removed at most once).
std::string RemoveDotSegments(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  while (!in.empty()) {
    if (in.substr(0, 3) == "../") {
      in.remove_prefix(3);
    } else if (in.substr(0, 2) == "./") {
      in.remove_prefix(2);
    } else if (in.substr(0, 3) == "/./") {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.substr(0, 4) == "/../" || in == "/..") {
      in = in.size() == 3 ? std::string_view("/") : in.substr(3);
      auto last = out.rfind('/');
      out.resize(last == std::string::npos ? 0 : last);
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      std::size_t start = in[0] == '/' ? 1 : 0;
      auto next = in.find('/', start);
      if (next == std::string_view::npos) next = in.size();
      out.append(in.substr(0, next));
      in.remove_prefix(next);
    }
  }
  return out;
}

std::string Merge(const Parts& base, std::string_view refPath) {
  if (base.hasAuthority && base.path.empty()) return "/" + std::string(refPath);
  auto slash = base.path.rfind('/');
  if (slash == std::string_view::npos) return std::string(refPath);
  return std::string(base.path.substr(0, slash + 1)) + std::string(refPath);
}

std::string Compose(std::string_view scheme, bool hasAuthority, std::string_view authority,
                    std::string_view path, bool hasQuery, std::string_view query, bool hasFragment,
                    std::string_view fragment) {
  std::string r;
  if (!scheme.empty()) {
    r.append(scheme);
    r.push_back(':');
  }
  if (hasAuthority) {
    r.append("//");
    r.append(authority);
  }
  r.append(path);
  if (hasQuery) {
    r.push_back('?');
    r.append(query);
  }
  if (hasFragment) {
    r.push_back('#');
    r.append(fragment);
  }
  return r;
}

}  // namespace

bool HasScheme(std::string_view ref) {
  return SchemeLength(ref) != 0;
}

bool IsWebAddress(std::string_view url) {
  std::size_t n = SchemeLength(url);
  if (n != 4 && n != 5) return false;
  std::string scheme;
  for (char c : url.substr(0, n))
    scheme.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return scheme == "http" || scheme == "https";
}

std::string CleanUrlAttribute(std::string_view v) {
  auto ws = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
  while (!v.empty() && ws(v.front())) v.remove_prefix(1);
  while (!v.empty() && ws(v.back())) v.remove_suffix(1);
  std::string r;
  r.reserve(v.size());
  for (char c : v) {
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (c == ' ') {
      r.append("%20");  // as the browser reports a space inside an address
    } else {
      r.push_back(c);
    }
  }
  return r;
}

std::string ResolveUrl(std::string_view base, std::string_view ref) {
  Parts r = Split(ref);
  if (!r.scheme.empty()) {
    return Compose(r.scheme, r.hasAuthority, r.authority, RemoveDotSegments(r.path), r.hasQuery,
                   r.query, r.hasFragment, r.fragment);
  }
  Parts b = Split(base);
  // A base that is no hierarchy (about:blank, mailto:...) cannot resolve anything; the old
  // browser glued the reference on as written.
  if (b.scheme.empty() || (!b.hasAuthority && (b.path.empty() || b.path[0] != '/'))) {
    return std::string(base) + std::string(ref);
  }
  std::string path;
  std::string_view authority = b.authority;
  bool hasAuthority = b.hasAuthority;
  std::string_view query;
  bool hasQuery = false;
  if (r.hasAuthority) {
    authority = r.authority;
    hasAuthority = true;
    path = RemoveDotSegments(r.path);
    hasQuery = r.hasQuery;
    query = r.query;
  } else if (r.path.empty()) {
    path = std::string(b.path);
    hasQuery = r.hasQuery || b.hasQuery;
    query = r.hasQuery ? r.query : b.query;
  } else {
    path = r.path[0] == '/' ? RemoveDotSegments(r.path) : RemoveDotSegments(Merge(b, r.path));
    hasQuery = r.hasQuery;
    query = r.query;
  }
  return Compose(b.scheme, hasAuthority, authority, path, hasQuery, query, r.hasFragment,
                 r.fragment);
}

}  // namespace platform::mshtml
