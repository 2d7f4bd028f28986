// CNBParser: the book's lifecycle as calls into the writer, the cache folder, and pages.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

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
