#include "apps/nbclip/page_fetch.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "parser/facade/ResultText.h"
#include "platform/inet/internet.h"

namespace nbclip {

namespace {
namespace fs = std::filesystem;

std::u16string U16(std::string_view s) {
  return platform::com::Utf8ToUtf16(s);
}
std::string U8(std::u16string_view s) {
  return platform::com::Utf16ToUtf8(s);
}
}  // namespace

bool IsWebAddress(std::u16string_view url) {
  return url.starts_with(u"http://") || url.starts_with(u"https://");
}

void Reporter::Progress(const std::string& what) const {
  if (!quiet) std::cerr << who << ": " << what << "\n";
}

void Reporter::Warning(const std::string& what) const {
  std::cerr << who << ": warning: " << what << "\n";
}

long PageFetch::RemainingMs() const {
  if (deadline == std::chrono::steady_clock::time_point::max()) return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return std::max<long>(0, static_cast<long>(left.count()));
}

bool PageFetch::operator()(const std::u16string& url, std::string& body, std::string& contentType) {
  if (!IsWebAddress(url)) {
    if (webOnly) return false;
    return platform::mshtml::DefaultFetcher()(url, body, contentType);
  }
  long left = RemainingMs();
  if (left == 0) {
    if (!timeToldOut && reporter) {
      reporter->Warning(U8(url) + " left out: " +
                        std::string(ResultSentence(NBOperation::kImage, NBP_ERR_TIME_UP)));
    }
    timeToldOut = true;
    return false;
  }
  if (reporter) reporter->Progress("fetching " + U8(url));
  try {
    CInternetSession session(u"nbclip", 1, PRE_CONFIG_INTERNET_ACCESS);
    if (left > 0) {
      platform::inet::Limits limits = session.GetLimits();
      limits.connectTimeoutMs = std::min(limits.connectTimeoutMs, left);
      limits.totalTimeoutMs = std::min(limits.totalTimeoutMs, left);
      session.SetLimits(limits);
    }
    std::unique_ptr<CHttpFile> file(session.OpenURL(url.c_str(), 1, INTERNET_FLAG_TRANSFER_BINARY));
    if (!file) return false;
    DWORD status = 0;
    if (file->QueryInfoStatusCode(status) && status >= 400) return false;
    std::u16string type;
    if (file->QueryInfo(HTTP_QUERY_CONTENT_TYPE, type)) contentType = U8(type);
    char buffer[16384];
    body.clear();
    for (UINT n; (n = file->Read(buffer, sizeof buffer)) > 0;) body.append(buffer, n);
    file->Close();
    return true;
  } catch (CInternetException* e) {
    std::cerr << (reporter ? reporter->who : std::string("nbclip")) << ": " << e->Message() << "\n";
    e->Delete();
    return false;
  }
}

platform::mshtml::Fetcher FetcherOf(const std::shared_ptr<PageFetch>& fetch) {
  return [fetch](const std::u16string& url, std::string& body, std::string& contentType) {
    return (*fetch)(url, body, contentType);
  };
}

std::u16string AddressOf(const std::string& page) {
  if (page.find("://") != std::string::npos) return U16(page);
  std::u16string address = u"file://";
  for (char16_t c : U16(fs::absolute(page).lexically_normal().string())) {
    if (c == u' ') {
      address += u"%20";
    } else {
      address += c;
    }
  }
  return address;
}

}  // namespace nbclip
