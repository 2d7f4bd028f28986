#include "platform/mshtml/host.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "platform/mshtml/charset.h"
#include "platform/mshtml/document.h"
#include "platform/mshtml/url.h"
#include "platform/text/text.h"

namespace platform::mshtml {
namespace {

constexpr int kLoadBudget = 256;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(std::string_view s) {
  std::string r;
  r.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    int hi, lo;
    if (s[i] == '%' && i + 2 < s.size() + 0 && (hi = HexValue(s[i + 1])) >= 0 &&
        (lo = HexValue(s[i + 2])) >= 0) {
      r.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else {
      r.push_back(s[i]);
    }
  }
  return r;
}

// The local path of a file:// address, or of a plain path; empty for other addresses.
std::string LocalPath(std::string_view url) {
  std::string_view s = url;
  if (s.size() >= 5 && (s.substr(0, 5) == "file:" || s.substr(0, 5) == "FILE:")) {
    s.remove_prefix(5);
    if (s.substr(0, 2) == "//") {
      s.remove_prefix(2);
      auto slash = s.find('/');
      std::string_view host = s.substr(0, slash);
      if (!host.empty() && host != "localhost") return {};
      s = slash == std::string_view::npos ? std::string_view() : s.substr(slash);
    }
    auto cut = s.find_first_of("?#");
    return PercentDecode(s.substr(0, cut));
  }
  if (HasScheme(s)) return {};
  return std::string(s);
}

std::string GuessContentType(const std::string& path) {
  auto dot = path.rfind('.');
  std::string ext = text::AsciiLowercase(dot == std::string::npos ? "" : path.substr(dot + 1));
  if (ext == "css") return "text/css";
  if (ext == "html" || ext == "htm") return "text/html";
  return {};
}

std::mutex& SessionMutex() {
  static std::mutex m;
  return m;
}
Fetcher& SessionSlot() {
  static Fetcher f;
  return f;
}

// "file://" + the absolute path, with the characters that would change its meaning escaped.
std::string FileUrlForPath(std::string_view path) {
  std::string abs;
  if (path.empty() || path[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) abs = cwd;
    abs.push_back('/');
  }
  abs.append(path);
  std::string url = "file://";
  for (char c : abs) {
    if (c == ' ') {
      url.append("%20");
    } else if (c == '%') {
      url.append("%25");
    } else if (c == '#') {
      url.append("%23");
    } else if (c == '?') {
      url.append("%3F");
    } else {
      url.push_back(c);
    }
  }
  return ResolveUrl("", url);  // removes "." and ".." segments
}

}  // namespace

Fetcher DefaultFetcher() {
  return [](const std::u16string& url, std::string& body, std::string& contentType) {
    body.clear();
    contentType.clear();
    std::string path = LocalPath(com::Utf16ToUtf8(url));
    if (path.empty()) return false;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) body.append(buffer, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    contentType = GuessContentType(path);
    return ok;
  };
}

void SetSessionFetcher(Fetcher fetch) {
  std::lock_guard lock(SessionMutex());
  SessionSlot() = std::move(fetch);
}

Fetcher SessionFetcher() {
  std::lock_guard lock(SessionMutex());
  return SessionSlot() ? SessionSlot() : DefaultFetcher();
}

HRESULT CreateDocument(std::string_view bytes, std::u16string_view url,
                       std::string_view contentType, const LoadOptions& options,
                       IHTMLDocument2** doc) {
  if (!doc) return E_POINTER;
  *doc = nullptr;
  if (bytes.size() > options.maxBytes) return E_INVALIDARG;
  try {
    auto* d = new Document();
    ComPtr<IHTMLDocument2> owner = ComPtr<IHTMLDocument2>::Attach(d);
    std::string charset = CharsetFromContentType(contentType);
    std::string iconvName = IconvNameForLabel(charset);
    if (iconvName.empty()) iconvName = IconvNameForLabel(PrescanMetaCharset(bytes));
    int budget = kLoadBudget;
    LoadContext context;
    context.options = options;
    context.budget = &budget;
    std::string decoded;
    bool converted = DecodePage(bytes, charset, decoded);
    d->LoadFromHost(com::Utf16ToUtf8(url), converted ? std::string_view(decoded) : bytes, iconvName,
                    context);
    *doc = owner.Detach();
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT LoadDocument(std::u16string_view address, const LoadOptions& options,
                     IHTMLDocument2** doc) {
  if (!doc) return E_POINTER;
  *doc = nullptr;
  std::string a = com::Utf16ToUtf8(address);
  std::string url = HasScheme(a) ? a : FileUrlForPath(a);
  Fetcher fetch = options.fetch ? options.fetch : DefaultFetcher();
  std::string body, type;
  try {
    if (!fetch(com::Utf8ToUtf16(url), body, type)) return E_FAIL;
  } catch (...) {
    return E_FAIL;
  }
  return CreateDocument(body, com::Utf8ToUtf16(url), type, options, doc);
}

}  // namespace platform::mshtml
