// The toolbar's buttons from nbclip, on a fresh home, as a person uses them: register, add pages
// from 127.0.0.1 and from local files to a book of the list, hand the book over, show help, and
// the same in one `nbclip shell`; the books are read back with `nbclip dump`.
#include <string>

#include "tests/nbclip/cli.h"
#include "tests/support/book_list.h"
#include "tests/support/http_server.h"
#include "tests/support/opener.h"

using namespace nbclip_test;

namespace {

const std::string kNbclip = Quote(NBCLIP_PATH);
const std::string kSaved = "message \"Toolbar for Nubra\": 保存が完了しました\n";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class Commands : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    server_.SetHandler([](const nbtest::HttpRequest& request) {
      return nbtest::HttpResponse{
          .headers = {{"Content-Type", "text/html; charset=utf-8"}},
          .body = "<html><body><p>ウェブの頁 " + request.path + "</p></body></html>"};
    });
    local_ = home_ / "local page.html";
    std::ofstream(local_)
        << "<html><head><meta charset=\"utf-8\"></head><body><p>手元の頁です。</p>"
           "</body></html>";
    opened_ = home_ / "opened.txt";
    std::ofstream(home_ / "open.sh")
        << "#!/bin/sh\nprintf '%s' \"$1\" > " << Quote(opened_.string()) << ".part && mv "
        << Quote(opened_.string() + ".part") << " " << Quote(opened_.string()) << "\n";
    fs::permissions(home_ / "open.sh", fs::perms::owner_all);
    setenv("NUBRA_OPENER", (home_ / "open.sh").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("NUBRA_OPENER");
    CliTest::TearDown();
  }

  // The book list as the book management dialog would leave it: the default book, then these.
  void Books(std::initializer_list<const char16_t*> titles) {
    std::u16string design = platform::com::Utf8ToUtf16(
        (fs::path(NB_SHARE_DIR) / "Vantor Shared/EnjoyNubra/Designs/Standard.nbk").string());
    std::vector<nbtest::ListedBook> books;
    for (const char16_t* title : titles)
      books.push_back({title, platform::com::Utf8ToUtf16(BookOf(title).string()), design});
    nbtest::WriteBookList(books);
  }
  fs::path BookOf(std::u16string_view title) const {
    return home_ / "docs" / (platform::com::Utf16ToUtf8(title) + ".nbk");
  }
  std::string Dump(const fs::path& book) const {
    Result r = Shell(kNbclip + " dump " + Quote(book.string()));
    EXPECT_EQ(r.status, 0) << r.out;
    return r.out;
  }
  void Register() {
    Result r = Shell(kNbclip + " register");
    ASSERT_EQ(r.status, 0) << r.out;
  }

  nbtest::HttpServer server_;
  fs::path local_, opened_;
};

TEST_F(Commands, AddTwoPagesOpenTheBookAndShowHelp) {
  Register();
  Books({u"旅の本"});
  Result r = Shell(kNbclip + " add " + Quote(server_.Url("/first.html")) + " --book 旅の本");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "book: 2 旅の本\n")) << r.out;
  EXPECT_EQ(Count(r.out, kSaved), 1u) << r.out;

  r = Shell(kNbclip + " add " + Quote(local_.string()) + " --book 2 --no-document");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "(no document)\n")) << r.out;
  EXPECT_EQ(Count(r.out, kSaved), 1u) << r.out;

  std::string dump = Dump(BookOf(u"旅の本"));
  EXPECT_TRUE(Has(dump, "pages 2\n")) << dump;
  EXPECT_TRUE(Has(dump, "ウェブの頁 /first.html")) << dump;
  EXPECT_TRUE(Has(dump, "手元の頁です。")) << dump;
  EXPECT_FALSE(fs::exists(home_ / "docs/EnjoyNubra/マイブック.nbk")) << "the default book stays";

  r = Shell(kNbclip + " open --book 旅の本");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(nbtest::WaitForFile(opened_), BookOf(u"旅の本").string());

  fs::remove(opened_);
  r = Shell(kNbclip + " help");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(fs::path(nbtest::WaitForFile(opened_)).filename(), "index.html");
}

