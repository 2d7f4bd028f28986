// The internet session and files the system's code calls, over libcurl.
//
//   CInternetSession session(u"DOCUMENT GETTER", 1, PRE_CONFIG_INTERNET_ACCESS);
//   session.SetOption(INTERNET_OPTION_CONNECT_RETRIES, 3);
//   CHttpFile* file = session.OpenURL(url, 1, INTERNET_FLAG_TRANSFER_BINARY);  // may throw
//   while ((n = file->Read(buf, sizeof buf)) > 0) ...                         // may throw
//   file->Close(); delete file;
//
// Errors are thrown as `CInternetException*` (allocated with new, as the original framework
// does); whoever catches one calls its Delete(). OpenURL throws when the address cannot be
// reached (bad address, unknown scheme, name not resolved, connection refused, timeout) and
// returns once the final response's headers have arrived; the HTTP status does not fail it
// (a 404 page can be read like any other). Read throws when the transfer breaks off
// (connection reset, truncated body, timeout, size limit) after handing out what had arrived.
//
// Every transfer is bounded: a connect timeout, an overall timeout and a size limit. The
// defaults (15 s, 120 s, 64 MiB) can be changed per process with the environment variables
// NUBRA_INET_CONNECT_TIMEOUT_MS, NUBRA_INET_TIMEOUT_MS and NUBRA_INET_MAX_BYTES, and per session
// with SetOption or SetLimits.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/com/types.h"
#include "platform/inet/url.h"
#include "platform/win32/mfc/afx.h"

// Access types.
constexpr DWORD PRE_CONFIG_INTERNET_ACCESS = 0;
constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;

// OpenURL flags. Transfers are always binary; the ASCII flag is accepted and ignored.
constexpr DWORD INTERNET_FLAG_TRANSFER_ASCII = 0x00000001;
constexpr DWORD INTERNET_FLAG_TRANSFER_BINARY = 0x00000002;
constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
constexpr DWORD INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;

// Session options (values as the original).
constexpr DWORD INTERNET_OPTION_CONNECT_TIMEOUT = 2;  // milliseconds
constexpr DWORD INTERNET_OPTION_CONNECT_RETRIES = 3;
constexpr DWORD INTERNET_OPTION_RECEIVE_TIMEOUT = 6;  // milliseconds, here the whole transfer

// QueryInfo levels.
constexpr DWORD HTTP_QUERY_CONTENT_TYPE = 1;
constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
constexpr DWORD HTTP_QUERY_LOCATION = 33;

// Error codes carried by CInternetException (values as the original).
constexpr DWORD ERROR_FILE_TOO_LARGE = 223;
constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_INVALID_OPERATION = 12016;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;

class CInternetException : public CException {
 public:
  CInternetException(DWORD error, DWORD_PTR context, std::string message);
  ~CInternetException() override;

  // The message as text for a person ("Connection refused: http://..."), UTF-16, truncated to
  // fit maxChars including the terminating zero. FALSE when no buffer is given.
  BOOL GetErrorMessage(LPWSTR buffer, UINT maxChars, UINT* helpContext = nullptr) override;
  const std::string& Message() const { return message_; }

  DWORD m_dwError;
  DWORD_PTR m_dwContext;

 private:
  std::string message_;
};

namespace platform::inet {

struct Limits {
  long connectTimeoutMs = 15000;
  long totalTimeoutMs = 120000;
  std::uint64_t maxBytes = std::uint64_t{64} << 20;
};

// The defaults above, overridden by the NUBRA_INET_* environment variables (read at each call).
Limits DefaultLimits();

class Transfer;

}  // namespace platform::inet

// A file opened by OpenURL: the response of an http:// or https:// request, read from the
// network as the caller reads. It reads only: Write, Seek and SetLength throw, ReadString is
// not available.
class CHttpFile : public CStdioFile {
 public:
  ~CHttpFile() override;

  // Reads up to count bytes; blocks until that many have arrived or the body has ended.
  // Returns 0 at the end of the body. Throws CInternetException* when the transfer failed.
  UINT Read(void* buffer, UINT count) override;
  // Ends the transfer; later reads return 0. Safe to call twice.
  void Close() override;
  void Abort() override { Close(); }
  // Bytes that can be read now without waiting, as the original reports.
  DWORD GetLength() const override;
  // Bytes handed out so far.
  DWORD GetPosition() const override;
  void Write(const void* buffer, UINT count) override;
  LONG Seek(LONG offset, UINT from) override;
  void SetLength(DWORD length) override;
  void Flush() override {}

  // A response header of the final response (after redirects). FALSE when it is absent.
  BOOL QueryInfo(DWORD infoLevel, std::u16string& value, LPDWORD index = nullptr) const;
  BOOL QueryInfoStatusCode(DWORD& status) const;
  // The address the body came from, after redirects.
  std::u16string GetFileURL() const;

 private:
  friend class CInternetSession;
  explicit CHttpFile(std::unique_ptr<platform::inet::Transfer> transfer);
  std::unique_ptr<platform::inet::Transfer> transfer_;
  std::uint64_t position_ = 0;
};

class CInternetSession {
 public:
  explicit CInternetSession(LPCWSTR agent = nullptr, DWORD_PTR context = 1,
                            DWORD accessType = PRE_CONFIG_INTERNET_ACCESS,
                            LPCWSTR proxyName = nullptr, LPCWSTR proxyBypass = nullptr,
                            DWORD flags = 0);
  virtual ~CInternetSession();
  CInternetSession(const CInternetSession&) = delete;
  CInternetSession& operator=(const CInternetSession&) = delete;

  // INTERNET_OPTION_CONNECT_RETRIES: extra attempts when a connection is refused;
  // INTERNET_OPTION_CONNECT_TIMEOUT / INTERNET_OPTION_RECEIVE_TIMEOUT: milliseconds.
  // FALSE for an option this session does not know.
  BOOL SetOption(DWORD option, DWORD value, DWORD flags = 0);
  BOOL QueryOption(DWORD option, DWORD& value) const;
  void SetLimits(const platform::inet::Limits& limits) { limits_ = limits; }
  const platform::inet::Limits& GetLimits() const { return limits_; }

  // Opens an http:// or https:// address, following redirects (unless
  // INTERNET_FLAG_NO_AUTO_REDIRECT). The caller owns the file (Close, then delete).
  // headers: extra request lines separated by "\r\n" (headersLength -1 or 0: zero-terminated).
  CHttpFile* OpenURL(LPCWSTR url, DWORD_PTR context = 1, DWORD flags = INTERNET_FLAG_TRANSFER_ASCII,
                     LPCWSTR headers = nullptr, DWORD headersLength = 0);

  // Ends the session. Files opened before stay readable; OpenURL afterwards throws.
  virtual void Close();

  DWORD_PTR GetContext() const { return context_; }

 private:
  std::string agent_;
  DWORD_PTR context_;
  DWORD retries_ = 0;
  bool closed_ = false;
  platform::inet::Limits limits_;
};
