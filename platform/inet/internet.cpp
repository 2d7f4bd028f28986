#include "platform/inet/internet.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

#include "platform/com/com.h"
#include "platform/inet/curl_api.h"
#include "platform/text/text.h"

namespace platform::inet {
namespace {

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return std::string(s);
}

// Header bytes are Latin-1 as far as HTTP is concerned.
std::u16string Latin1ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (unsigned char c : s) out.push_back(c);
  return out;
}

bool EnvNumber(const char* name, std::uint64_t& out) {
  const char* v = std::getenv(name);
  if (v == nullptr || *v == 0) return false;
  char* end = nullptr;
  unsigned long long n = std::strtoull(v, &end, 10);
  if (end == v || *end != 0) return false;
  out = n;
  return true;
}

DWORD MapError(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
      return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
      return ERROR_INTERNET_TIMEOUT;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_URL_MALFORMAT:
      return ERROR_INTERNET_INVALID_URL;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_PARTIAL_FILE:
      return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
      return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_TOO_MANY_REDIRECTS:
      return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
      return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_FILESIZE_EXCEEDED:
      return ERROR_FILE_TOO_LARGE;
    default:
      return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

[[noreturn]] void Throw(DWORD error, DWORD_PTR context, std::string message) {
  throw new CInternetException(error, context, std::move(message));
}

}  // namespace

Limits DefaultLimits() {
  Limits limits;
  std::uint64_t n = 0;
  if (EnvNumber("NUBRA_INET_CONNECT_TIMEOUT_MS", n) && n > 0)
    limits.connectTimeoutMs = static_cast<long>(n);
  if (EnvNumber("NUBRA_INET_TIMEOUT_MS", n) && n > 0) limits.totalTimeoutMs = static_cast<long>(n);
  if (EnvNumber("NUBRA_INET_MAX_BYTES", n) && n > 0) limits.maxBytes = n;
  return limits;
}

// One request on its own easy handle, driven through a multi handle so that the body is pulled
// from the network as the caller reads instead of being held whole in memory.
class Transfer {
 public:
  Transfer(std::string url, DWORD_PTR context, const Limits& limits)
      : url_(std::move(url)), context_(context), limits_(limits) {}

  ~Transfer() { Stop(); }

