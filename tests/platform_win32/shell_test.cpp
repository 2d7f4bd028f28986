// Shell folders from the environment, ShellExecuteW through the opener, module paths and
// the version query.
#include "platform/win32/shell.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/com/com.h"
#include "platform/win32/file.h"
#include "platform/win32/kernel.h"
#include "tests/platform_com/temp_env.h"
#include "tests/support/opener.h"

namespace fs = std::filesystem;
using nbtest::ScopedEnv;
using platform::com::Utf16ToUtf8;

namespace {

std::string Folder(int csidl, HRESULT* hr = nullptr) {
  WCHAR buf[MAX_PATH];
  std::fill(std::begin(buf), std::end(buf), u'#');
  HRESULT r = SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf);
  if (hr) *hr = r;
  return SUCCEEDED(r) ? Utf16ToUtf8(buf) : std::string();
}

TEST(ShellFolders, ComeFromTheEnvironmentWithoutTrailingSeparator) {
  const fs::path root = nbtest::TempHome::Root();
  struct Case {
    int csidl;
    const char* env;
    fs::path expected;
  };
  const Case cases[] = {
      {CSIDL_APPDATA, "XDG_DATA_HOME", root / "data"},
      {CSIDL_PERSONAL, "XDG_DOCUMENTS_DIR", root / "docs"},
      {CSIDL_PROGRAM_FILES_COMMON, "NUBRA_COMMON_DIR", root / "common"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.env);
    EXPECT_EQ(Folder(c.csidl), c.expected.string());
    ScopedEnv slash(c.env, (c.expected.string() + "/").c_str());
    EXPECT_EQ(Folder(c.csidl), c.expected.string()) << "a trailing separator is dropped";
  }
  HRESULT hr = S_OK;
  Folder(0x0024, &hr);  // CSIDL_WINDOWS: not a folder of this system
  EXPECT_EQ(hr, E_INVALIDARG);
}

TEST(ShellFolders, CreateFlagMakesMissingFolders) {
  fs::path docs = nbtest::TempHome::Root() / "fresh" / "Documents";
  ScopedEnv env("XDG_DOCUMENTS_DIR", docs.c_str());
  HRESULT hr = S_OK;
  Folder(CSIDL_PERSONAL, &hr);
  EXPECT_EQ(hr, E_FAIL) << "missing, and not asked to create";
  EXPECT_FALSE(fs::exists(docs));
  EXPECT_EQ(Folder(CSIDL_PERSONAL | CSIDL_FLAG_CREATE, &hr), docs.string());
  EXPECT_EQ(hr, S_OK);
  EXPECT_TRUE(fs::is_directory(docs));

  WCHAR buf[MAX_PATH];
  EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, buf, CSIDL_APPDATA, FALSE));
  EXPECT_EQ(Utf16ToUtf8(buf), (nbtest::TempHome::Root() / "data").string());
}

TEST(ShellFolders, CommonFolderDefaultsToShareBesideTheLibrary) {
  ScopedEnv env("NUBRA_COMMON_DIR", nullptr);
  Dl_info info{};
  ASSERT_TRUE(dladdr(reinterpret_cast<void*>(&SHGetFolderPathW), &info));
  fs::path expected = fs::path(info.dli_fname).parent_path() / ".." / "share";
  HRESULT hr = S_OK;
  std::string got = Folder(CSIDL_PROGRAM_FILES_COMMON, &hr);
  if (fs::is_directory(expected)) {
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(fs::path(got), fs::canonical(expected));
  } else {
    EXPECT_EQ(hr, E_FAIL);
  }
}

