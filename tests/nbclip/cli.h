// Running nbclip from tests: a command's status and output, quoting for the shell, a private
// home whose folders the environment points at, and golden files with a rebaseline switch
// (NB_REBASELINE=1 writes the current output over the golden file).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/shell.h"

namespace nbclip_test {

namespace fs = std::filesystem;

using Result = nbtest::ShellResult;
using nbtest::Quote;
using nbtest::Shell;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void ExpectGolden(const fs::path& golden, const std::string& text) {
  if (std::getenv("NB_REBASELINE")) {
    std::ofstream(golden, std::ios::binary) << text;
    return;
  }
  ASSERT_TRUE(fs::exists(golden)) << "no golden file " << golden << " (NB_REBASELINE=1 writes it)";
  EXPECT_EQ(text, ReadFile(golden)) << "output differs from " << golden;
}

// Each test gets a home of its own: HOME, the XDG folders, the temp folder and the registry
// point into it; the designs come from the build.
class CliTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nbclip-test-XXXXXX";
    home_ = mkdtemp(pattern);
    for (const char* sub : {"tmp", "data", "docs", "registry", "config", "cache"}) {
      fs::create_directory(home_ / sub);
    }
    setenv("HOME", home_.c_str(), 1);
    setenv("TMPDIR", (home_ / "tmp").c_str(), 1);
    setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home_ / "cache").c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", (home_ / "docs").c_str(), 1);
    setenv("NUBRA_REGISTRY_DIR", (home_ / "registry").c_str(), 1);
    setenv("NUBRA_COMMON_DIR", NB_SHARE_DIR, 1);
  }
  void TearDown() override { fs::remove_all(home_); }
  // Where the conversions keep their cache folders; gone when none runs.
  fs::path CacheRoot() const {
    return home_ / "tmp" / ("nubra-" + std::to_string(geteuid())) / "ZeveZadezCash";
  }

  fs::path home_;
};

}  // namespace nbclip_test
