// CNBParser: the book's lifecycle as calls into the writer, the cache folder, and pages.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "contracts/NBKCreator.h"
#include "parser/facade/NBParser.h"
#include "tests/parser/ConverterFixture.h"

namespace testing_parser {
namespace {

namespace fs = std::filesystem;

const unsigned short* W(const std::u16string& s) {
  return reinterpret_cast<const unsigned short*>(s.c_str());
}

class ParserTest : public testing::Test {
 protected:
  void SetUp() override {
    recording::Reset();
    fakedom::ResetReferences();
    char pattern[] = "/tmp/nbparser-facade-XXXXXX";
    temp_ = mkdtemp(pattern);
    old_tmpdir_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    setenv("TMPDIR", temp_.c_str(), 1);
  }
  void TearDown() override {
    if (old_tmpdir_.empty()) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", old_tmpdir_.c_str(), 1);
    }
    fs::remove_all(temp_);
  }
  void Configure(CNBParser& parser) {
    parser.SetDesignFileName(W(design_));
    parser.SetNBKFileName(W(book_));
    parser.SetBookTitle(W(u"題名"));
    parser.SetBookTitle_read(W(u"だいめい"));
    parser.SetBookAuthor(W(u"著者"));
    parser.SetBookAuthor_read(W(u"ちょしゃ"));
    parser.SetBookID(W(u"ID-1"));
  }
  // The shared folder, and in it the one folder of the book open now.
  fs::path CacheRoot() const {
    return temp_ / ("nubra-" + std::to_string(geteuid())) / "ZeveZadezCash";
  }
  fs::path CacheDir() const {
    std::error_code ec;
    std::vector<fs::path> folders;
    for (const auto& e : fs::directory_iterator(CacheRoot(), ec)) folders.push_back(e.path());
    return folders.size() == 1 ? folders.front() : fs::path();
  }

