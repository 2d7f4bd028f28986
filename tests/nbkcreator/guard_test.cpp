// What the writer refuses, and that a refusal changes nothing: pages past the format's limit,
// names that are no regular file, files beside the book that are not the writer's, books that
// check but do not decode. Also who holds a book, as a waiting writer is told.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>

#include "nbkcreator/format.h"
#include "nbkcreator/reader.h"
#include "nbkcreator/testing.h"
#include "tests/nbkcreator/support.h"

namespace nbktest {
namespace {

namespace fs = std::filesystem;

class GuardTest : public ScratchTest {
 protected:
  void TearDown() override {
    nbk::testing::SetSectionLimit(0);
    nbk::testing::SetLockTimeout(std::chrono::milliseconds(120000));
    ScratchTest::TearDown();
  }
};

// A page of n characters in one text block.
int AppendText(const std::string& path, std::size_t n) {
  return AppendPage(path, std::u16string(n, u'x'), u"long");
}

TEST_F(GuardTest, PagePastTheSectionLimitIsRefusedAndTheBookStays) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  const auto before = ReadFile(Path("book.nbk"));
  const auto files = ListDir(m_dir);
  nbk::testing::SetSectionLimit(64 << 10);
  // Just under the limit still goes in; a page whose section would pass it does not.
  EXPECT_EQ(AppendText(Path("book.nbk"), 20000), 0);
  const auto grown = ReadFile(Path("book.nbk"));
  EXPECT_NE(grown, before);
  EXPECT_EQ(AppendText(Path("book.nbk"), 40000), NBK_ERR_TOO_LARGE);
  EXPECT_EQ(ReadFile(Path("book.nbk")), grown);
  EXPECT_EQ(ListDir(m_dir), files);
  // A new book with such a page is not made at all.
  EXPECT_EQ(AppendText(Path("new.nbk"), 40000), NBK_ERR_TOO_LARGE);
  EXPECT_FALSE(fs::exists(Path("new.nbk")));
  // An image file larger than a section gives no image bytes (and no image the reader shows).
  WriteFile(Path("big.png"), std::vector<std::uint8_t>(70 << 10, 7));
  CNBKBook book;
  CNBKPageObject* page = book.CreatePage(NBK_PAGE_KIND);
  CNBKImageObject* image = page->CreateImageBlock(NBK_IMAGE_BLOCK_KIND)->GetImageObject();
  ASSERT_NE(image->CreateImageStream(WPath("big.png")), nullptr);
  EXPECT_EQ(image->canPutImage(), 0);
}

TEST_F(GuardTest, NamesThatAreNoRegularFileAreRefusedAtOnce) {
  nbk::testing::SetLockTimeout(std::chrono::milliseconds(50));
  ASSERT_EQ(mkfifo(Path("fifo.nbk").c_str(), 0600), 0);
  fs::create_directory(Path("folder.nbk"));
  for (const char* name : {"fifo.nbk", "folder.nbk"}) {
    for (int mode : {NBK_OPEN_NEW, NBK_OPEN_APPEND}) {
      SCOPED_TRACE(std::string(name) + " mode " + std::to_string(mode));
      CNBKBook book;
      book.SetNBKFileName(WPath(name));
      auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(book.Open(mode == NBK_OPEN_NEW ? nullptr : WPath(name).c_str(), mode),
                NBK_ERR_NOT_A_FILE);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
  }
  EXPECT_EQ(Dump(Path("fifo.nbk")), "error: not a regular file");
  // An image "file" that is a FIFO gives no bytes instead of waiting for a writer.
  CNBKBook book;
  CNBKImageObject* image =
      book.CreatePage(NBK_PAGE_KIND)->CreateImageBlock(NBK_IMAGE_BLOCK_KIND)->GetImageObject();
  image->CreateImageStream(WPath("fifo.nbk"));
  EXPECT_EQ(image->canPutImage(), 0);
  EXPECT_EQ(ListDir(m_dir), (std::vector<std::string>{"fifo.nbk", "folder.nbk"}));
}

TEST_F(GuardTest, BookThatIsALinkIsWrittenWhereItPoints) {
  fs::create_directory(Path("real"));
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("real/book.nbk"), m_dir));
  fs::create_symlink("real/book.nbk", Path("link.nbk"));
  fs::create_symlink("link.nbk", Path("link2.nbk"));
  ASSERT_EQ(AppendPage(Path("link2.nbk"), u"through two links"), 0);
  EXPECT_TRUE(fs::is_symlink(Path("link.nbk")));
  EXPECT_TRUE(fs::is_symlink(Path("link2.nbk")));
  EXPECT_NE(Dump(Path("real/book.nbk")).find("through two links"), std::string::npos);
  // A link to a book not made yet makes it where the link points.
  fs::create_symlink("real/later.nbk", Path("later.nbk"));
  ASSERT_EQ(AppendPage(Path("later.nbk"), u"later"), 0);
  EXPECT_TRUE(fs::is_symlink(Path("later.nbk")));
  EXPECT_NE(Dump(Path("real/later.nbk")).find("later"), std::string::npos);
  EXPECT_EQ(ListDir(Path("real")), (std::vector<std::string>{"book.nbk", "later.nbk"}));
  // A loop of links is no book.
  fs::create_symlink("loop-b", Path("loop-a"));
  fs::create_symlink("loop-a", Path("loop-b"));
  EXPECT_EQ(AppendPage(Path("loop-a"), u"x"), NBK_ERR_IO);
}

