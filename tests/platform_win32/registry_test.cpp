// The file-backed registry: Windows results, round trips through the text file, persistence
// across processes, concurrent writers, and damaged files left alone.
#include "platform/win32/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "tests/platform_com/temp_env.h"

namespace fs = std::filesystem;

namespace {

constexpr LONG kOk = static_cast<LONG>(ERROR_SUCCESS);
LONG Code(DWORD e) {
  return static_cast<LONG>(e);
}

// Each test gets a registry folder of its own.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    UseFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void UseFolder(const std::string& name) {
    folder_ = nbtest::TempHome::Root() / "registry" / name;
    fs::remove_all(folder_);
    setenv("NUBRA_REGISTRY_DIR", folder_.c_str(), 1);
  }
  // Copies the files to a new folder and reads them from there, so the next calls parse the
  // text afresh instead of using what this process remembers.
  void Reparse() {
    fs::path copy = folder_.string() + ".copy";
    fs::remove_all(copy);
    fs::copy(folder_, copy);
    folder_ = copy;
    setenv("NUBRA_REGISTRY_DIR", folder_.c_str(), 1);
  }
  std::string FileText(const char* root) {
    std::ifstream in(folder_ / (std::string(root) + ".txt"));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path folder_;
};

HKEY Create(HKEY root, const std::u16string& path, DWORD* how = nullptr) {
  HKEY h = nullptr;
  EXPECT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_WRITE | KEY_READ, nullptr, &h, how),
            kOk);
  return h;
}

LONG SetString(HKEY key, const char16_t* name, const std::u16string& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * 2));
}

// The value's data as stored, or the error code as text.
std::u16string GetString(HKEY key, const char16_t* name) {
  DWORD type = 0, size = 0;
  LONG r = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  if (r != kOk) return u"error " + platform::com::Utf8ToUtf16(std::to_string(r));
  std::u16string buf(size / 2, u'#');
  r = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size);
  if (r != kOk) return u"error " + platform::com::Utf8ToUtf16(std::to_string(r));
  if (!buf.empty() && buf.back() == 0) buf.pop_back();
  return buf;
}

TEST_F(Registry, SelfRegistrationRoundTrip) {
  const std::u16string clsid = u"{5C8F5E2A-7B1D-4C3E-9F00-112233445566}";
  DWORD how = 0;
  HKEY k = Create(HKEY_CLASSES_ROOT, u"CLSID\\" + clsid, &how);
  EXPECT_EQ(how, REG_CREATED_NEW_KEY);
  EXPECT_EQ(SetString(k, nullptr, u"Toolbar for Nubra"), kOk);
  RegCloseKey(k);
  k = Create(HKEY_CLASSES_ROOT, u"CLSID\\" + clsid + u"\\InprocServer32", &how);
  EXPECT_EQ(how, REG_CREATED_NEW_KEY);
  EXPECT_EQ(SetString(k, nullptr, u"/opt/nubra/lib/libToolBar4N.so"), kOk);
  EXPECT_EQ(SetString(k, u"ThreadingModel", u"Apartment"), kOk);
  RegCloseKey(k);
  HKEY toolbar = Create(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Internet Explorer\\Toolbar");
  EXPECT_EQ(SetString(toolbar, clsid.c_str(), u""), kOk);
  RegCloseKey(toolbar);

  Reparse();
  HKEY r = nullptr;
  // Names compare without regard to case.
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, (u"clsid\\" + clsid + u"\\inprocserver32").c_str(), 0,
                          KEY_READ, &r),
            kOk);
  EXPECT_EQ(GetString(r, nullptr), u"/opt/nubra/lib/libToolBar4N.so");
  EXPECT_EQ(GetString(r, u""), u"/opt/nubra/lib/libToolBar4N.so") << "\"\" is the default too";
  EXPECT_EQ(GetString(r, u"threadingmodel"), u"Apartment");
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(r, u"ThreadingModel", nullptr, nullptr, nullptr, &size), kOk);
  EXPECT_EQ(size, 20u) << "the stored size includes the terminator";
  char ansi[260];
  DWORD ansiSize = sizeof ansi;
  EXPECT_EQ(
      RegQueryValueExA(r, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(ansi), &ansiSize),
      kOk);
  EXPECT_STREQ(ansi, "/opt/nubra/lib/libToolBar4N.so");
  EXPECT_EQ(ansiSize, 31u);
  BYTE small[4];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(r, u"ThreadingModel", nullptr, nullptr, small, &size),
            Code(ERROR_MORE_DATA));
  EXPECT_EQ(size, 20u) << "the size needed is reported";
  EXPECT_EQ(GetString(r, u"Missing"), u"error 2");
  RegCloseKey(r);

  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Internet Explorer\\Toolbar", 0,
                          KEY_READ, &r),
            kOk);
  size = 99;
  EXPECT_EQ(RegQueryValueExW(r, clsid.c_str(), nullptr, nullptr, nullptr, &size), kOk);
  EXPECT_EQ(size, 2u) << "an empty string is two bytes";
  RegCloseKey(r);

  // Opening an existing key through create says so.
  k = Create(HKEY_CLASSES_ROOT, u"CLSID\\" + clsid, &how);
  EXPECT_EQ(how, REG_OPENED_EXISTING_KEY);
  RegCloseKey(k);
}