  // Starts the request and pumps until the final response's headers are in.
  void Start(const std::string& agent, bool followRedirects, const std::string& extraHeaders) {
    follow_ = followRedirects;
    // libcurl is loaded here, at the first address fetched, not when a session is made.
    std::string why;
    api_ = Curl(why);
    if (api_ == nullptr) Throw(ERROR_INTERNET_INTERNAL_ERROR, context_, why);
    easy_ = api_->easyInit();
    multi_ = api_->multiInit();
    if (easy_ == nullptr || multi_ == nullptr)
      Throw(ERROR_INTERNET_INTERNAL_ERROR, context_, "curl init failed");
    errorText_[0] = 0;
    api_->easySetopt(easy_, CURLOPT_URL, url_.c_str());
    api_->easySetopt(easy_, CURLOPT_NOSIGNAL, 1L);
    api_->easySetopt(easy_, CURLOPT_ERRORBUFFER, errorText_);
    api_->easySetopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    api_->easySetopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    api_->easySetopt(easy_, CURLOPT_FOLLOWLOCATION, followRedirects ? 1L : 0L);
    api_->easySetopt(easy_, CURLOPT_MAXREDIRS, 20L);
    api_->easySetopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, limits_.connectTimeoutMs);
    api_->easySetopt(easy_, CURLOPT_TIMEOUT_MS, limits_.totalTimeoutMs);
    // The proxy comes from the environment, as the system's preconfigured access; the loopback
    // host never goes through one.
    api_->easySetopt(easy_, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
    if (!agent.empty()) api_->easySetopt(easy_, CURLOPT_USERAGENT, agent.c_str());
    api_->easySetopt(easy_, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
    api_->easySetopt(easy_, CURLOPT_WRITEDATA, this);
    api_->easySetopt(easy_, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    api_->easySetopt(easy_, CURLOPT_HEADERDATA, this);
    if (!extraHeaders.empty()) {
      size_t start = 0;
      while (start < extraHeaders.size()) {
        size_t end = extraHeaders.find("\r\n", start);
        if (end == std::string::npos) end = extraHeaders.size();
        std::string line = Trim(std::string_view(extraHeaders).substr(start, end - start));
        if (!line.empty()) requestHeaders_ = api_->slistAppend(requestHeaders_, line.c_str());
        start = end + 2;
      }
      api_->easySetopt(easy_, CURLOPT_HTTPHEADER, requestHeaders_);
    }
    api_->multiAddHandle(multi_, easy_);
    added_ = true;

    while (!headersDone_ && !finished_) Pump();
    // An error after the headers belongs to the body and is reported by Read.
    if (!headersDone_ && result_ != CURLE_OK) ThrowResult();
  }

  UINT Read(void* buffer, UINT count) {
    if (count == 0 || stopped_) return 0;
    while (Available() < count && !finished_) Pump();
    size_t n = std::min<size_t>(count, Available());
    if (n == 0) {
      if (result_ != CURLE_OK) ThrowResult();
      return 0;
    }
    std::memcpy(buffer, body_.data() + readPos_, n);
    readPos_ += n;
    // Drop what has been handed out once it is the larger part, so the buffer stays small.
    if (readPos_ > 65536 && readPos_ * 2 > body_.size()) {
      body_.erase(0, readPos_);
      readPos_ = 0;
    }
    return static_cast<UINT>(n);
  }

  void Stop() {
    if (stopped_) return;
    stopped_ = true;
    if (multi_ != nullptr && easy_ != nullptr && added_) api_->multiRemoveHandle(multi_, easy_);
    if (easy_ != nullptr) api_->easyCleanup(easy_);
    if (multi_ != nullptr) api_->multiCleanup(multi_);
    if (requestHeaders_ != nullptr) api_->slistFreeAll(requestHeaders_);
    easy_ = nullptr;
    multi_ = nullptr;
    requestHeaders_ = nullptr;
    body_.clear();
    readPos_ = 0;
  }

  bool Header(const std::string& lowerName, std::string& value) const {
    auto it = headers_.find(lowerName);
    if (it == headers_.end()) return false;
    value = it->second;
    return true;
  }
  long Status() const { return status_; }
  std::size_t Buffered() const { return stopped_ ? 0 : Available(); }
  const std::string& EffectiveUrl() const { return effectiveUrl_; }
  CURLcode Result() const { return result_; }

 private:
  size_t Available() const { return body_.size() - readPos_; }

  void Pump() {
    int running = 0;
    CURLMcode mc = api_->multiPerform(multi_, &running);
    if (mc != CURLM_OK) {
      finished_ = true;
      result_ = CURLE_RECV_ERROR;
      return;
    }
    int queued = 0;
    while (CURLMsg* msg = api_->multiInfoRead(multi_, &queued)) {
      if (msg->msg == CURLMSG_DONE) {
        finished_ = true;
        result_ = msg->data.result;
        char* effective = nullptr;
        if (api_->easyGetinfo(easy_, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
          effectiveUrl_ = effective;
        if (status_ == 0) api_->easyGetinfo(easy_, CURLINFO_RESPONSE_CODE, &status_);
      }
    }
    if (!finished_ && running > 0) api_->multiPoll(multi_, nullptr, 0, 200, nullptr);
    if (!finished_ && running == 0) {
      // The handle ended without a message; treat it as done with what it has.
      finished_ = true;
    }
  }

  [[noreturn]] void ThrowResult() {
    CURLcode code = result_;
    if (code == CURLE_WRITE_ERROR && tooLarge_) code = CURLE_FILESIZE_EXCEEDED;
    std::string what = errorText_[0] ? std::string(errorText_) : api_->easyStrerror(code);
    if (code == CURLE_FILESIZE_EXCEEDED) {
      what = "download larger than " + std::to_string(limits_.maxBytes) + " bytes";
    }
    Throw(MapError(code), context_, what + ": " + url_);
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    size_t n = size * count;
    // Data can arrive before the blank line is seen only for bodies of a response we did not
    // take as final (curl drops bodies of followed redirects), so a body byte ends the headers.
    t->headersDone_ = true;
    if (t->received_ + n > t->limits_.maxBytes) {
      t->tooLarge_ = true;
      return 0;  // aborts the transfer with CURLE_WRITE_ERROR
    }
    t->received_ += n;
    t->body_.append(data, n);
    return n;
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    size_t n = size * count;
    std::string_view line(data, n);
    if (line.starts_with("HTTP/")) {
      // A new response (the first, or the next after a redirect or 100 Continue).
      t->headers_.clear();
      t->status_ = 0;
      size_t sp = line.find(' ');
      if (sp != std::string_view::npos)
        t->status_ = std::strtol(std::string(line.substr(sp + 1, 3)).c_str(), nullptr, 10);
      return n;
    }
    std::string trimmed = Trim(line);
    if (trimmed.empty()) {
      bool interim = t->status_ >= 100 && t->status_ < 200;
      bool redirect =
          t->follow_ && t->status_ >= 300 && t->status_ < 400 && t->headers_.count("location");
      if (!interim && !redirect) t->headersDone_ = true;
      return n;
    }
    size_t colon = trimmed.find(':');
    if (colon != std::string::npos) {
      std::string name = text::AsciiLowercase(Trim(std::string_view(trimmed).substr(0, colon)));
      std::string value = Trim(std::string_view(trimmed).substr(colon + 1));
      // The first of repeated headers is the one reported.
      t->headers_.emplace(std::move(name), std::move(value));
    }
    return n;
  }

  std::string url_;
  DWORD_PTR context_;
  Limits limits_;
  const CurlApi* api_ = nullptr;
  CURL* easy_ = nullptr;
  CURLM* multi_ = nullptr;
  curl_slist* requestHeaders_ = nullptr;
  bool follow_ = true;
  bool added_ = false;
  bool headersDone_ = false;
  bool finished_ = false;
  bool stopped_ = false;
  bool tooLarge_ = false;
  CURLcode result_ = CURLE_OK;
  long status_ = 0;
  std::map<std::string, std::string> headers_;
  std::string body_;
  size_t readPos_ = 0;
  std::uint64_t received_ = 0;
  std::string effectiveUrl_;
  char errorText_[CURL_ERROR_SIZE] = {};
};

}  // namespace platform::inet

using platform::inet::Transfer;

// ---------------------------------------------------------------------------------------------
CInternetException::CInternetException(DWORD error, DWORD_PTR context, std::string message)
    : m_dwError(error), m_dwContext(context), message_(std::move(message)) {}

CInternetException::~CInternetException() = default;

BOOL CInternetException::GetErrorMessage(LPWSTR buffer, UINT maxChars, UINT* helpContext) {
  if (helpContext != nullptr) *helpContext = 0;
  if (buffer == nullptr || maxChars == 0) return FALSE;
  std::u16string text = platform::com::Utf8ToUtf16(message_);
  size_t n = std::min<size_t>(text.size(), maxChars - 1);
  std::copy_n(text.data(), n, buffer);
  buffer[n] = 0;
  return TRUE;
}

// ---------------------------------------------------------------------------------------------
CHttpFile::CHttpFile(std::unique_ptr<Transfer> transfer) : transfer_(std::move(transfer)) {}

CHttpFile::~CHttpFile() = default;

UINT CHttpFile::Read(void* buffer, UINT count) {
  if (buffer == nullptr) return 0;
  UINT n = transfer_->Read(buffer, count);
  position_ += n;
  return n;
}

void CHttpFile::Close() {
  transfer_->Stop();
}

DWORD CHttpFile::GetLength() const {
  return static_cast<DWORD>(transfer_->Buffered());
}

DWORD CHttpFile::GetPosition() const {
  return static_cast<DWORD>(position_);
}

void CHttpFile::Write(const void*, UINT) {
  platform::inet::Throw(ERROR_INTERNET_INVALID_OPERATION, 0, "a downloaded file cannot be written");
}

LONG CHttpFile::Seek(LONG, UINT) {
  platform::inet::Throw(ERROR_INTERNET_INVALID_OPERATION, 0, "a download cannot seek");
}

void CHttpFile::SetLength(DWORD) {
  platform::inet::Throw(ERROR_INTERNET_INVALID_OPERATION, 0, "a downloaded file cannot be resized");
}

BOOL CHttpFile::QueryInfo(DWORD infoLevel, std::u16string& value, LPDWORD index) const {
  if (index != nullptr && *index != 0) return FALSE;  // repeated headers are not kept
  std::string text;
  switch (infoLevel) {
    case HTTP_QUERY_CONTENT_TYPE:
      if (!transfer_->Header("content-type", text)) return FALSE;
      break;
    case HTTP_QUERY_CONTENT_LENGTH:
      if (!transfer_->Header("content-length", text)) return FALSE;
      break;
    case HTTP_QUERY_LOCATION:
      if (!transfer_->Header("location", text)) return FALSE;
      break;
    case HTTP_QUERY_STATUS_CODE:
      if (transfer_->Status() == 0) return FALSE;
      text = std::to_string(transfer_->Status());
      break;
    default:
      return FALSE;
  }
  value = platform::inet::Latin1ToUtf16(text);
  return TRUE;
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& status) const {
  if (transfer_->Status() == 0) return FALSE;
  status = static_cast<DWORD>(transfer_->Status());
  return TRUE;
}

std::u16string CHttpFile::GetFileURL() const {
  return platform::com::Utf8ToUtf16(transfer_->EffectiveUrl());
}

// ---------------------------------------------------------------------------------------------
CInternetSession::CInternetSession(LPCWSTR agent, DWORD_PTR context, DWORD /*accessType*/,
                                   LPCWSTR /*proxyName*/, LPCWSTR /*proxyBypass*/, DWORD /*flags*/)
    : context_(context), limits_(platform::inet::DefaultLimits()) {
  if (agent != nullptr) agent_ = platform::com::Utf16ToUtf8(agent);
}

CInternetSession::~CInternetSession() {
  Close();
}

BOOL CInternetSession::SetOption(DWORD option, DWORD value, DWORD /*flags*/) {
  switch (option) {
    case INTERNET_OPTION_CONNECT_RETRIES:
      retries_ = value;
      return TRUE;
    case INTERNET_OPTION_CONNECT_TIMEOUT:
      if (value == 0) return FALSE;
      limits_.connectTimeoutMs = static_cast<long>(value);
      return TRUE;
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
      if (value == 0) return FALSE;
      limits_.totalTimeoutMs = static_cast<long>(value);
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL CInternetSession::QueryOption(DWORD option, DWORD& value) const {
  switch (option) {
    case INTERNET_OPTION_CONNECT_RETRIES:
      value = retries_;
      return TRUE;
    case INTERNET_OPTION_CONNECT_TIMEOUT:
      value = static_cast<DWORD>(limits_.connectTimeoutMs);
      return TRUE;
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
      value = static_cast<DWORD>(limits_.totalTimeoutMs);
      return TRUE;
    default:
      return FALSE;
  }
}

CHttpFile* CInternetSession::OpenURL(LPCWSTR url, DWORD_PTR context, DWORD flags, LPCWSTR headers,
                                     DWORD headersLength) {
  if (closed_) {
    platform::inet::Throw(ERROR_INTERNET_INCORRECT_HANDLE_STATE, context, "the session is closed");
  }
  if (url == nullptr) platform::inet::Throw(ERROR_INTERNET_INVALID_URL, context, "no address");
  DWORD service = 0;
  std::u16string server, object;
  INTERNET_PORT port = 0;
  std::string url8 = platform::com::Utf16ToUtf8(url);
  if (!AfxParseURL(url, service, server, object, port)) {
    platform::inet::Throw(service == AFX_INET_SERVICE_UNK ? ERROR_INTERNET_UNRECOGNIZED_SCHEME
                                                          : ERROR_INTERNET_INVALID_URL,
                          context, "not an address that can be opened: " + url8);
  }
  if (service != AFX_INET_SERVICE_HTTP && service != AFX_INET_SERVICE_HTTPS) {
    platform::inet::Throw(ERROR_INTERNET_UNRECOGNIZED_SCHEME, context,
                          "only http:// and https:// addresses can be opened: " + url8);
  }
  std::string extra;
  if (headers != nullptr) {
    std::u16string h = (headersLength == 0 || headersLength == static_cast<DWORD>(-1))
                           ? std::u16string(headers)
                           : std::u16string(headers, headersLength);
    extra = platform::com::Utf16ToUtf8(h);
  }
  bool follow = (flags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0;

  // A refused connection is tried again as many times as the retries option says; anything
  // else (a timeout above all) is not, so an open stays bounded by the connect timeout.
  for (DWORD attempt = 0;; ++attempt) {
    auto transfer = std::make_unique<Transfer>(url8, context, limits_);
    try {
      transfer->Start(agent_, follow, extra);
    } catch (CInternetException* e) {
      if (e->m_dwError == ERROR_INTERNET_CANNOT_CONNECT && attempt < retries_) {
        e->Delete();
        continue;
      }
      throw;
    }
    return new CHttpFile(std::move(transfer));
  }
}

void CInternetSession::Close() {
  closed_ = true;
}
