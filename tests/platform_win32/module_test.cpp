// Modules: the module entry on load and unload, exports of the module itself, and where a bare
// library name is looked for.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/com/com.h"
#include "platform/win32/kernel.h"
#include "tests/platform_com/temp_env.h"
#include "tests/support/opener.h"

namespace fs = std::filesystem;
using nbtest::ScopedEnv;

namespace {

// The module entry's log, one "attach <module>" or "detach <module>" per line.
class EntryLog {
 public:
  EntryLog()
      : path_(nbtest::TempHome::Root() / "entry.log"), env_("NB_TEST_ENTRY_LOG", path_.c_str()) {
    fs::remove(path_);
  }
  std::vector<std::string> Lines() const {
    std::ifstream in(path_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  static std::string Line(const char* what, HMODULE module) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %p", what, static_cast<void*>(module));
    return buf;
  }

 private:
  fs::path path_;
  ScopedEnv env_;
};

bool Mapped(const char* path) {
  return GetModuleHandleW(platform::com::Utf8ToUtf16(path).c_str()) != nullptr;
}

TEST(ModuleEntry, AttachOnTheFirstLoadDetachOnTheLastFree) {
  EntryLog log;
  HMODULE a = LoadLibraryA(NB_TEST_ENTRY_LIB);
  ASSERT_NE(a, nullptr);
  HMODULE b = LoadLibraryA(NB_TEST_ENTRY_LIB);
  EXPECT_EQ(a, b);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{EntryLog::Line("attach", a)}))
      << "the entry sees the handle LoadLibrary returns, once";
  EXPECT_TRUE(FreeLibrary(a));
  EXPECT_EQ(log.Lines().size(), 1u) << "still referenced";
  EXPECT_TRUE(FreeLibrary(a));
  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{EntryLog::Line("attach", a), EntryLog::Line("detach", a)}));
  EXPECT_FALSE(FreeLibrary(a)) << "no reference is left";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(ModuleEntry, ARefusedAttachFailsTheLoad) {
  EntryLog log;
  ScopedEnv fail("NB_TEST_ENTRY_FAIL", "1");
  EXPECT_EQ(LoadLibraryA(NB_TEST_ENTRY_LIB), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_DLL_INIT_FAILED);
  ASSERT_EQ(log.Lines().size(), 2u);
  EXPECT_EQ(log.Lines()[0].rfind("attach", 0), 0u);
  EXPECT_EQ(log.Lines()[1].rfind("detach", 0), 0u) << "detached before it is unmapped";
  EXPECT_FALSE(Mapped(NB_TEST_ENTRY_LIB));
  EXPECT_NE(platform::win32::LastLoadError().find("refused"), std::string::npos);
}

TEST(ModuleEntry, OnlyTheLibraryNamedIsEntered) {
  EntryLog log;
  HMODULE user = LoadLibraryA(NB_TEST_ENTRY_USER_LIB);
  ASSERT_NE(user, nullptr);
  EXPECT_TRUE(log.Lines().empty()) << "the entry of a linked library is not the module's own";
  EXPECT_EQ(GetProcAddress(user, "DllMain"), nullptr) << "nor is its export";
  auto fn = reinterpret_cast<int (*)()>(GetProcAddress(user, "NbTestEntryUser"));
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(fn(), 8);
  EXPECT_TRUE(FreeLibrary(user));
}

// A bare name is the platform's own library, or whatever the dynamic linker finds; a library of
// that name in the current folder is never taken.
TEST(Modules, BareNamesComeFromThePlatformFolderNeverTheCurrentOne) {
  fs::path here = nbtest::TempHome::Root() / "current";
  fs::create_directories(here);
  fs::copy_file(NB_TEST_ORDINAL_LIB, here / "hhctrl.ocx", fs::copy_options::overwrite_existing);
  fs::copy_file(NB_TEST_ORDINAL_LIB, here / "libnbhereonly.so",
                fs::copy_options::overwrite_existing);
  fs::path before = fs::current_path();
  fs::current_path(here);

  HMODULE hh = LoadLibraryW(u"hhctrl.ocx");
  HMODULE hereOnly = LoadLibraryW(u"libnbhereonly.so");
  DWORD hereError = GetLastError();
  fs::current_path(before);

  ASSERT_NE(hh, nullptr);
  WCHAR path[MAX_PATH];
  DWORD n = GetModuleFileNameW(hh, path, MAX_PATH);
  fs::path loaded = platform::com::Utf16ToUtf8(std::u16string(path, n));
  WCHAR platformPath[MAX_PATH];
  DWORD m = GetModuleFileNameW(
      platform::win32::ModuleFromAddress(reinterpret_cast<const void*>(&LoadLibraryW)),
      platformPath, MAX_PATH);
  fs::path platformLib = platform::com::Utf16ToUtf8(std::u16string(platformPath, m));
  EXPECT_EQ(loaded, platformLib.parent_path() / "hhctrl.ocx");
  EXPECT_NE(GetProcAddress(hh, "HtmlHelpW"), nullptr);
  EXPECT_EQ(GetModuleHandleW(u"hhctrl.ocx"), hh);
  EXPECT_TRUE(FreeLibrary(hh));

  EXPECT_EQ(hereOnly, nullptr);
  EXPECT_EQ(hereError, ERROR_MOD_NOT_FOUND);
}

}  // namespace
