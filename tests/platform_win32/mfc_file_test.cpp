// The class library's files: open flags, exceptions thrown as pointers, text-mode reads in
// which CR LF arrives as LF whatever the chunk size, and file finding.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/win32/file.h"
#include "platform/win32/mfc/afx.h"

namespace fs = std::filesystem;

namespace {

std::u16string Folder(const char16_t* name) {
  WCHAR buf[MAX_PATH];
  std::u16string dir = std::u16string(buf, GetTempPathW(MAX_PATH, buf)) + name;
  fs::remove_all(platform::win32::ToNativePath(dir));
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir + u"\\";
}

void WriteNative(const std::u16string& path, const std::string& bytes) {
  std::ofstream(platform::win32::ToNativePath(path), std::ios::binary) << bytes;
}

std::string ReadAll(CFile& f, UINT chunk) {
  std::string out;
  std::vector<char> buf(chunk);
  while (UINT n = f.Read(buf.data(), chunk)) out.append(buf.data(), n);
  return out;
}

TEST(StdioFile, TextModeTurnsCrLfIntoLfAtAnyChunkSize) {
  std::u16string dir = Folder(u"stdio");
  // A CR LF pair straddles the reader's internal 16 KiB buffer boundary, and a lone CR stays.
  std::string raw(16383, 'x');
  raw += "\r\nline\r\n\rend\r";
  std::string expected(16383, 'x');
  expected += "\nline\n\rend\r";
  WriteNative(dir + u"page.html", raw);
  for (UINT chunk : {1u, 7u, 8192u, 20000u}) {
    SCOPED_TRACE(chunk);
    CStdioFile text((dir + u"page.html").c_str(), CFile::modeRead | CFile::typeText);
    EXPECT_EQ(ReadAll(text, chunk), expected);
    CStdioFile binary((dir + u"page.html").c_str(), CFile::modeRead | CFile::typeBinary);
    EXPECT_EQ(ReadAll(binary, chunk), raw);
    EXPECT_EQ(binary.GetLength(), raw.size());
  }
}

TEST(StdioFile, LinesAreAnsiText) {
  std::u16string dir = Folder(u"lines");
  WriteNative(dir + u"list.txt", "\x83\x7d\x83\x43\r\nsecond\nlast");
  CStdioFile f((dir + u"list.txt").c_str(), CFile::modeRead | CFile::typeText);
  std::vector<std::u16string> lines;
  std::u16string line;
  while (f.ReadString(line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"マイ", u"second", u"last"}));
}

TEST(FileClasses, OpenFailureThrowsFileExceptionPointer) {
  std::u16string dir = Folder(u"throws");
  struct Case {
    std::u16string path;
    UINT flags;
    int cause;
  };
  const Case cases[] = {
      {dir + u"missing.html", CFile::modeRead | CFile::typeBinary, CFileException::fileNotFound},
      {dir + u"no\\such\\folder.bin", CFile::modeCreate | CFile::modeWrite,
       CFileException::badPath},
      {dir, CFile::modeRead, CFileException::accessDenied},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::com::Utf16ToUtf8(c.path));
    int cause = -1;
    try {
      CStdioFile f(c.path.c_str(), c.flags);
    } catch (CFileException* e) {
      cause = e->m_cause;
      EXPECT_EQ(e->m_strFileName, c.path);
      WCHAR msg[256];
      EXPECT_TRUE(e->GetErrorMessage(msg, 256));
      e->Delete();
    }
    EXPECT_EQ(cause, c.cause);

    CFile quiet;
    CFileException error;
    EXPECT_FALSE(quiet.Open(c.path.c_str(), c.flags, &error)) << "Open reports, never throws";
    EXPECT_EQ(error.m_cause, c.cause);
  }
}

TEST(FileClasses, CreateReadWriteAndSeekInBinaryMode) {
  std::u16string dir = Folder(u"binary");
  std::u16string name = dir + u"__cash0000000000000042.tmp";
  WriteNative(name, "previous content that is longer");
  CFile cache(name.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary);
  EXPECT_EQ(cache.GetLength(), 0u) << "modeCreate truncates";
  cache.Write("<html>\r\n</html>", 15);
  EXPECT_EQ(cache.GetLength(), 15u);
  EXPECT_EQ(cache.SeekToBegin(), 0u);
  char buf[32] = {};
  EXPECT_EQ(cache.Read(buf, sizeof buf), 15u);
  EXPECT_STREQ(buf, "<html>\r\n</html>");
  EXPECT_EQ(cache.Seek(-7, CFile::end), 8);
  cache.Close();
  EXPECT_EQ(cache.m_hFile, CFile::hFileNull);

  CFile keep(name.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeRead);
  EXPECT_EQ(keep.GetLength(), 15u) << "modeNoTruncate keeps the content";
  bool threw = false;
  try {
    keep.Seek(-100, CFile::begin);
  } catch (CFileException* e) {
    threw = e->m_cause == CFileException::badSeek;
    e->Delete();
  }
  EXPECT_TRUE(threw);
}

TEST(FileFind, WalksMatchesAndReportsTitlesAndLengths) {
  std::u16string dir = Folder(u"designs");
  WriteNative(dir + u"standard.nbk", "12345");
  WriteNative(dir + u"simple.nbk", "");
  WriteNative(dir + u"readme.txt", "x");
  CFileFind finder;
  std::vector<std::u16string> titles;
  std::vector<DWORD> lengths;
  BOOL more = finder.FindFile((dir + u"*.nbk").c_str());
  EXPECT_TRUE(more);
  EXPECT_EQ(finder.GetFileName(), u"") << "nothing to read before FindNextFile";
  while (more) {
    more = finder.FindNextFile();
    titles.push_back(finder.GetFileTitle());
    lengths.push_back(finder.GetLength());
    EXPECT_EQ(finder.GetFilePath(), dir + finder.GetFileName());
    EXPECT_FALSE(finder.IsDirectory());
  }
  EXPECT_EQ(titles, (std::vector<std::u16string>{u"simple", u"standard"}));
  EXPECT_EQ(lengths, (std::vector<DWORD>{0, 5}));

  EXPECT_TRUE(finder.FindFile((dir + u"*").c_str()));
  finder.FindNextFile();
  EXPECT_TRUE(finder.IsDots());
  EXPECT_FALSE(finder.FindFile((dir + u"*.zip").c_str()));
}

}  // namespace
