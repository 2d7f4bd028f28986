// Points every folder the platform reads (data, documents, temp, common, registry) into one
// fresh temporary folder for the whole test program, never the real home.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace nbtest {

class TempHome : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string base = std::filesystem::temp_directory_path().string() + "/nbtest.XXXXXX";
    ASSERT_NE(mkdtemp(base.data()), nullptr);
    root_ = base;
    for (const char* sub : {"data", "docs", "tmp", "common", "registry", "cache"}) {
      std::filesystem::create_directories(root_ / sub);
    }
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", (root_ / "docs").c_str(), 1);
    setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root_ / "cache").c_str(), 1);
    setenv("NUBRA_COMMON_DIR", (root_ / "common").c_str(), 1);
    setenv("NUBRA_REGISTRY_DIR", (root_ / "registry").c_str(), 1);
    unsetenv("NUBRA_ACP");
    unsetenv("NUBRA_OPENER");
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  static std::filesystem::path Root() { return root_; }

 private:
  static inline std::filesystem::path root_;
};

// Registers the environment; include from exactly one source file of a test program.
inline ::testing::Environment* const kTempHome = ::testing::AddGlobalTestEnvironment(new TempHome);

}  // namespace nbtest
