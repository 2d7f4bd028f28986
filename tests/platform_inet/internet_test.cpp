#include "platform/inet/internet.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/com/com.h"
#include "tests/support/http_server.h"

namespace {

using platform::com::Utf8ToUtf16;

struct FileCloser {
  void operator()(CHttpFile* f) const {
    f->Close();
    delete f;
  }
};
using FilePtr = std::unique_ptr<CHttpFile, FileCloser>;

FilePtr Open(CInternetSession& session, const std::string& url) {
  std::u16string wide = Utf8ToUtf16(url);
  return FilePtr(session.OpenURL(wide.c_str(), 1, INTERNET_FLAG_TRANSFER_BINARY));
}

// Reads to the end in chunks of the given size, as the system's copy loops do.
std::string ReadAll(CHttpFile& file, UINT chunk = 8192) {
  std::string out;
  std::string buf(chunk, '\0');
  while (UINT n = file.Read(buf.data(), chunk)) out.append(buf.data(), n);
  return out;
}

// The error code of the internet exception that fn throws, or 0 when it throws none.
template <typename Fn>
DWORD ErrorOf(Fn&& fn) {
  try {
    fn();
  } catch (CInternetException* e) {
    DWORD code = e->m_dwError;
    e->Delete();
    return code;
  }
  return 0;
}

// A port on the loopback host where nothing listens.
int ClosedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

class InternetTest : public ::testing::Test {
 protected:
  nbtest::HttpServer server_;
  CInternetSession session_{u"DOCUMENT GETTER", 1, PRE_CONFIG_INTERNET_ACCESS};
};

TEST_F(InternetTest, ReadsBodyHeadersAndAgent) {
  std::string body;
  for (int i = 0; i < 5000; ++i) body += "line " + std::to_string(i) + "\r\n";
  body += std::string("\0\x01\xff", 3);  // binary transfer: bytes come as they are
  server_.Serve("/page.html",
                {.headers = {{"Content-Type", "text/html; charset=Shift_JIS"}}, .body = body});
  FilePtr f = Open(session_, server_.Url("/page.html"));
  std::u16string type;
  ASSERT_TRUE(f->QueryInfo(HTTP_QUERY_CONTENT_TYPE, type));
  EXPECT_EQ(type, u"text/html; charset=Shift_JIS");
  DWORD status = 0;
  ASSERT_TRUE(f->QueryInfoStatusCode(status));
  EXPECT_EQ(status, 200u);
  EXPECT_EQ(ReadAll(*f, 8192), body);
  EXPECT_EQ(f->Read(&status, 1), 0u);  // stays at the end
  EXPECT_EQ(server_.Requests().at(0).Header("User-Agent"), "DOCUMENT GETTER");
}

TEST_F(InternetTest, ChunkSizesDoNotChangeTheBytes) {
  std::string body(100000, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7);
  server_.Serve("/bin", {.body = body, .pieceSize = 1000});
  server_.Serve("/chunked", {.body = body, .chunked = true, .pieceSize = 777});
  for (const char* path : {"/bin", "/chunked"}) {
    for (UINT chunk : {1u, 13u, 8192u, 1u << 20}) {
      SCOPED_TRACE(std::string(path) + " chunk " + std::to_string(chunk));
      FilePtr f = Open(session_, server_.Url(path));
      EXPECT_EQ(ReadAll(*f, chunk), body);
    }
  }
}

TEST_F(InternetTest, MissingHeaderAndUnknownLevelAreFalse) {
  server_.Serve("/plain", {.body = "x"});
  FilePtr f = Open(session_, server_.Url("/plain"));
  std::u16string value = u"unchanged";
  EXPECT_FALSE(f->QueryInfo(HTTP_QUERY_CONTENT_TYPE, value));
  EXPECT_FALSE(f->QueryInfo(12345, value));
  EXPECT_EQ(value, u"unchanged");
  ASSERT_TRUE(f->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, value));
  EXPECT_EQ(value, u"1");
}

TEST_F(InternetTest, FollowsRedirectsAndReportsTheFinalResponse) {
  server_.Serve("/final",
                {.headers = {{"Content-Type", "text/html; charset=EUC-JP"}}, .body = "end"});
  server_.Redirect("/hop2", "/final", 301);
  server_.Redirect("/hop1", server_.Url("/hop2"), 302);
  FilePtr f = Open(session_, server_.Url("/hop1"));
  std::u16string type;
  ASSERT_TRUE(f->QueryInfo(HTTP_QUERY_CONTENT_TYPE, type));
  EXPECT_EQ(type, u"text/html; charset=EUC-JP");
  EXPECT_EQ(ReadAll(*f), "end");
  EXPECT_EQ(f->GetFileURL(), Utf8ToUtf16(server_.Url("/final")));
  EXPECT_EQ(server_.RequestCount("/final"), 1);
}

