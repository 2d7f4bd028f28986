// Work handed to a helper program of our own instead of done in this process: a library that may
// take minutes or crash on hostile input is kept out of the process whose books must not be lost,
// and a helper that is late is ended instead of waited for.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>

namespace platform::loader {

// A helper program that answers requests one at a time on its standard input and output: a
// request is a 32-bit length in host order and that many bytes, and so is its answer. It is
// started at the first request and kept for the next; one that is late, answers wrongly or ends
// is ended and started again by the next request. Not thread-safe: one caller at a time.
class Worker {
 public:
  enum class Outcome { kAnswered, kNoProgram, kLate, kFailed };

  explicit Worker(std::string program) : program_(std::move(program)) {}
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;
  // Closes the helper's input, so that it ends, and reaps it.
  ~Worker();

  Outcome Ask(std::string_view request, std::string& answer, std::chrono::milliseconds timeout);

  // The running helper's process id, or 0.
  pid_t Pid() const { return pid_; }
  const std::string& Program() const { return program_; }

 private:
  bool Start();
  void Stop(bool kill);

  std::string program_;
  pid_t pid_ = 0;
  int fd_ = -1;
};

// The path of the program `name` kept beside the module (shared library or program) that holds
// `address`, or in the lib folder beside it (a program in bin/ whose helper is in lib/); empty
// when neither is there.
std::string HelperBesideModule(const void* address, std::string_view name);

}  // namespace platform::loader
