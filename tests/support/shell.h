// Running a command line in tests that drive nbclip: its exit status and what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace nbtest {

struct ShellResult {
  int status = -1;  // exit status; -1 when it did not exit (a signal)
  std::string out;  // standard output and standard error together
};

inline ShellResult Shell(const std::string& command) {
  ShellResult r;
  FILE* pipe = popen(("( " + command + " ) 2>&1").c_str(), "r");
  if (!pipe) return r;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) r.out.append(buffer, n);
  int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// s as one word of a shell command line, whatever it holds.
inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace nbtest