TEST_F(Registry, UnregistrationOrderAndResults) {
  const std::u16string clsid = u"{5C8F5E2A-7B1D-4C3E-9F00-112233445566}";
  RegCloseKey(Create(HKEY_CLASSES_ROOT, u"CLSID\\" + clsid + u"\\InprocServer32"));
  HKEY clsidKey = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_ALL_ACCESS, &clsidKey), kOk);
  EXPECT_EQ(RegDeleteKeyW(clsidKey, clsid.c_str()), Code(ERROR_ACCESS_DENIED))
      << "a key with subkeys is not deleted";
  HKEY own = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, (u"CLSID\\" + clsid).c_str(), 0, KEY_ALL_ACCESS, &own),
            kOk);
  EXPECT_EQ(RegDeleteKeyW(own, u"InprocServer32"), kOk);
  RegCloseKey(own);
  EXPECT_EQ(RegDeleteKeyW(clsidKey, clsid.c_str()), kOk);
  EXPECT_EQ(RegDeleteKeyW(clsidKey, clsid.c_str()), Code(ERROR_FILE_NOT_FOUND));
  RegCloseKey(clsidKey);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT,
                          u"Component Categories\\{00021492-0000-0000-C000-000000000046}\\Enum"),
            Code(ERROR_FILE_NOT_FOUND));
  HKEY gone = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, (u"CLSID\\" + clsid).c_str(), 0, KEY_READ, &gone),
            Code(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(gone, nullptr);

  HKEY approved = Create(HKEY_LOCAL_MACHINE, u"Software\\Approved");
  EXPECT_EQ(SetString(approved, clsid.c_str(), u"Toolbar for Nubra"), kOk);
  EXPECT_EQ(RegDeleteValueW(approved, clsid.c_str()), kOk);
  EXPECT_EQ(RegDeleteValueW(approved, clsid.c_str()), Code(ERROR_FILE_NOT_FOUND));
  RegCloseKey(approved);
}

TEST_F(Registry, HandlesAndAccessRights) {
  RegCloseKey(Create(HKEY_CURRENT_USER, u"Software\\Vantor"));
  HKEY readOnly = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Vantor", 0, KEY_READ, &readOnly), kOk);
  EXPECT_EQ(SetString(readOnly, u"x", u"y"), Code(ERROR_ACCESS_DENIED));
  HKEY child = nullptr;
  EXPECT_EQ(RegCreateKeyExW(readOnly, u"Child", 0, nullptr, 0, KEY_WRITE, nullptr, &child, nullptr),
            Code(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegCloseKey(readOnly), kOk);
  EXPECT_EQ(RegCloseKey(readOnly), Code(ERROR_INVALID_HANDLE));
  EXPECT_EQ(SetString(readOnly, u"x", u"y"), Code(ERROR_INVALID_HANDLE))
      << "a closed handle is refused";
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"\\Leading", 0, nullptr, 0, KEY_WRITE, nullptr,
                            &child, nullptr),
            Code(ERROR_BAD_PATHNAME));
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u""), Code(ERROR_ACCESS_DENIED)) << "roots stay";
}

