// A small HTTP/1.1 server for tests: listens on 127.0.0.1 on a port the system picks, answers
// every request with a canned response looked up by path, and can misbehave on purpose (slow,
// stalled, truncated or reset bodies, endless downloads, raw bytes).
//
//   nbtest::HttpServer server;                       // listening once constructed
//   server.Serve("/a.html", {.headers = {{"Content-Type", "text/html"}}, .body = "<p>x</p>"});
//   server.Redirect("/old", "/a.html");
//   std::string url = server.Url("/a.html");        // "http://127.0.0.1:<port>/a.html"
//   ...                                              // stopped by the destructor (or Stop())
//
// Every connection is answered with "Connection: close" and closed, so each request of a
// client (also each hop of a redirect) comes on its own connection. A path that has no
// response gets 404 with the body "not found". The query string is part of the lookup only
// when a response was registered with one.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace nbtest {

struct HttpRequest {
  std::string method;
  std::string target;  // as sent: path and query
  std::string path;    // without the query
  std::vector<std::pair<std::string, std::string>> headers;

  // The first header of that name (case-insensitive), or "".
  std::string Header(std::string_view name) const {
    for (const auto& [k, v] : headers) {
      if (k.size() == name.size() &&
          std::equal(k.begin(), k.end(), name.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
          }))
        return v;
    }
    return {};
  }
};

struct HttpResponse {
  int status = 200;
  std::string reason{};  // empty: a standard phrase for the status
  std::vector<std::pair<std::string, std::string>> headers{};
  std::string body{};

  // Content-Length is sent (the true length of body, or this value when set, to lie about it)
  // unless chunked is set.
  std::optional<std::uint64_t> contentLength{};
  bool chunked = false;
  // Instead of body: this many bytes of a repeating pattern, produced as they are sent.
  std::uint64_t generatedBytes = 0;

  // Waits before the status line, and between body pieces of pieceSize bytes.
  std::chrono::milliseconds delayBeforeHeaders{0};
  std::chrono::milliseconds pieceDelay{0};
  std::size_t pieceSize = 16384;

  // After this many body bytes: stop sending and wait (stall) until the client gives up or the
  // server stops; close the connection (truncate); or reset it (RST).
  std::optional<std::uint64_t> stallAfter{};
  std::optional<std::uint64_t> closeAfter{};
  std::optional<std::uint64_t> resetAfter{};

  // When not empty, these bytes are sent as they are instead of a response built from the above.
  std::string raw{};
};