TEST_F(GuardTest, FilesBesideTheBookAreRemovedOnlyWhenTheyAreTheWriters) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  const auto before = ReadFile(Path("book.nbk"));
  const std::vector<std::uint8_t> magic(nbk::kMagic, nbk::kMagic + 5);
  const std::vector<std::uint8_t> text = {'m', 'y', ' ', 'n', 'o', 't', 'e', 's'};
  struct Case {
    const char* name;
    std::string file;
    std::function<void(const std::string&)> make;
    int result;
  };
  std::vector<Case> cases = {
      {"an empty .new (a crash before the first write)", "book.nbk.new",
       [](const std::string& p) { WriteFile(p, {}); }, 0},
      {"a .new that starts as a book does", "book.nbk.new",
       [&](const std::string& p) { WriteFile(p, magic); }, 0},
      {"the user's own .new", "book.nbk.new", [&](const std::string& p) { WriteFile(p, text); },
       NBK_ERR_IN_THE_WAY},
      {"a .new that is a folder", "book.nbk.new",
       [](const std::string& p) { fs::create_directory(p); }, NBK_ERR_IN_THE_WAY},
      {"a .new that is a link", "book.nbk.new",
       [&](const std::string& p) { fs::create_symlink(Path("book.nbk"), p); }, NBK_ERR_IN_THE_WAY},
      {"the user's own .lock", "book.nbk.lock", [&](const std::string& p) { WriteFile(p, text); },
       NBK_ERR_IN_THE_WAY},
      {"a .lock that is a link", "book.nbk.lock",
       [&](const std::string& p) { fs::create_symlink(Path("elsewhere"), p); }, NBK_ERR_IN_THE_WAY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.make(Path(c.file));
    const bool link = fs::is_symlink(Path(c.file));
    const auto kept = link || fs::is_directory(Path(c.file)) ? std::vector<std::uint8_t>()
                                                             : ReadFile(Path(c.file));
    int rc = AppendPage(Path("book.nbk"), u"page");
    EXPECT_EQ(rc, c.result);
    if (c.result == 0) {
      EXPECT_FALSE(fs::exists(fs::symlink_status(Path(c.file))));
      WriteSampleBook(Path("book.nbk"), m_dir);
    } else {
      EXPECT_EQ(ReadFile(Path("book.nbk")), before);
      EXPECT_TRUE(fs::exists(fs::symlink_status(Path(c.file)))) << "somebody's file stays";
      if (!link && !fs::is_directory(Path(c.file))) {
        EXPECT_EQ(ReadFile(Path(c.file)), kept);
      }
      fs::remove_all(Path(c.file));
    }
    EXPECT_FALSE(fs::exists(Path("elsewhere")));
  }
}

// A copy of the book at path whose first PAGE section has an item count no payload can hold,
// with its checksum made right again: it passes every check but the decoding.
void BreakFirstPage(const std::string& path) {
  std::vector<std::uint8_t> bytes = ReadFile(path);
  std::size_t at = nbk::kHeaderSize;
  while (at + 8 <= bytes.size()) {
    std::uint32_t type, length;
    std::memcpy(&type, &bytes[at], 4);
    std::memcpy(&length, &bytes[at + 4], 4);
    if (type == nbk::kSecPage) {
      std::memset(&bytes[at + 8 + 12], 0xFF, 4);  // after id, kind, key, reserved
      std::uint32_t crc = nbk::Crc32(&bytes[at], 8 + length);
      std::memcpy(&bytes[at + 8 + length], &crc, 4);
      WriteFile(path, bytes);
      return;
    }
    at += nbk::kSectionOverhead + length;
  }
  FAIL() << "no PAGE section";
}

TEST_F(GuardTest, BookThatChecksButDoesNotDecodeIsRefusedUntouched) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  ASSERT_NO_FATAL_FAILURE(BreakFirstPage(Path("book.nbk")));
  ASSERT_EQ(Dump(Path("book.nbk")).rfind("error: ", 0), 0u) << "the reader refuses it";
  const auto before = ReadFile(Path("book.nbk"));
  const auto files = ListDir(m_dir);
  EXPECT_EQ(AppendPage(Path("book.nbk"), u"more"), NBK_ERR_NOT_NBK);
  EXPECT_EQ(ReadFile(Path("book.nbk")), before);
  EXPECT_EQ(ListDir(m_dir), files);
}

TEST_F(GuardTest, WaitingWriterIsToldWhoHoldsTheBook) {
  CNBKBook first;
  first.SetNBKFileName(WPath("book.nbk"));
  ASSERT_EQ(first.Open(nullptr, NBK_OPEN_NEW), 0);
  nbk::testing::SetLockTimeout(std::chrono::milliseconds(100));
  std::vector<std::u16string> told;
  CNBKBook second;
  second.SetWaitNotice([&](const std::u16string& holder) { told.push_back(holder); });
  EXPECT_EQ(second.Open(WPath("book.nbk").c_str(), NBK_OPEN_APPEND), NBK_ERR_LOCKED);
  ASSERT_EQ(told.size(), 1u) << "told once, when the wait begins";
  EXPECT_EQ(told[0].rfind(u"process " + W(std::to_string(getpid())) + u" (", 0), 0u);
  first.Close();
  told.clear();
  EXPECT_EQ(second.Open(WPath("book.nbk").c_str(), NBK_OPEN_APPEND), 0);
  EXPECT_TRUE(told.empty()) << "no wait, nothing told";
  second.Close();
  EXPECT_TRUE(ListDir(m_dir).empty()) << "the lock file goes with its holder";
}

}  // namespace
}  // namespace nbktest
