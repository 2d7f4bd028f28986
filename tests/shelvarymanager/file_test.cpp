// The list's file: its XML form, saving that never leaves a part of a file, and two processes
// changing the list at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <csignal>
#include <set>

#include "shelvarymanager/book_list_file.h"
#include "test_env.h"

namespace shelvary_test {
namespace {

using shelvary::BookList;
using shelvary::ParseStatus;

CShelvaryInfo Book(std::u16string title, std::u16string other = u"x") {
  return CShelvaryInfo(std::move(title), other, other, other, other, other, other);
}

TEST(BookListXml, RoundTripKeepsEveryCharacter) {
  const std::u16string texts[] = {
      u"",
      u"マイブック",
      u"quote \" apostrophe ' less < greater > amp &amp; &",
      u"line\nbreak\r\ntab\tend",
      u"control \x01\x1f chars",
      u"  leading and trailing spaces  ",
      u"outside the BMP: \U0001F4DA",
      u"C:\\Documents and Settings\\user\\book.nbk",
      u"]]> <!-- not a comment --> <?pi?>",
  };
  for (const std::u16string& text : texts) {
    SCOPED_TRACE(U8(text));
    BookList books{CShelvaryInfo(text, text, text, text, text, text, text), Book(u"next")};
    auto parsed = shelvary::ParseBookList(shelvary::SerializeBookList(books));
    ASSERT_EQ(parsed.status, ParseStatus::kOk) << parsed.error;
    EXPECT_EQ(parsed.books, books);
  }
}

TEST(BookListXml, ReadsWhatItCanAndRejectsWhatIsNotAList) {
  struct Case {
    const char* name;
    std::string bytes;
    ParseStatus status;
    std::vector<std::string> titles;
  };
  const Case cases[] = {
      {"nothing", "", ParseStatus::kEmpty, {}},
      {"white space", " \r\n\t", ParseStatus::kEmpty, {}},
      {"no books", "<ShelvaryList version=\"1\"/>", ParseStatus::kOk, {}},
      {"missing fields read as empty",
       "<ShelvaryList><Book/><Book title=\"t\"/></ShelvaryList>",
       ParseStatus::kOk,
       {"", "t"}},
      {"unknown elements and attributes are ignored",
       "<ShelvaryList version=\"7\" x=\"1\"><Note/><Book title=\"a\" colour=\"red\"><Extra/>"
       "</Book><!-- c --><Book title=\"b\"/></ShelvaryList>",
       ParseStatus::kOk,
       {"a", "b"}},
      {"byte order mark",
       "\xEF\xBB\xBF<ShelvaryList><Book title=\"bom\"/></ShelvaryList>",
       ParseStatus::kOk,
       {"bom"}},
      {"character references",
       "<ShelvaryList><Book title=\"&#x30DE;&amp;\"/></ShelvaryList>",
       ParseStatus::kOk,
       {"マ&"}},
      {"truncated", "<ShelvaryList><Book title=\"a\"", ParseStatus::kDamaged, {}},
      {"unclosed root", "<ShelvaryList><Book title=\"a\"/>", ParseStatus::kDamaged, {}},
      {"not XML", "title=a\ntitle=b\n", ParseStatus::kDamaged, {}},
      {"another document", "<html><body/></html>", ParseStatus::kDamaged, {}},
      {"binary", std::string("\0\x01\xff\xfe<", 5), ParseStatus::kDamaged, {}},
      {"an unknown entity is kept as text",
       "<ShelvaryList><Book title=\"&bogus\"/></ShelvaryList>",
       ParseStatus::kOk,
       {"&bogus"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto parsed = shelvary::ParseBookList(c.bytes);
    EXPECT_EQ(parsed.status, c.status) << parsed.error;
    if (c.status == ParseStatus::kDamaged) {
      EXPECT_FALSE(parsed.error.empty());
    }
    std::vector<std::string> titles;
    for (const auto& b : parsed.books) titles.push_back(U8(b.m_strTitle));
    EXPECT_EQ(titles, c.titles);
  }
}

// File calls that fail at one chosen step of a save.
class FailingOps : public shelvary::FileOps {
  using FileOps = shelvary::FileOps;

 public:
  enum Step { kNone, kOpen, kFirstWrite, kSecondWrite, kFsync, kClose, kRename };
  explicit FailingOps(Step step) : m_step(step) {}
  int Open(const char* path, int flags, mode_t mode) override {
    if (m_step == kOpen) return Fail(EACCES);
    return FileOps::Open(path, flags, mode);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    ++m_writes;
    if (m_step == kFirstWrite) return Fail(ENOSPC);
    // A short write first, so the save is caught with part of the list written.
    if (m_step == kSecondWrite) {
      if (m_writes == 1) return FileOps::Write(fd, data, size / 2);
      return Fail(ENOSPC);
    }
    return FileOps::Write(fd, data, size);
  }
  int Fsync(int fd) override { return m_step == kFsync ? Fail(EIO) : FileOps::Fsync(fd); }
  int Close(int fd) override {
    int r = FileOps::Close(fd);
    return m_step == kClose ? Fail(EIO) : r;
  }
  int Rename(const char* from, const char* to) override {
    return m_step == kRename ? Fail(EXDEV) : FileOps::Rename(from, to);
  }

 private:
  static int Fail(int error) {
    errno = error;
    return -1;
  }
  Step m_step;
  int m_writes = 0;
};

TEST_F(ShelvaryTest, FailedSaveLeavesTheOldFileWhole) {
  fs::create_directories(listFolder);
  const BookList old{Book(u"old one"), Book(u"old two")};
  ASSERT_TRUE(shelvary::SaveBookListFile(listPath.string(), old));
  const std::string before = ReadBytes(listPath);
  BookList bigger = old;
  for (int i = 0; i < 2000; ++i) bigger.push_back(Book(u"new " + U16(std::to_string(i))));

  const std::pair<const char*, FailingOps::Step> steps[] = {
      {"open", FailingOps::kOpen},
      {"first write", FailingOps::kFirstWrite},
      {"second write", FailingOps::kSecondWrite},
      {"fsync", FailingOps::kFsync},
      {"close", FailingOps::kClose},
      {"rename", FailingOps::kRename},
  };
  for (const auto& [name, step] : steps) {
    SCOPED_TRACE(name);
    FailingOps ops(step);
    errno = 0;
    EXPECT_FALSE(shelvary::SaveBookListFile(listPath.string(), bigger, ops));
    EXPECT_NE(errno, 0);
    EXPECT_EQ(ReadBytes(listPath), before);
    // Nothing is left beside the list.
    EXPECT_EQ(FilesStartingWith(listFolder, "ToolBar4NEval.xml"),
              (std::vector<std::string>{"ToolBar4NEval.xml"}));
  }
  FailingOps none(FailingOps::kNone);
  EXPECT_TRUE(shelvary::SaveBookListFile(listPath.string(), bigger, none));
  EXPECT_EQ(shelvary::LoadBookListFile(listPath.string()).books, bigger);
}

// A real failure in the middle of writing: the process may not write a file past 8 KiB.
TEST_F(ShelvaryTest, FileSizeLimitMidSaveLeavesTheOldList) {
  {
    CShelvaryManager m;
    Start(m);
    Add(m, "kept");
  }
  const std::string before = ReadBytes(listPath);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{8192, 8192};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    CShelvaryManager m;
    Start(m);
    std::u16string huge(20000, u'あ');
    int result = m.AddNewInfo(huge.c_str(), u"", u"", u"", u"", u"", u"");
    // The band still shows the book it could not save.
    bool shown = m.GetCurrentIndex() == 2 && m.GetCurrentInfo()->m_strTitle == huge;
    ::_exit(result == SHELVARY_E_IO && shown ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadBytes(listPath), before);
  EXPECT_EQ(FilesStartingWith(listFolder, "ToolBar4NEval.xml.tmp").size(), 0u);
}

// Several browser windows in several processes add and delete books at the same time.
TEST_F(ShelvaryTest, ConcurrentProcessesLoseNothing) {
  constexpr int kProcesses = 4;
  constexpr int kBooks = 20;
  {
    CShelvaryManager m;
    Start(m);
  }
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      CShelvaryManager m;
      Start(m);
      int failures = 0;
      for (int k = 0; k < kBooks; ++k) {
        std::string title = "p" + std::to_string(p) + "-" + std::to_string(k);
        Add(m, title);
        if (U8(m.GetCurrentInfo()->GetTitle()) != title) ++failures;
        // Every odd book is deleted again, by the row this band shows it at.
        if (k % 2 == 1 && m.DeleteInfo(m.GetCurrentIndex()) != SHELVARY_OK) ++failures;
      }
      ::_exit(failures == 0 ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  CShelvaryManager m;
  Start(m);
  std::vector<std::string> titles = Titles(m);
  ASSERT_FALSE(titles.empty());
  EXPECT_EQ(titles[0], "マイブック");
  std::multiset<std::string> got(titles.begin() + 1, titles.end());
  std::multiset<std::string> want;
  for (int p = 0; p < kProcesses; ++p) {
    for (int k = 0; k < kBooks; k += 2)
      want.insert("p" + std::to_string(p) + "-" + std::to_string(k));
  }
  EXPECT_EQ(got, want);
  // Each process's books keep the order it added them in.
  for (int p = 0; p < kProcesses; ++p) {
    int last = -1;
    for (const std::string& t : titles) {
      std::string prefix = "p" + std::to_string(p) + "-";
      if (!t.starts_with(prefix)) continue;
      int k = std::stoi(t.substr(prefix.size()));
      EXPECT_GT(k, last) << t;
      last = k;
    }
  }
  EXPECT_EQ(FilesStartingWith(listFolder, "ToolBar4NEval.xml.tmp").size(), 0u);
}

}  // namespace
}  // namespace shelvary_test
