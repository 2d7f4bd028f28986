// Files and folders with Windows paths: both separators, find patterns, results and errors,
// and the C runtime's low-level writes.
#include "platform/win32/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/win32/crt.h"
#include "tests/platform_com/temp_env.h"

namespace fs = std::filesystem;
using platform::com::Utf8ToUtf16;

namespace {

std::u16string TempPath() {
  WCHAR buf[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, buf);
  EXPECT_GT(n, 0u);
  return std::u16string(buf, n);
}

// A fresh folder under the temp path, as a Windows-style path ending in `\`.
std::u16string FreshFolder(const char16_t* name) {
  std::u16string dir = TempPath() + name;
  fs::remove_all(platform::win32::ToNativePath(dir));
  EXPECT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
  return dir + u"\\";
}

void WriteNative(const std::u16string& path, const std::string& bytes) {
  std::ofstream(platform::win32::ToNativePath(path), std::ios::binary) << bytes;
}

std::string ReadNative(const std::u16string& path) {
  std::ifstream in(platform::win32::ToNativePath(path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

fs::path PrivateTemp() {
  return nbtest::TempHome::Root() / "tmp" / ("nubra-" + std::to_string(geteuid()));
}

TEST(TempPath, EndsWithSeparatorAndReportsSizeNeeded) {
  std::u16string temp = TempPath();
  EXPECT_EQ(temp, Utf8ToUtf16(PrivateTemp().string()) + u"/");
  WCHAR small[4];
  EXPECT_EQ(GetTempPathW(4, small), temp.size() + 1) << "size needed, terminator included";
}

// In a shared /tmp anyone may make the user's folder first: only a real folder of the user's
// own is used, and it is kept to the user alone.
TEST(TempPath, IsTheUsersOwnFolderOrNone) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> plant;
    bool used;
  };
  const fs::path elsewhere = nbtest::TempHome::Root() / "elsewhere";
  fs::create_directories(elsewhere);
  std::vector<Case> cases = {
      {"missing: made private", [](const fs::path&) {}, true},
      {"own and wide open: narrowed",
       [](const fs::path& p) {
         fs::create_directory(p);
         fs::permissions(p, fs::perms::all);
       },
       true},
      {"a link to another folder",
       [&](const fs::path& p) { fs::create_directory_symlink(elsewhere, p); }, false},
      {"a plain file", [](const fs::path& p) { std::ofstream(p) << "x"; }, false},
  };
  if (geteuid() == 0) {
    cases.push_back({"someone else's folder",
                     [](const fs::path& p) {
                       fs::create_directory(p);
                       ASSERT_EQ(chown(p.c_str(), 4242, 4242), 0);
                     },
                     false});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(PrivateTemp());
    c.plant(PrivateTemp());
    WCHAR buf[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, buf);
    if (!c.used) {
      EXPECT_EQ(n, 0u);
      EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
      continue;
    }
    ASSERT_GT(n, 0u);
    struct stat st {};
    ASSERT_EQ(lstat(PrivateTemp().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }
  fs::remove_all(PrivateTemp());
  EXPECT_TRUE(fs::is_empty(elsewhere)) << "nothing was made through the link";
}

TEST(Folders, CreateAndRemoveWithBackslashPaths) {
  std::u16string cache = TempPath() + u"ZeveZadezCash";
  fs::remove_all(platform::win32::ToNativePath(cache));
  ASSERT_TRUE(CreateDirectoryW(cache.c_str(), nullptr));
  EXPECT_TRUE(fs::is_directory(platform::win32::ToNativePath(cache)));
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryW(cache.c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  std::u16string deep = cache + u"\\missing\\child";
  EXPECT_FALSE(CreateDirectoryW(deep.c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  // Empty the folder the way the converter does: every "*.tmp" that is not a folder.
  std::u16string dir = cache + u"\\";
  WriteNative(dir + u"__cash0000000000000001.tmp", "page");
  WriteNative(dir + u"__cash[0]index-0001.tmp", "image");
  ASSERT_TRUE(CreateDirectoryW((dir + u"sub.tmp").c_str(), nullptr));
  EXPECT_FALSE(RemoveDirectoryW(dir.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);

  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((dir + u"*.tmp").c_str(), &d);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  int deleted = 0;
  do {
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      EXPECT_FALSE(DeleteFileW((dir + d.cFileName).c_str()))
          << "DeleteFileW never removes a folder";
      EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
      EXPECT_TRUE(RemoveDirectoryW((dir + d.cFileName).c_str()));
    } else {
      EXPECT_TRUE(DeleteFileW((dir + d.cFileName).c_str()));
      ++deleted;
    }
  } while (FindNextFileW(h, &d));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(h));
  EXPECT_EQ(deleted, 2);
  EXPECT_TRUE(RemoveDirectoryW(dir.c_str())) << "a trailing separator is fine";
  EXPECT_EQ(GetFileAttributesW(cache.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(FindFiles, PatternsMatchLikeWindows) {
  std::u16string dir = FreshFolder(u"find");
  WriteNative(dir + u"a.tmp", "1");
  WriteNative(dir + u"B.TMP", "22");
  WriteNative(dir + u"c.txt", "333");
  WriteNative(dir + u"d.tmpx", "4444");
  WriteNative(dir + u"マイブック.nbk", "55555");
  ASSERT_TRUE(CreateDirectoryW((dir + u"sub").c_str(), nullptr));

  struct Case {
    std::u16string pattern;
    std::vector<std::u16string> names;  // in the order found
  };
  const Case cases[] = {
      {u"*.tmp", {u"a.tmp", u"B.TMP"}},
      {u"?.txt", {u"c.txt"}},
      {u"*.nbk", {u"マイブック.nbk"}},
      {u"*", {u".", u"..", u"a.tmp", u"B.TMP", u"c.txt", u"d.tmpx", u"sub", u"マイブック.nbk"}},
      {u"*.*", {u".", u"..", u"a.tmp", u"B.TMP", u"c.txt", u"d.tmpx", u"sub", u"マイブック.nbk"}},
      {u"c.txt", {u"c.txt"}},  // no wildcard: a plain lookup of that name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::com::Utf16ToUtf8(c.pattern));
    std::u16string pattern = dir + c.pattern;
    std::vector<std::u16string> found;
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileW(pattern.c_str(), &d);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do found.push_back(d.cFileName);
    while (FindNextFileW(h, &d));
    FindClose(h);
    EXPECT_EQ(found, c.names);
  }

  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((dir + u"c.txt").c_str(), &d);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(d.nFileSizeLow, 3u) << "the toolbar reads the length from the find data";
  EXPECT_EQ(d.nFileSizeHigh, 0u);
  EXPECT_FALSE(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  FindClose(h);
  h = FindFirstFileW((dir + u"s?b").c_str(), &d);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  FindClose(h);

  struct Miss {
    std::u16string pattern;
    DWORD error;
  };
  const Miss misses[] = {
      {dir + u"*.zip", ERROR_FILE_NOT_FOUND},
      {dir + u"none.nbk", ERROR_FILE_NOT_FOUND},
      {dir + u"nofolder\\*.nbk", ERROR_PATH_NOT_FOUND},
  };
  for (const Miss& m : misses) {
    SCOPED_TRACE(platform::com::Utf16ToUtf8(m.pattern));
    SetLastError(0);
    EXPECT_EQ(FindFirstFileW(m.pattern.c_str(), &d), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), m.error);
  }
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
}

TEST(Files, HandleReadWriteSeekAndSize) {
  std::u16string dir = FreshFolder(u"handles");
  std::u16string name = dir + u"data.bin";
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
  EXPECT_EQ(n, 11u);
  EXPECT_EQ(GetFileSize(h, nullptr), 11u);
  EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
  char buf[16] = {};
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(n, 5u);
  EXPECT_STREQ(buf, "world");
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(n, 0u) << "end of file is success with nothing read";
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h)) << "a closed handle is not closed twice";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  EXPECT_EQ(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS) << "CREATE_ALWAYS over a file says so";
  EXPECT_EQ(GetFileSize(h, nullptr), 0u);
  CloseHandle(h);
  EXPECT_EQ(
      CreateFileW((dir + u"nope.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
      INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(CreateFileW(dir.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE)
      << "a folder does not open as a file";
}

TEST(Files, MoveAndCopyRespectExistingTargets) {
  std::u16string dir = FreshFolder(u"move");
  WriteNative(dir + u"a", "new");
  WriteNative(dir + u"b", "old");
  EXPECT_FALSE(MoveFileExW((dir + u"a").c_str(), (dir + u"b").c_str(), 0));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ReadNative(dir + u"b"), "old");
  EXPECT_FALSE(CopyFileW((dir + u"a").c_str(), (dir + u"b").c_str(), TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_TRUE(CopyFileW((dir + u"a").c_str(), (dir + u"c").c_str(), TRUE));
  EXPECT_EQ(ReadNative(dir + u"c"), "new");
  EXPECT_TRUE(MoveFileExW((dir + u"a").c_str(), (dir + u"b").c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadNative(dir + u"b"), "new");
  EXPECT_EQ(GetFileAttributesW((dir + u"a").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Files, TempFileNamesAreCreatedUnique) {
  std::u16string dir = FreshFolder(u"tempnames");
  WCHAR a[MAX_PATH], b[MAX_PATH];
  UINT na = GetTempFileNameW(dir.c_str(), u"nbkx", 0, a);
  UINT nb = GetTempFileNameW(dir.c_str(), u"nbk", 0, b);
  ASSERT_NE(na, 0u);
  ASSERT_NE(nb, 0u);
  EXPECT_NE(std::u16string(a), std::u16string(b));
  EXPECT_NE(GetFileAttributesW(a), INVALID_FILE_ATTRIBUTES) << "the file is made";
  std::u16string name = a;
  EXPECT_EQ(name.substr(dir.size(), 3), u"nbk") << "at most three characters of the prefix";
  EXPECT_EQ(name.substr(name.size() - 4), u".TMP");
}

TEST(Crt, LowLevelWriteTruncatesAndCommits) {
  std::u16string dir = FreshFolder(u"crt");
  std::u16string name = dir + u"__cash[0]index-0001.tmp";
  WriteNative(name, "a much longer previous content");
  int fd = _wopen(name.c_str(), _O_BINARY | _O_TRUNC | _O_CREAT | _O_WRONLY, _S_IWRITE);
  ASSERT_GE(fd, 0);
  const char data[] = {'G', 'I', 'F', '\0', '\r', '\n', 'x'};
  EXPECT_EQ(_write(fd, data, sizeof data), static_cast<int>(sizeof data));
  EXPECT_EQ(_commit(fd), 0);
  EXPECT_EQ(_close(fd), 0);
  EXPECT_EQ(ReadNative(name), std::string(data, sizeof data)) << "binary, truncated, unchanged";
  EXPECT_EQ(_wopen((dir + u"missing\\x.tmp").c_str(), _O_BINARY | _O_CREAT | _O_WRONLY, _S_IWRITE),
            -1);
}

TEST(Crt, NumbersAtTheStartOfText) {
  struct Case {
    const char16_t* text;
    int value;
  };
  const Case cases[] = {{u"12pt", 12},
                        {u"  -3em", -3},
                        {u"+7", 7},
                        {u"pt", 0},
                        {u"", 0},
                        {u"1.5", 1},
                        {u"\t42", 42},
                        {u"99999999999", INT_MAX},
                        {u"-99999999999", INT_MIN}};
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::com::Utf16ToUtf8(c.text));
    EXPECT_EQ(_wtoi(c.text), c.value);
  }
  EXPECT_EQ(_wtoi(nullptr), 0);
}

}  // namespace