  fs::path temp_;
  std::string old_tmpdir_;
  std::u16string design_ = u"/designs/standard.nbk";
  std::u16string book_ = u"/books/b.nbk";
};

TEST_F(ParserTest, CreateNewBook) {
  CNBParser parser;
  Configure(parser);
  ASSERT_EQ(parser.CreateNewBook(), 0);
  EXPECT_EQ(
      recording::Calls(),
      (Calls{"SetScrambleKey(0D3B)", "SetNBKFileName(/books/b.nbk)", "SetBookID(ID-1)",
             "Open(NULL,1)", "SetTitle(題名)", "SetTitle_reading(だいめい)", "SetAuthor(著者)",
             "SetAuthor_reading(ちょしゃ)", "SetDesignFile(/designs/standard.nbk)", "CreateToc()",
             "CreateCoverPage(題名,著者)"}));
  EXPECT_TRUE(fs::is_directory(CacheDir()));
  recording::Reset();
  EXPECT_EQ(parser.FinalizeBook(), 0);
  EXPECT_EQ(recording::Calls(), (Calls{"OutputAll()", "Close()", "~CNBKBook"}));
  EXPECT_FALSE(fs::exists(CacheRoot()));
}

TEST_F(ParserTest, OpenBookAppendsWithoutCover) {
  CNBParser parser;
  Configure(parser);
  parser.SetBookID(W(u""));
  ASSERT_EQ(parser.OpenBook(), 0);
  EXPECT_EQ(recording::Calls(),
            (Calls{"SetScrambleKey(0D3B)", "SetNBKFileName(/books/b.nbk)", "Open(/books/b.nbk,2)",
                   "SetTitle(題名)", "SetTitle_reading(だいめい)", "SetAuthor(著者)",
                   "SetAuthor_reading(ちょしゃ)", "CreateToc()",
                   "SetDesignFile(/designs/standard.nbk)"}));
  recording::Reset();
  EXPECT_EQ(parser.AffairBook(), 0);
  EXPECT_EQ(recording::Calls(), (Calls{"Close()", "~CNBKBook"}));
}

TEST_F(ParserTest, FailuresToOpen) {
  struct Case {
    bool append;
    int openResult, designResult, expected;
  };
  for (const Case& c : {Case{false, -11, 0, -11}, Case{true, -5, 0, -5}, Case{false, 0, -2, -1},
                        Case{true, 0, -3, -1}, Case{true, 0, 1, 0}}) {
    recording::Reset();
    recording::Config().openResult = c.openResult;
    recording::Config().designResult = c.designResult;
    CNBParser parser;
    Configure(parser);
    EXPECT_EQ(c.append ? parser.OpenBook() : parser.CreateNewBook(), c.expected);
    EXPECT_EQ(parser.AffairBook(), 0);
    EXPECT_EQ(recording::Only({"~CNBKBook"}).size(), 1u);
    EXPECT_FALSE(fs::exists(CacheRoot()));
  }
}

TEST_F(ParserTest, NoDesignCreatesNothing) {
  CNBParser parser;
  parser.SetNBKFileName(W(book_));
  EXPECT_EQ(parser.CreateNewBook(), -1);
  EXPECT_EQ(parser.OpenBook(), -1);
  EXPECT_TRUE(recording::Calls().empty());
  EXPECT_FALSE(fs::exists(CacheRoot()));
}

TEST_F(ParserTest, EmptyFileNameAndIdAreNotPassed) {
  CNBParser parser;
  parser.SetDesignFileName(W(design_));
  ASSERT_EQ(parser.CreateNewBook(), 0);
  EXPECT_TRUE(recording::Only({"SetNBKFileName", "SetBookID"}).empty());
  parser.AffairBook();
}

TEST_F(ParserTest, AnsiFormsConvertWithTheSystemCodePage) {
  CNBParser parser;
  char design[] = "/designs/standard.nbk";
  char title[] = "\x93\xfa\x96\x7b";  // 日本 in code page 932
  char ascii[] = "Book";
  parser.SetDesignFileName(design);
  parser.SetBookTitle(title);
  parser.SetBookAuthor(ascii);
  parser.SetBookAuthor_read(static_cast<char*>(nullptr));
  ASSERT_EQ(parser.CreateNewBook(), 0);
  EXPECT_EQ(recording::Only({"SetTitle(", "SetAuthor", "SetDesignFile"}),
            (Calls{"SetTitle(日本)", "SetAuthor(Book)", "SetAuthor_reading()",
                   "SetDesignFile(/designs/standard.nbk)"}));
  parser.AffairBook();
}

TEST_F(ParserTest, PagesAndTheCacheFolder) {
  fs::path page = temp_ / "page";
  fs::create_directory(page);
  std::ofstream(page / "a.png", std::ios::binary) << "\x89PNG\r\n\x1a\n";
  std::string img = "file://" + (page / "a.png").string();
  auto first = fakedom::Doc({.url = "file://" + (page / "1.html").string(),
                             .title = "one",
                             .body = {El("P", {El("IMG", {{"href", img}}, {})})}});
  auto second = fakedom::Doc({.url = "file://" + (page / "2.html").string(),
                              .title = "two",
                              .body = {El("P", {"x", El("IMG", {{"href", img}}, {})})}});
  CNBParser parser;
  Configure(parser);
  ASSERT_EQ(parser.CreateNewBook(), 0);
  recording::Reset();
  EXPECT_EQ(parser.AddPage(fakedom::AsDocument(first), 0, nullptr), 0);
  EXPECT_EQ(parser.AddPage(fakedom::AsDocument(second), 0, nullptr), 0);
  EXPECT_EQ(parser.AddPage(fakedom::AsDocument(second), -1, nullptr), 0);  // converts nothing
  EXPECT_EQ(recording::Only({"AddEntry", "ImageStream", "CreatePage"}),
            (Calls{"CreatePage(77) -> P2", "TOC.AddEntry(one,P2)",
                   "I7.CreateImageStream(__cash[0]index-0001.tmp) -> S9", "CreatePage(77) -> P10",
                   "TOC.AddEntry(two,P10)", "I15.SetImageStream(S9)"}));
  EXPECT_EQ(fakedom::OutstandingReferences(), 0);
  EXPECT_TRUE(fs::exists(CacheDir() / "__cash[0]index-0001.tmp"));

  // A stray cache file goes with the folder; a later book makes the folder anew.
  std::ofstream(CacheDir() / "left.tmp") << "x";
  EXPECT_EQ(parser.FinalizeBook(), 0);
  EXPECT_FALSE(fs::exists(CacheRoot()));
  recording::Reset();
  ASSERT_EQ(parser.CreateNewBook(), 0);
  EXPECT_TRUE(fs::is_directory(CacheDir()));
  EXPECT_EQ(parser.AddPage(fakedom::AsDocument(first), 0, nullptr), 0);
  // The list of the finalized book is gone: the image is fetched into the new book again.
  EXPECT_EQ(recording::Only({"CreateImageStream"}).size(), 1u);
  parser.AffairBook();
}

TEST_F(ParserTest, FolderWithOtherFilesStays) {
  CNBParser parser;
  Configure(parser);
  ASSERT_EQ(parser.CreateNewBook(), 0);
  fs::path folder = CacheDir();
  std::ofstream(folder / "keep.dat") << "x";
  EXPECT_EQ(parser.FinalizeBook(), 0);
  EXPECT_TRUE(fs::exists(folder / "keep.dat"));
}

TEST_F(ParserTest, OpeningAgainAbandonsTheOpenBookWithItsImages) {
  fs::path page = temp_ / "page";
  fs::create_directory(page);
  std::ofstream(page / "a.png", std::ios::binary) << "\x89PNG\r\n\x1a\n";
  auto doc = fakedom::Doc(
      {.url = "file://" + (page / "1.html").string(),
       .body = {El("P", {El("IMG", {{"href", "file://" + (page / "a.png").string()}}, {})})}});
  CNBParser parser;
  Configure(parser);
  for (bool append : {false, true}) {
    SCOPED_TRACE(append ? "OpenBook" : "CreateNewBook");
    ASSERT_EQ(parser.CreateNewBook(), 0);
    EXPECT_EQ(parser.AddPage(fakedom::AsDocument(doc), 0, nullptr), 0);
    recording::Reset();
    ASSERT_EQ(append ? parser.OpenBook() : parser.CreateNewBook(), 0);
    // The first book is closed and deleted before the second is made, not written.
    Calls calls = recording::Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ((Calls{calls[0], calls[1]}), (Calls{"Close()", "~CNBKBook"}));
    EXPECT_TRUE(recording::Only({"OutputAll"}).empty());
    // Its image streams went with it: the image is fetched into the new book again.
    recording::Reset();
    EXPECT_EQ(parser.AddPage(fakedom::AsDocument(doc), 0, nullptr), 0);
    EXPECT_EQ(recording::Only({"CreateImageStream"}).size(), 1u);
    EXPECT_TRUE(recording::Only({"SetImageStream"}).empty());
    EXPECT_EQ(parser.AffairBook(), 0);
  }
  EXPECT_FALSE(fs::exists(CacheRoot()));
}

TEST_F(ParserTest, FinalizeTellsWhenTheBookCouldNotBeWritten) {
  CNBParser parser;
  Configure(parser);
  ASSERT_EQ(parser.CreateNewBook(), 0);
  recording::Config().outputResult = NBK_ERR_DISK_FULL;
  EXPECT_EQ(parser.FinalizeBook(), NBK_ERR_DISK_FULL);
  EXPECT_EQ(recording::Only({"Close", "~CNBKBook"}).size(), 2u) << "closed all the same";
  EXPECT_FALSE(fs::exists(CacheRoot()));
}

TEST_F(ParserTest, WithoutATemporaryFolderNoBookIsOpened) {
  // TMPDIR names a file: there is no temporary folder to be had.
  std::ofstream(temp_ / "not-a-folder") << "x";
  setenv("TMPDIR", (temp_ / "not-a-folder").c_str(), 1);
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(temp_.c_str()), 0);
  CNBParser parser;
  Configure(parser);
  EXPECT_EQ(parser.CreateNewBook(), NBP_ERR_NO_TEMP_FOLDER);
  EXPECT_EQ(parser.OpenBook(), NBP_ERR_NO_TEMP_FOLDER);
  EXPECT_TRUE(recording::Only({"CNBKBook", "Open"}).empty()) << "no book object was made";
  EXPECT_EQ(parser.AffairBook(), 0);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(temp_)) names.push_back(e.path().filename());
  EXPECT_EQ(names, (std::vector<std::string>{"not-a-folder"})) << "nothing in the working folder";
  ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(ParserTest, BooksOpenAtOnceHaveFoldersOfTheirOwn) {
  // The folder of a conversion whose process is gone is cleaned by the next one.
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  fs::path abandoned = CacheRoot() / (std::to_string(gone) + "-1");
  fs::create_directories(abandoned);
  std::ofstream(abandoned / "__cash[0]index-0001.tmp") << "x";

  CNBParser first, second;
  Configure(first);
  Configure(second);
  ASSERT_EQ(first.CreateNewBook(), 0);
  EXPECT_FALSE(fs::exists(abandoned));
  fs::path firstFolder = CacheDir();
  ASSERT_FALSE(firstFolder.empty());
  ASSERT_EQ(second.OpenBook(), 0);
  std::vector<fs::path> folders;
  for (const auto& e : fs::directory_iterator(CacheRoot())) folders.push_back(e.path());
  ASSERT_EQ(folders.size(), 2u);
  fs::path secondFolder = folders[0] == firstFolder ? folders[1] : folders[0];
  std::ofstream(firstFolder / "a.tmp") << "first";
  std::ofstream(secondFolder / "a.tmp") << "second";
  // The first to finish takes its own files only; the shared folder stays for the second.
  EXPECT_EQ(first.FinalizeBook(), 0);
  EXPECT_FALSE(fs::exists(firstFolder));
  EXPECT_TRUE(fs::exists(secondFolder / "a.tmp"));
  EXPECT_EQ(second.AffairBook(), 0);
  EXPECT_FALSE(fs::exists(CacheRoot())) << "the last one out removes the shared folder";
}

