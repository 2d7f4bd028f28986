// Writing never damages a book: crashes, full drives, damaged files, abandoned books, and two
// writers at once. Damaged and truncated files are recognised, never misread.
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "nbkcreator/reader.h"
#include "nbkcreator/testing.h"
#include "tests/nbkcreator/support.h"

namespace nbktest {
namespace {

class SafetyTest : public ScratchTest {
 protected:
  void TearDown() override {
    nbk::testing::SetWriteHook({});
    nbk::testing::SetFreeSpaceProbe({});
    nbk::testing::SetLockTimeout(std::chrono::milliseconds(120000));
    ScratchTest::TearDown();
  }
  // Runs body in a child process and returns its exit status (or -1 when it did not exit).
  template <typename Fn>
  int InChild(Fn body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(SafetyTest, CrashWhileWritingLeavesTheOldBookReadable) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  const auto before = ReadFile(Path("book.nbk"));
  for (std::uint64_t stopAfter : {std::uint64_t{1}, before.size() / 2, before.size()}) {
    SCOPED_TRACE(stopAfter);
    int status = InChild([&] {
      nbk::testing::SetWriteHook([stopAfter](std::uint64_t written) {
        if (written >= stopAfter) _exit(42);  // the process dies mid-write
        return true;
      });
      AppendPage(Path("book.nbk"), u"never written");
      return 0;
    });
    EXPECT_EQ(status, 42);
    EXPECT_EQ(ReadFile(Path("book.nbk")), before);
  }
  // The next writer takes over: the leftover new file is replaced and the page goes in.
  ASSERT_EQ(AppendPage(Path("book.nbk"), u"after the crash"), 0);
  EXPECT_NE(Dump(Path("book.nbk")).find("pages 4\n"), std::string::npos);
  for (const std::string& name : ListDir(m_dir)) {
    EXPECT_EQ(name.find(".new"), std::string::npos) << name;
    EXPECT_EQ(name.find(".lock"), std::string::npos) << name;
  }
}

TEST_F(SafetyTest, FailedWriteReportsDiskFullAndKeepsTheOldBook) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  const auto before = ReadFile(Path("book.nbk"));
  const auto files = ListDir(m_dir);
  nbk::testing::SetWriteHook([](std::uint64_t written) { return written < 500; });
  EXPECT_EQ(AppendPage(Path("book.nbk"), u"no room"), NBK_ERR_DISK_FULL);
  EXPECT_EQ(ReadFile(Path("book.nbk")), before);
  EXPECT_EQ(ListDir(m_dir), files) << "no new file or lock left behind";
}

TEST_F(SafetyTest, NearlyFullDriveGivesMinusElevenAtOpen) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  const auto before = ReadFile(Path("book.nbk"));
  const auto files = ListDir(m_dir);
  std::string seenFolder;
  nbk::testing::SetFreeSpaceProbe([&](const std::string& folder) {
    seenFolder = folder;
    return std::optional<std::uint64_t>(4096);
  });
  CNBKBook append;
  EXPECT_EQ(append.Open(WPath("book.nbk").c_str(), NBK_OPEN_APPEND), -11);
  EXPECT_EQ(seenFolder, m_dir);
  CNBKBook fresh;
  fresh.SetNBKFileName(WPath("fresh.nbk"));
  EXPECT_EQ(fresh.Open(nullptr, NBK_OPEN_NEW), -11);
  EXPECT_EQ(ReadFile(Path("book.nbk")), before);
  EXPECT_EQ(ListDir(m_dir), files);
  // With room again the same book opens.
  nbk::testing::SetFreeSpaceProbe(
      [](const std::string&) { return std::optional<std::uint64_t>(1ull << 40); });
  EXPECT_EQ(append.Open(WPath("book.nbk").c_str(), NBK_OPEN_APPEND), 0);
}

TEST_F(SafetyTest, AbandonedBookLeavesTheFileAsItWas) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  const auto before = ReadFile(Path("book.nbk"));
  const auto files = ListDir(m_dir);
  {
    CNBKBook book;
    ASSERT_EQ(book.Open(WPath("book.nbk").c_str(), NBK_OPEN_APPEND), 0);
    CNBKPageObject* page = book.CreatePage(NBK_PAGE_KIND);
    book.AddPage(page);
    EXPECT_EQ(book.Close(), 0);
  }
  {
    CNBKBook book;  // a new book over the old name, deleted without OutputAll or Close
    book.SetNBKFileName(WPath("book.nbk"));
    ASSERT_EQ(book.Open(nullptr, NBK_OPEN_NEW), 0);
  }
  EXPECT_EQ(ReadFile(Path("book.nbk")), before);
  EXPECT_EQ(ListDir(m_dir), files);
}