TEST_F(Commands, WhatFailsSaysWhy) {
  Books({u"旅の本"});
  struct Case {
    const char* name;
    std::string args;
    int status;
    std::string says;
  };
  const std::string missing = Quote((home_ / "no such page.html").string());
  const Case cases[] = {
      {"not registered", "add " + Quote(local_.string()), 1, "run `nbclip register` first"},
      {"no page", "add", 2, "usage: nbclip add PAGE"},
      {"an option unknown", "open --bogus", 2, "usage: nbclip open [--book N|TITLE]"},
      {"help takes nothing", "help now", 2, "usage: nbclip help"},
      {"register", "register", 0, "registered the HTML Help control"},
      {"a page that cannot be loaded", "add " + missing, 1, "cannot load"},
      {"an address that gives no page", "add --no-document " + missing, 1,
       "message \"Toolbar for Nubra\": ページを書籍に追加できませんでした。\n"},
      {"no such book", "add " + Quote(local_.string()) + " --book 9", 1,
       "no book \"9\" in the toolbar's list (2 books)"},
      {"no such title", "open --book 料理の本", 1, "no book \"料理の本\""},
      {"a book not made yet", "open --book 2", 1,
       "message \"Toolbar for Nubra\": 書籍『旅の本』が、まだ作成されていません。\n  "
       "[内容保存]ボタンを押して"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result r = Shell(kNbclip + " " + c.args);
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_TRUE(Has(r.out, c.says)) << r.out;
  }
  EXPECT_FALSE(fs::exists(BookOf(u"旅の本"))) << "no failure made the book";
  EXPECT_FALSE(fs::exists(opened_)) << "nothing was opened";
}

TEST_F(Commands, TheShellKeepsTheCurrentBookBetweenCommands) {
  Register();
  Books({u"旅の本", u"料理の本"});
  std::string script =
      "# two pages, one book\n"
      "add " +
      server_.Url("/one.html") +
      " --book 料理の本\n"
      "\n"
      "add " +
      Quote(local_.string()) +
      "\n"
      "open\n"
      "frobnicate\n";
  std::ofstream(home_ / "script.txt") << script;
  Result r = Shell(kNbclip + " shell < " + Quote((home_ / "script.txt").string()));
  EXPECT_EQ(r.status, 1) << "the unknown command counts: " << r.out;
  EXPECT_EQ(Count(r.out, kSaved), 2u) << r.out;
  EXPECT_TRUE(Has(r.out, "line 6: unknown command \"frobnicate\"")) << r.out;
  std::string dump = Dump(BookOf(u"料理の本"));
  EXPECT_TRUE(Has(dump, "pages 2\n")) << dump;
  EXPECT_FALSE(fs::exists(BookOf(u"旅の本")));
  EXPECT_EQ(nbtest::WaitForFile(opened_), BookOf(u"料理の本").string());
}

// An installation whose help file is missing says so and does not succeed.
TEST_F(Commands, HelpWithoutTheHelpFile) {
  fs::path prefix = home_ / "prefix";
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "lib");
  fs::path build = fs::path(NBCLIP_PATH).parent_path().parent_path();
  fs::copy_file(NBCLIP_PATH, prefix / "bin/nbclip");
  for (const auto& entry : fs::directory_iterator(build / "lib")) {
    std::string ext = entry.path().extension().string();
    if (ext == ".so" || ext == ".ocx")
      fs::copy_file(entry.path(), prefix / "lib" / entry.path().filename());
  }
  ASSERT_FALSE(fs::exists(prefix / "lib/ToolbarForNubra.chm"));
  const std::string nbclip = Quote((prefix / "bin/nbclip").string());
  Result r = Shell(nbclip + " register");
  ASSERT_EQ(r.status, 0) << r.out;
  r = Shell(nbclip + " help");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(Has(r.out, "message \"Toolbar for Nubra\": ヘルプファイルが見つかりません\n"))
      << r.out;
  EXPECT_FALSE(fs::exists(opened_));
}

}  // namespace
