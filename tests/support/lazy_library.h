// Whether a library opened on first use stays out of the process until then. The check runs as
// a disabled test of the same program in a fresh process (a fork would inherit whatever earlier
// tests loaded), which starts with only what the program links.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace lazy_test {

inline bool Mapped(const std::string& fileName) {
  std::ifstream maps("/proc/self/maps");
  std::stringstream text;
  text << maps.rdbuf();
  return text.str().find("/" + fileName) != std::string::npos;
}

// Runs the test `probe` (Suite.DISABLED_Name) of this program in a new process; its exit
// status, 0 when it passed.
inline int RunProbe(const std::string& probe) {
  std::string filter = "--gtest_filter=" + probe;
  pid_t pid = fork();
  if (pid == 0) {
    execl("/proc/self/exe", "probe", filter.c_str(), "--gtest_also_run_disabled_tests",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace lazy_test
