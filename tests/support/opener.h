// Environment and desktop-opener helpers for tests that start programs through ShellExecuteW.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

namespace nbtest {

// Sets an environment variable for one scope (value null: unsets it).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old, had_ = true;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

// Waits up to five seconds for a file another process writes whole (by renaming it into place)
// and returns its contents; "" when it never came.
inline std::string WaitForFile(const std::filesystem::path& path) {
  for (int i = 0; i < 500 && !std::filesystem::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A desktop opener for one scope: $NUBRA_OPENER names a script in folder that writes the path
// it was asked to open into folder/opened.txt.
class RecordingOpener {
 public:
  explicit RecordingOpener(const std::filesystem::path& folder)
      : script_(folder / "open.sh"), record_(folder / "opened.txt") {
    std::filesystem::create_directories(folder);
    std::filesystem::remove(record_);
    std::ofstream(script_) << "#!/bin/sh\nprintf '%s' \"$1\" > \"" << record_.string()
                           << ".part\" && mv \"" << record_.string() << ".part\" \""
                           << record_.string() << "\"\n";
    std::filesystem::permissions(script_, std::filesystem::perms::owner_all);
    env_ = std::make_unique<ScopedEnv>("NUBRA_OPENER", script_.c_str());
  }
  const std::filesystem::path& Script() const { return script_; }
  const std::filesystem::path& Record() const { return record_; }
  // The path the opener was given, waiting for it; "" when it was not run.
  std::string Opened() const { return WaitForFile(record_); }

 private:
  std::filesystem::path script_, record_;
  std::unique_ptr<ScopedEnv> env_;
};

}  // namespace nbtest