TEST_F(SafetyTest, DamagedBookOpenedForAppendIsRefusedAndUntouched) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  auto damaged = ReadFile(Path("book.nbk"));
  damaged[damaged.size() / 2] ^= 0x10;
  const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> files = {
      {"damaged.nbk", damaged},
      {"html.nbk", {'<', 'h', 't', 'm', 'l', '>'}},
      {"empty.nbk", {}},
      {"cut.nbk", std::vector<std::uint8_t>(damaged.begin(), damaged.begin() + 100)}};
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    WriteFile(Path(name), bytes);
    const auto listing = ListDir(m_dir);
    EXPECT_EQ(AppendPage(Path(name), u"page"), -2);
    EXPECT_EQ(ReadFile(Path(name)), bytes);
    EXPECT_EQ(ListDir(m_dir), listing);
  }
  // A design file is an NBK file but not a book.
  EXPECT_EQ(AppendPage(NBK_STANDARD_DESIGN, u"page"), -2);
}

TEST_F(SafetyTest, EveryDamagedByteIsRecognised) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  const auto good = ReadFile(Path("book.nbk"));
  std::string error;
  ASSERT_TRUE(nbk::ParseBook(good, error)) << error;
  for (std::size_t i = 0; i < good.size(); ++i) {
    auto bad = good;
    bad[i] ^= 0x5A;
    error.clear();
    ASSERT_FALSE(nbk::ParseBook(bad, error)) << "byte " << i;
    ASSERT_FALSE(error.empty());
  }
}

TEST_F(SafetyTest, TruncatedFilesAreRecognised) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  const auto good = ReadFile(Path("book.nbk"));
  for (std::size_t size = 0; size < good.size(); ++size) {
    std::string error;
    ASSERT_FALSE(nbk::ParseBook({good.data(), size}, error)) << "size " << size;
    ASSERT_FALSE(error.empty());
  }
  std::string error;
  auto longer = good;
  longer.push_back(0);
  EXPECT_FALSE(nbk::ParseBook(longer, error));
  EXPECT_NE(error.find("after the END"), std::string::npos) << error;
}

TEST_F(SafetyTest, TwoProcessesAppendingBothGetTheirPagesIn) {
  ASSERT_EQ(AppendPage(Path("book.nbk"), u"start"), 0);
  auto writer = [&](char16_t who) {
    return [&, who] {
      for (int i = 0; i < 20; ++i) {
        std::u16string text = std::u16string(1, who) + u"-" + char16_t(u'A' + i);
        if (AppendPage(Path("book.nbk"), text) != 0) return 1;
      }
      return 0;
    };
  };
  pid_t a = fork();
  if (a == 0) _exit(writer(u'x')());
  pid_t b = fork();
  if (b == 0) _exit(writer(u'y')());
  int sa = 0, sb = 0;
  waitpid(a, &sa, 0);
  waitpid(b, &sb, 0);
  ASSERT_TRUE(WIFEXITED(sa) && WEXITSTATUS(sa) == 0);
  ASSERT_TRUE(WIFEXITED(sb) && WEXITSTATUS(sb) == 0);
  std::string error;
  auto book = nbk::ReadBook(Path("book.nbk"), error);
  ASSERT_TRUE(book) << error;
  EXPECT_EQ(book->pages.size(), 41u);
  EXPECT_EQ(book->toc.size(), 41u);
  std::set<std::u16string> titles;
  for (const auto& e : book->toc) titles.insert(e.title);
  EXPECT_EQ(titles.size(), 41u) << "every page once";
}

TEST_F(SafetyTest, BookInAMissingFolderFailsToOpenAndMakesNothing) {
  CNBKBook book;
  book.SetNBKFileName(WPath("no/such/folder/book.nbk"));
  EXPECT_EQ(book.Open(nullptr, NBK_OPEN_NEW), NBK_ERR_IO);
  EXPECT_EQ(book.OutputAll(), NBK_ERR_BAD_CALL);
  EXPECT_TRUE(ListDir(m_dir).empty());
}

TEST_F(SafetyTest, SecondWriterWaitsForTheLockAndGivesUpAfterTheTimeout) {
  CNBKBook first;
  first.SetNBKFileName(WPath("book.nbk"));
  ASSERT_EQ(first.Open(nullptr, NBK_OPEN_NEW), 0);
  nbk::testing::SetLockTimeout(std::chrono::milliseconds(50));
  CNBKBook second;
  EXPECT_EQ(second.Open(WPath("book.nbk").c_str(), NBK_OPEN_APPEND), -4);
  first.Close();
  EXPECT_EQ(second.Open(WPath("book.nbk").c_str(), NBK_OPEN_APPEND), 0);
}

}  // namespace
}  // namespace nbktest