TEST_F(Registry, SubkeysEnumerateInNameOrderWithTheirOwnCase) {
  HKEY base = Create(HKEY_CURRENT_USER, u"Enum");
  for (const char16_t* name : {u"beta", u"Alpha", u"gamma", u"Beta!"}) {
    RegCloseKey(Create(base, name));
  }
  RegCloseKey(Create(base, u"ALPHA\\Deeper"));  // a grandchild is not listed
  std::vector<std::u16string> names;
  for (DWORD i = 0;; ++i) {
    WCHAR name[64];
    DWORD size = 64;
    LONG r = RegEnumKeyExW(base, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (r == Code(ERROR_NO_MORE_ITEMS)) break;
    ASSERT_EQ(r, kOk);
    EXPECT_EQ(size, std::u16string(name).size());
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Alpha", u"beta", u"Beta!", u"gamma"}));
  WCHAR tiny[2];
  DWORD size = 2;
  EXPECT_EQ(RegEnumKeyExW(base, 0, tiny, &size, nullptr, nullptr, nullptr, nullptr),
            Code(ERROR_MORE_DATA));
  EXPECT_EQ(RegDeleteKeyW(base, u"Beta!"), kOk) << "a sibling that sorts between does not count";
  EXPECT_EQ(RegDeleteKeyW(base, u"alpha"), Code(ERROR_ACCESS_DENIED));
  RegCloseKey(base);
}

TEST_F(Registry, AwkwardDataSurvivesTheTextFile) {
  HKEY k = Create(HKEY_CURRENT_USER, u"Odd [keys] %41 \"q\"\\Child");
  const std::u16string texts[] = {u"quote \" backslash \\ end", u"line\nfeed\r\ttab",
                                  u"日本語のテキスト", u"", std::u16string(u"\xD800 lone", 6)};
  for (size_t i = 0; i < std::size(texts); ++i) {
    std::u16string name = u"v" + platform::com::Utf8ToUtf16(std::to_string(i));
    EXPECT_EQ(SetString(k, name.c_str(), texts[i]), kOk);
  }
  const BYTE binary[] = {0, 1, 0xFF, 0x7F, 0};
  EXPECT_EQ(RegSetValueExW(k, u"bin", 0, REG_BINARY, binary, sizeof binary), kOk);
  DWORD dword = 0x12345678;
  EXPECT_EQ(RegSetValueExW(k, u"num", 0, REG_DWORD, reinterpret_cast<BYTE*>(&dword), 4), kOk);
  const char16_t unterminated[] = {u'a', u'b'};
  EXPECT_EQ(RegSetValueExW(k, u"raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(unterminated), 4),
            kOk);
  RegCloseKey(k);

  Reparse();
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Odd [keys] %41 \"q\"\\Child", 0, KEY_READ, &k), kOk);
  for (size_t i = 0; i < std::size(texts); ++i) {
    SCOPED_TRACE(i);
    std::u16string name = u"v" + platform::com::Utf8ToUtf16(std::to_string(i));
    EXPECT_EQ(GetString(k, name.c_str()), texts[i]);
  }
  BYTE got[8];
  DWORD type = 0, size = sizeof got;
  ASSERT_EQ(RegQueryValueExW(k, u"bin", nullptr, &type, got, &size), kOk);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(std::vector<BYTE>(got, got + size), std::vector<BYTE>(binary, binary + sizeof binary));
  size = sizeof got;
  ASSERT_EQ(RegQueryValueExW(k, u"num", nullptr, &type, got, &size), kOk);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(size, 4u);
  size = sizeof got;
  ASSERT_EQ(RegQueryValueExW(k, u"raw", nullptr, &type, got, &size), kOk);
  EXPECT_EQ(size, 4u) << "data is kept exactly as given, terminator or not";
  RegCloseKey(k);
}

TEST_F(Registry, ChangesPersistAcrossProcesses) {
  HKEY k = Create(HKEY_CURRENT_USER, u"Shared");
  EXPECT_EQ(SetString(k, u"parent", u"1"), kOk);
  // This process has read the file; another one changes it; the change is seen here.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    HKEY c = nullptr;
    bool ok = RegOpenKeyExW(HKEY_CURRENT_USER, u"Shared", 0, KEY_ALL_ACCESS, &c) == kOk &&
              GetString(c, u"parent") == u"1" && SetString(c, u"child", u"2") == kOk;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(GetString(k, u"child"), u"2");
  EXPECT_EQ(GetString(k, u"parent"), u"1");
  RegCloseKey(k);
}

TEST_F(Registry, ConcurrentWritersLoseNothing) {
  RegCloseKey(Create(HKEY_CURRENT_USER, u"Busy"));
  constexpr int kWriters = 4;
  constexpr int kValues = 40;
  std::vector<pid_t> pids;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < kValues; ++i) {
        HKEY c = nullptr;
        ok = ok && RegOpenKeyExW(HKEY_CURRENT_USER, u"Busy", 0, KEY_ALL_ACCESS, &c) == kOk;
        std::u16string name =
            platform::com::Utf8ToUtf16("w" + std::to_string(w) + "_" + std::to_string(i));
        ok = ok && SetString(c, name.c_str(), name) == kOk;
        RegCloseKey(c);
      }
      _exit(ok ? 0 : 1);
    }
    pids.push_back(pid);
  }
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Busy", 0, KEY_READ, &k), kOk);
  int found = 0;
  for (DWORD i = 0;; ++i) {
    WCHAR name[32];
    DWORD size = 32;
    if (RegEnumValueW(k, i, name, &size, nullptr, nullptr, nullptr, nullptr) != kOk) break;
    ++found;
  }
  EXPECT_EQ(found, kWriters * kValues);
  RegCloseKey(k);
  for (const auto& entry : fs::directory_iterator(folder_)) {
    EXPECT_EQ(entry.path().extension() == ".new", false)
        << "no half-written file is left: " << entry.path();
  }
}

TEST_F(Registry, DamagedFileIsReportedAndKept) {
  fs::create_directories(folder_);
  const std::string damaged = "Nubra registry 1\n[Software]\nthis is not a value\n";
  std::ofstream(folder_ / "HKEY_CURRENT_USER.txt") << damaged;
  HKEY k = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, KEY_READ, &k),
            Code(ERROR_REGISTRY_CORRUPT));
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\New", 0, nullptr, 0, KEY_WRITE, nullptr,
                            &k, nullptr),
            Code(ERROR_REGISTRY_CORRUPT));
  EXPECT_EQ(FileText("HKEY_CURRENT_USER"), damaged) << "never silently replaced";
  // The other roots are unaffected.
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, u"Software\\Fine"));
  EXPECT_NE(FileText("HKEY_LOCAL_MACHINE").find("[Software\\Fine]"), std::string::npos);
}

}  // namespace
