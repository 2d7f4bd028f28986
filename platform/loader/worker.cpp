#include "platform/loader/worker.h"

#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace platform::loader {
namespace {

using Clock = std::chrono::steady_clock;

// An answer larger than this is taken for a helper gone wrong.
constexpr std::uint32_t kMaxAnswer = std::uint32_t{1} << 30;

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), 1 << 30));
}

enum class Moved { kAll, kLate, kFailed };

// Sends or receives all of [data, data + size) before the deadline.
Moved Move(int fd, char* data, std::size_t size, bool send, Clock::time_point deadline) {
  while (size > 0) {
    pollfd p{fd, static_cast<short>(send ? POLLOUT : POLLIN), 0};
    int ready = poll(&p, 1, MillisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return Moved::kFailed;
    if (ready == 0) return Moved::kLate;
    ssize_t n = send ? ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT)
                     : ::recv(fd, data, size, MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return Moved::kFailed;  // an error, or the helper closed its end
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return Moved::kAll;
}

}  // namespace

Worker::~Worker() {
  Stop(true);
}

bool Worker::Start() {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The helper's standard input and output are its end of the pair; dup2 clears close-on-exec.
  posix_spawn_file_actions_adddup2(&actions, ends[1], 0);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
  // Nothing else of this process goes along: a lock or a connection the host closes must not
  // live on in the helper.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  char* argv[] = {program_.data(), nullptr};
  pid_t pid = 0;
  int failed = posix_spawn(&pid, program_.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (failed != 0) {
    close(ends[0]);
    return false;
  }
  pid_ = pid;
  fd_ = ends[0];
  return true;
}

void Worker::Stop(bool kill) {
  if (fd_ != -1) close(fd_);
  fd_ = -1;
  if (pid_ > 0) {
    if (kill) ::kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  pid_ = 0;
}

Worker::Outcome Worker::Ask(std::string_view request, std::string& answer,
                            std::chrono::milliseconds timeout) {
  answer.clear();
  if (request.size() > kMaxAnswer) return Outcome::kFailed;
  if (pid_ == 0 && !Start()) return Outcome::kNoProgram;
  Clock::time_point deadline = Clock::now() + timeout;
  auto fail = [this](Moved m) {
    Stop(true);
    return m == Moved::kLate ? Outcome::kLate : Outcome::kFailed;
  };
  auto length = static_cast<std::uint32_t>(request.size());
  std::string out(sizeof length, '\0');
  std::memcpy(out.data(), &length, sizeof length);
  out.append(request);
  if (Moved m = Move(fd_, out.data(), out.size(), true, deadline); m != Moved::kAll) return fail(m);
  if (Moved m = Move(fd_, reinterpret_cast<char*>(&length), sizeof length, false, deadline);
      m != Moved::kAll) {
    return fail(m);
  }
  if (length > kMaxAnswer) return fail(Moved::kFailed);
  answer.resize(length);
  if (Moved m = Move(fd_, answer.data(), length, false, deadline); m != Moved::kAll) {
    answer.clear();
    return fail(m);
  }
  return Outcome::kAnswered;
}

std::string HelperBesideModule(const void* address, std::string_view name) {
  Dl_info info{};
  if (!address || !dladdr(address, &info) || !info.dli_fname) return {};
  std::error_code ec;
  std::filesystem::path module = std::filesystem::canonical(info.dli_fname, ec);
  // The program itself is named by how it was started (argv[0]), which need not be a path.
  if (ec || std::string_view(info.dli_fname).find('/') == std::string_view::npos)
    module = std::filesystem::canonical("/proc/self/exe", ec);
  if (ec) return {};
  for (const std::filesystem::path& dir :
       {module.parent_path(), module.parent_path().parent_path() / "lib"}) {
    std::filesystem::path helper = dir / name;
    if (access(helper.c_str(), X_OK) == 0) return helper.string();
  }
  return {};
}

}  // namespace platform::loader