TEST(ShellExecute, OpensTheFileWithTheConfiguredOpener) {
  fs::path dir = nbtest::TempHome::Root() / "opener";
  fs::create_directories(dir);
  fs::path book = dir / "マイブック.nbk";
  std::ofstream(book) << "NBK";
  std::u16string windowsName = platform::com::Utf8ToUtf16(dir.string()) + u"\\マイブック.nbk";

  nbtest::RecordingOpener opener(dir);
  HINSTANCE r = ShellExecuteW(nullptr, u"open", windowsName.c_str(), nullptr, nullptr, SW_SHOW);
  EXPECT_GT(reinterpret_cast<INT_PTR>(r), 32);
  EXPECT_EQ(opener.Opened(), book.string()) << "the opener gets the POSIX path";

  struct Failure {
    const char* what;
    const char16_t* verb;
    std::u16string file;
    INT_PTR code;
  };
  const Failure failures[] = {
      {"missing file", u"open", windowsName + u".gone", SE_ERR_FNF},
      {"unknown verb", u"print", windowsName, SE_ERR_NOASSOC},
  };
  for (const Failure& f : failures) {
    SCOPED_TRACE(f.what);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(
                  ShellExecuteW(nullptr, f.verb, f.file.c_str(), nullptr, nullptr, SW_SHOW)),
              f.code);
  }
  ScopedEnv missing("NUBRA_OPENER", (dir / "no-such-opener").c_str());
  EXPECT_LE(reinterpret_cast<INT_PTR>(
                ShellExecuteW(nullptr, u"open", windowsName.c_str(), nullptr, nullptr, SW_SHOW)),
            32);
  ScopedEnv none("NUBRA_OPENER", nullptr);
  ScopedEnv path("PATH", dir.c_str());  // no xdg-open to fall back on
  EXPECT_EQ(reinterpret_cast<INT_PTR>(
                ShellExecuteW(nullptr, u"open", windowsName.c_str(), nullptr, nullptr, SW_SHOW)),
            SE_ERR_NOASSOC);
}

TEST(Modules, FileNamesHandlesAndExports) {
  HMODULE platform = platform::win32::ModuleFromAddress(reinterpret_cast<void*>(&SHGetFolderPathW));
  ASSERT_NE(platform, nullptr);
  WCHAR buf[MAX_PATH];
  DWORD n = GetModuleFileNameW(platform, buf, MAX_PATH);
  ASSERT_GT(n, 0u);
  std::string path = Utf16ToUtf8(std::u16string(buf, n));
  EXPECT_EQ(fs::path(path).filename(), "libPlatform.so");
  EXPECT_TRUE(fs::path(path).is_absolute());

  WCHAR small[8];
  EXPECT_EQ(GetModuleFileNameW(platform, small, 8), 8u) << "truncated to the buffer";
  EXPECT_EQ(small[7], 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

  n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(buf, n)), fs::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(GetModuleHandleW(nullptr),
            platform::win32::ModuleFromAddress(reinterpret_cast<void*>(&Folder)));

  HMODULE lib = LoadLibraryA(NB_TEST_ORDINAL_LIB);
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(lib, LoadLibraryW(platform::com::Utf8ToUtf16(NB_TEST_ORDINAL_LIB).c_str()))
      << "one module, one handle";
  auto byOrdinal = reinterpret_cast<int (*)()>(GetProcAddress(lib, MAKEINTRESOURCEA(15)));
  ASSERT_NE(byOrdinal, nullptr);
  EXPECT_EQ(byOrdinal(), 15);
  EXPECT_EQ(GetProcAddress(lib, "NoSuchExport"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(FreeLibrary(lib));
  EXPECT_TRUE(FreeLibrary(lib));
  EXPECT_EQ(LoadLibraryW(u"/nonexistent/hhctrl.ocx"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(Kernel, VersionAndLocalTime) {
  OSVERSIONINFOW info{};
  EXPECT_FALSE(GetVersionExW(&info)) << "the size field must be set";
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExW(&info));
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);

  SYSTEMTIME t{};
  GetLocalTime(&t);
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  EXPECT_EQ(t.wYear, tm.tm_year + 1900);
  EXPECT_EQ(t.wMonth, tm.tm_mon + 1) << "months count from 1";
  EXPECT_GE(t.wDay, 1);
}

}  // namespace