class HttpServer {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&)>;

  HttpServer() {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_ < 0) throw std::runtime_error("HttpServer: socket failed");
    int one = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_, 64) != 0) {
      ::close(listen_);
      throw std::runtime_error("HttpServer: bind/listen failed");
    }
    socklen_t len = sizeof addr;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }

  ~HttpServer() { Stop(); }
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Ends every connection (stalled ones too) and joins the threads. Safe to call twice.
  void Stop() {
    if (stopping_.exchange(true)) return;
    if (acceptor_.joinable()) acceptor_.join();
    std::vector<std::thread> workers;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      workers.swap(workers_);
    }
    for (auto& t : workers) t.join();
    ::close(listen_);
  }

  int Port() const { return port_; }
  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string Url(std::string_view path) const { return Base() + std::string(path); }

  // Answers requests for path (or path?query) with response.
  void Serve(std::string path, HttpResponse response) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[std::move(path)] = std::move(response);
  }
  // Answers path with a redirect to location (absolute, or a path on this server).
  void Redirect(std::string path, std::string location, int status = 302) {
    HttpResponse r;
    r.status = status;
    r.headers = {{"Location", std::move(location)}};
    r.body = "moved";
    Serve(std::move(path), std::move(r));
  }
  // Answers every request whose path has no canned response.
  void SetHandler(Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
  }

  std::vector<HttpRequest> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  int RequestCount(std::string_view path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count_if(requests_.begin(), requests_.end(),
                                          [&](const HttpRequest& r) { return r.path == path; }));
  }
  // Body bytes written to clients so far, over all connections.
  std::uint64_t BytesSent() const { return bytesSent_.load(); }

 private:
  void AcceptLoop() {
    while (!stopping_) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      workers_.emplace_back([this, fd] { Handle(fd); });
    }
  }

  // Waits up to ms for fd to be readable, in small steps so Stop() is noticed.
  bool WaitReadable(int fd, int ms) {
    for (int waited = 0; waited < ms && !stopping_; waited += 50) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) > 0) return true;
    }
    return false;
  }

  void Sleep(std::chrono::milliseconds d) {
    auto end = std::chrono::steady_clock::now() + d;
    while (!stopping_ && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  bool SendAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
      if (stopping_) return false;
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      ssize_t w = ::send(fd, data, n, MSG_NOSIGNAL);
      if (w <= 0) return false;
      data += w;
      n -= static_cast<std::size_t>(w);
    }
    return true;
  }

  static std::string Reason(int status) {
    switch (status) {
      case 200:
        return "OK";
      case 301:
        return "Moved Permanently";
      case 302:
        return "Found";
      case 303:
        return "See Other";
      case 307:
        return "Temporary Redirect";
      case 404:
        return "Not Found";
      case 500:
        return "Internal Server Error";
      default:
        return "Status";
    }
  }

  static std::optional<HttpRequest> Parse(const std::string& head) {
    HttpRequest r;
    std::size_t lineEnd = head.find("\r\n");
    std::string first = head.substr(0, lineEnd);
    std::size_t a = first.find(' ');
    std::size_t b = first.find(' ', a + 1);
    if (a == std::string::npos || b == std::string::npos) return std::nullopt;
    r.method = first.substr(0, a);
    r.target = first.substr(a + 1, b - a - 1);
    r.path = r.target.substr(0, r.target.find('?'));
    std::size_t pos = lineEnd + 2;
    while (pos < head.size()) {
      std::size_t end = head.find("\r\n", pos);
      if (end == std::string::npos) end = head.size();
      std::string line = head.substr(pos, end - pos);
      std::size_t colon = line.find(':');
      if (colon != std::string::npos) {
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        r.headers.emplace_back(line.substr(0, colon), value);
      }
      pos = end + 2;
    }
    return r;
  }

  void Handle(int fd) {
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
      if (!WaitReadable(fd, 10000)) {
        ::close(fd);
        return;
      }
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) {
        ::close(fd);
        return;
      }
      head.append(buf, static_cast<std::size_t>(n));
    }
    std::optional<HttpRequest> request = Parse(head.substr(0, head.find("\r\n\r\n")));
    if (!request) {
      ::close(fd);
      return;
    }
    HttpResponse response;
    Handler handler;
    bool found = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(*request);
      auto it = routes_.find(request->target);
      if (it == routes_.end()) it = routes_.find(request->path);
      if (it != routes_.end()) {
        response = it->second;
        found = true;
      } else {
        handler = handler_;
      }
    }
    if (!found && handler) {
      response = handler(*request);
    } else if (!found) {
      response.status = 404;
      response.body = "not found";
    }
    Respond(fd, response, request->method == "HEAD");
  }

  void Respond(int fd, const HttpResponse& r, bool headOnly) {
    Sleep(r.delayBeforeHeaders);
    if (!r.raw.empty()) {
      SendAll(fd, r.raw.data(), r.raw.size());
      Finish(fd, false);
      return;
    }
    std::uint64_t total = r.generatedBytes > 0 ? r.generatedBytes : r.body.size();
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + " " +
                       (r.reason.empty() ? Reason(r.status) : r.reason) + "\r\n";
    for (const auto& [k, v] : r.headers) head += k + ": " + v + "\r\n";
    if (r.chunked) {
      head += "Transfer-Encoding: chunked\r\n";
    } else {
      head += "Content-Length: " + std::to_string(r.contentLength.value_or(total)) + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    if (!SendAll(fd, head.data(), head.size()) || headOnly) {
      Finish(fd, false);
      return;
    }

    std::size_t piece = std::max<std::size_t>(1, r.pieceSize);
    std::string pattern;
    std::uint64_t sent = 0;
    while (sent < total) {
      std::uint64_t limit = total;
      for (const auto& stop : {r.stallAfter, r.closeAfter, r.resetAfter}) {
        if (stop) limit = std::min(limit, *stop);
      }
      if (sent >= limit) break;
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(piece, limit - sent));
      const char* data;
      if (r.generatedBytes > 0) {
        pattern.resize(n);
        for (std::size_t i = 0; i < n; ++i) pattern[i] = static_cast<char>('a' + (sent + i) % 26);
        data = pattern.data();
      } else {
        data = r.body.data() + sent;
      }
      std::string frame;
      if (r.chunked) {
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", n);
        frame = size + std::string(data, n) + "\r\n";
      } else {
        frame.assign(data, n);
      }
      if (!SendAll(fd, frame.data(), frame.size())) {
        Finish(fd, false);
        return;
      }
      sent += n;
      bytesSent_ += n;
      if (r.pieceDelay.count() > 0 && sent < total) Sleep(r.pieceDelay);
    }
    if (r.stallAfter && sent >= *r.stallAfter && sent < total) {
      // Hold the connection open without sending until the client leaves or the server stops.
      while (!stopping_) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
          char discard[256];
          if (::recv(fd, discard, sizeof discard, MSG_DONTWAIT) <= 0) break;
        }
      }
      Finish(fd, false);
      return;
    }
    if (r.resetAfter && sent >= *r.resetAfter && sent < total) {
      Finish(fd, true);
      return;
    }
    if (r.chunked && sent >= total) SendAll(fd, "0\r\n\r\n", 5);
    Finish(fd, false);
  }

  // Closes the connection: with a reset when asked (SO_LINGER 0), else after a graceful shutdown.
  static void Finish(int fd, bool reset) {
    if (reset) {
      linger l{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    } else {
      ::shutdown(fd, SHUT_WR);
    }
    ::close(fd);
  }

  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<std::uint64_t> bytesSent_{0};
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::vector<std::thread> workers_;
  std::map<std::string, HttpResponse> routes_;
  Handler handler_;
  std::vector<HttpRequest> requests_;
};

}  // namespace nbtest