TEST_F(ParserTest, WaitForAnotherWriterIsTold) {
  struct Heard {
    std::vector<std::pair<NBProgress, std::u16string>> events;
  } heard;
  CNBParser parser;
  Configure(parser);
  parser.SetProgress(
      [](void* context, NBProgress event, const unsigned short* subject, int) {
        static_cast<Heard*>(context)->events.emplace_back(
            event, std::u16string(reinterpret_cast<const char16_t*>(subject)));
      },
      &heard);
  ASSERT_EQ(parser.OpenBook(), 0);
  ASSERT_TRUE(recording::Config().waitNotice) << "the parser asked to hear of a wait";
  recording::Config().waitNotice(u"process 7 (other)");
  ASSERT_EQ(heard.events.size(), 1u);
  EXPECT_EQ(heard.events[0].first, NBProgress::kWaitingForBook);
  EXPECT_EQ(heard.events[0].second, u"process 7 (other)");
  parser.AffairBook();
}

TEST_F(ParserTest, WithoutABookNothingIsConverted) {
  auto doc = fakedom::Doc({.body = {El("P", {"x"})}});
  CNBParser parser;
  EXPECT_EQ(parser.AddPage(fakedom::AsDocument(doc), 0, nullptr), 0);
  EXPECT_EQ(parser.FinalizeBook(), 0);
  EXPECT_EQ(parser.AffairBook(), 0);
  EXPECT_TRUE(recording::Calls().empty());
}

TEST_F(ParserTest, InitializesComForItsThread) {
  int before = CoInitializeCount();
  {
    CNBParser parser;
    EXPECT_EQ(CoInitializeCount(), before + 1);
  }
  EXPECT_EQ(CoInitializeCount(), before);
}

}  // namespace
}  // namespace testing_parser