TEST_F(InternetTest, RedirectLoopThrows) {
  server_.Redirect("/loop", "/loop");
  EXPECT_EQ(ErrorOf([&] { Open(session_, server_.Url("/loop")); }), ERROR_HTTP_REDIRECT_FAILED);
}

TEST_F(InternetTest, ErrorStatusStillOpensWithItsBody) {
  server_.Serve("/gone", {.status = 404, .body = "<h1>no such page</h1>"});
  server_.Serve("/oops", {.status = 500, .body = "broken"});
  FilePtr f = Open(session_, server_.Url("/gone"));
  DWORD status = 0;
  ASSERT_TRUE(f->QueryInfoStatusCode(status));
  EXPECT_EQ(status, 404u);
  EXPECT_EQ(ReadAll(*f), "<h1>no such page</h1>");
  FilePtr g = Open(session_, server_.Url("/oops"));
  EXPECT_EQ(ReadAll(*g), "broken");
}

TEST_F(InternetTest, OpenFailuresThrow) {
  std::string refused = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/x";
  session_.SetOption(INTERNET_OPTION_CONNECT_RETRIES, 3);
  struct Case {
    std::string url;
    DWORD error;
  } cases[] = {
      {refused, ERROR_INTERNET_CANNOT_CONNECT},
      {"ftp://127.0.0.1/x", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {"file:///etc/hostname", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {"relative/page.html", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {"http://", ERROR_INTERNET_INVALID_URL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(ErrorOf([&] { Open(session_, c.url); }), c.error);
  }
}

// The system's code holds downloads as CStdioFile* and catches CException*.
TEST_F(InternetTest, FileAndExceptionFitTheClassLibrary) {
  server_.Serve("/a", {.body = "abc"});
  FilePtr f = Open(session_, server_.Url("/a"));
  CStdioFile* file = f.get();
  char buf[8];
  EXPECT_EQ(file->Read(buf, sizeof buf), 3u);
  EXPECT_EQ(file->GetPosition(), 3u);
  for (auto op : {+[](CStdioFile* x) { x->Write("x", 1); },
                  +[](CStdioFile* x) { x->Seek(0, CFile::begin); }}) {
    try {
      op(file);
      ADD_FAILURE() << "no exception";
    } catch (CException* e) {
      EXPECT_NE(dynamic_cast<CInternetException*>(e), nullptr);
      e->Delete();
    }
  }
  std::string refused = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/";
  try {
    Open(session_, refused);
    ADD_FAILURE() << "no exception";
  } catch (CException* e) {
    char16_t text[512];
    EXPECT_TRUE(e->GetErrorMessage(text, 512));
    EXPECT_NE(std::u16string(text).find(Utf8ToUtf16(refused)), std::u16string::npos);
    char16_t tiny[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_TRUE(e->GetErrorMessage(tiny, 3));
    EXPECT_EQ(tiny[2], 0);  // truncated and terminated
    auto* inet = dynamic_cast<CInternetException*>(e);
    ASSERT_NE(inet, nullptr);
    EXPECT_EQ(inet->m_dwError, ERROR_INTERNET_CANNOT_CONNECT);
    EXPECT_EQ(inet->m_dwContext, 1u);
    e->Delete();
  }
}

TEST_F(InternetTest, ClosedSessionRefusesToOpen) {
  server_.Serve("/a", {.body = "a"});
  session_.Close();
  EXPECT_EQ(ErrorOf([&] { Open(session_, server_.Url("/a")); }),
            ERROR_INTERNET_INCORRECT_HANDLE_STATE);
}

TEST_F(InternetTest, BrokenBodiesThrowFromReadAfterTheirData) {
  std::string body(50000, 'b');
  body.replace(0, 3, "abc");
  server_.Serve("/truncated", {.body = body, .closeAfter = 20000});
  server_.Serve("/reset", {.body = body, .pieceSize = 1000, .resetAfter = 20000});
  server_.Serve("/short", {.body = "abc", .contentLength = 10});  // claims more than it sends
  struct Case {
    const char* path;
    DWORD error;
  } cases[] = {
      {"/truncated", ERROR_INTERNET_CONNECTION_ABORTED},
      {"/short", ERROR_INTERNET_CONNECTION_ABORTED},
      {"/reset", ERROR_INTERNET_CONNECTION_RESET},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FilePtr f = Open(session_, server_.Url(c.path));
    std::string got;
    DWORD error = ErrorOf([&] {
      char buf[8192];
      while (UINT n = f->Read(buf, sizeof buf)) got.append(buf, n);
    });
    if (c.error == ERROR_INTERNET_CONNECTION_ABORTED) {
      EXPECT_EQ(got, body.substr(0, got.size()));
      EXPECT_EQ(got.size(), std::string(c.path) == "/short" ? 3u : 20000u);
    }
    // A reset may arrive before the last bytes were read; a clean close never loses them.
    if (c.error == ERROR_INTERNET_CONNECTION_RESET) {
      EXPECT_TRUE(error == ERROR_INTERNET_CONNECTION_RESET ||
                  error == ERROR_INTERNET_CONNECTION_ABORTED)
          << error;
    } else {
      EXPECT_EQ(error, c.error);
    }
  }
}

TEST_F(InternetTest, StalledServerTimesOutWithinTheLimit) {
  server_.Serve("/stall-body", {.body = std::string(10000, 's'), .stallAfter = 100});
  server_.Serve("/stall-head",
                {.body = "x", .delayBeforeHeaders = std::chrono::milliseconds(5000)});
  session_.SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, 700);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { Open(session_, server_.Url("/stall-head")); }), ERROR_INTERNET_TIMEOUT);
  FilePtr f = Open(session_, server_.Url("/stall-body"));
  EXPECT_EQ(ErrorOf([&] { ReadAll(*f); }), ERROR_INTERNET_TIMEOUT);
  auto elapsed = std::chrono::steady_clock::now() - start;
  // Generous: only catches a timeout that is not applied at all.
  EXPECT_LT(elapsed, std::chrono::seconds(4));
}

TEST_F(InternetTest, SizeLimitEndsTheTransfer) {
  platform::inet::Limits limits = session_.GetLimits();
  limits.maxBytes = 1 << 20;
  session_.SetLimits(limits);
  server_.Serve("/huge", {.generatedBytes = std::uint64_t{100} << 20, .pieceSize = 65536});
  server_.Serve("/huge-chunked",
                {.chunked = true, .generatedBytes = std::uint64_t{100} << 20, .pieceSize = 65536});
  for (const char* path : {"/huge", "/huge-chunked"}) {
    SCOPED_TRACE(path);
    std::string got;
    DWORD error = ErrorOf([&] {
      FilePtr f = Open(session_, server_.Url(path));
      got = ReadAll(*f);
    });
    EXPECT_EQ(error, ERROR_FILE_TOO_LARGE);
    EXPECT_LE(got.size(), limits.maxBytes);
  }
  // Far from all 100 MB were sent: the transfer was ended, not drained.
  EXPECT_LT(server_.BytesSent(), std::uint64_t{60} << 20);
}

TEST(InternetLimits, EnvironmentOverridesDefaults) {
  ::setenv("NUBRA_INET_CONNECT_TIMEOUT_MS", "1500", 1);
  ::setenv("NUBRA_INET_TIMEOUT_MS", "2500", 1);
  ::setenv("NUBRA_INET_MAX_BYTES", "bogus", 1);
  platform::inet::Limits limits = platform::inet::DefaultLimits();
  EXPECT_EQ(limits.connectTimeoutMs, 1500);
  EXPECT_EQ(limits.totalTimeoutMs, 2500);
  EXPECT_EQ(limits.maxBytes, std::uint64_t{64} << 20);  // unreadable value: the default
  CInternetSession session;
  DWORD value = 0;
  ASSERT_TRUE(session.QueryOption(INTERNET_OPTION_RECEIVE_TIMEOUT, value));
  EXPECT_EQ(value, 2500u);
  ::unsetenv("NUBRA_INET_CONNECT_TIMEOUT_MS");
  ::unsetenv("NUBRA_INET_TIMEOUT_MS");
  ::unsetenv("NUBRA_INET_MAX_BYTES");
  platform::inet::Limits defaults = platform::inet::DefaultLimits();
  EXPECT_EQ(defaults.connectTimeoutMs, 15000);
  EXPECT_EQ(defaults.totalTimeoutMs, 120000);
}

}  // namespace
