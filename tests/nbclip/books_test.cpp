// nbclip books on a fresh home: the book management dialog of the registered toolbar, driven as
// a person drives it, checked by what it prints and by the book list file it leaves.
#include <set>
#include <string>

#include "tests/nbclip/cli.h"

using namespace nbclip_test;

namespace {

const std::string kNbclip = Quote(NBCLIP_PATH);

class BooksTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    Result r = Shell(kNbclip + " register");
    ASSERT_EQ(r.status, 0) << r.out;
    // The first showing of the toolbar makes the list file.
    r = Books("");
    ASSERT_EQ(r.status, 0) << r.out;
    ASSERT_FALSE(ListFile().empty());
  }
  Result Books(const std::string& args) { return Shell(kNbclip + " books " + args); }
  std::string ListFile() const {
    return ReadFile(home_ / "data" / "Vantor Corporation" / "EnjoyNubra" / "ToolBar4NEval.xml");
  }
  // The titles in the list file, in order.
  std::vector<std::string> Titles() const {
    std::vector<std::string> titles;
    std::string text = ListFile();
    const std::string kTitle = " title=\"";
    for (size_t at = 0; (at = text.find(kTitle, at)) != std::string::npos;) {
      at += kTitle.size();
      size_t end = text.find('"', at);
      titles.push_back(text.substr(at, end - at));
    }
    return titles;
  }
  std::string Docs() const { return (home_ / "docs").string(); }
};

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The content ID the dialog showed ("FBJPNP" and ten digits); empty when it showed none.
std::string ContentId(const std::string& out) {
  const std::string kLabel = "content ID: ";
  size_t at = out.find(kLabel);
  if (at == std::string::npos) return {};
  std::string id = out.substr(at + kLabel.size(), 16);
  bool digits = id.size() == 16 && id.starts_with("FBJPNP") &&
                id.find_first_not_of("0123456789", 6) == std::string::npos;
  return digits ? id : std::string();
}

TEST_F(BooksTest, APersonsSessionListNewShowDelete) {
  Result r = Books("");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "books (1):\n* 1 マイブック\n")) << r.out;

  r = Books(
      "new --title 旅の記録 --title-reading タビノキロク --author 山田 --author-reading ヤマダ "
      "--design Standard");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "dialog \"新規作成\":\n  title: マイクリップ\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "  design: Standard (of 1 design: Standard)\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "typed title: 旅の記録\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "added: 2 旅の記録\ndialog \"書籍の情報\":\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "books (2):\n  1 マイブック\n* 2 旅の記録\n")) << r.out;
  const std::string id = ContentId(r.out);
  ASSERT_FALSE(id.empty()) << r.out;
  std::string list = ListFile();
  EXPECT_TRUE(Has(list,
                  "title=\"旅の記録\" titleRead=\"タビノキロク\" author=\"山田\" "
                  "authorRead=\"ヤマダ\" bookID=\"" +
                      id + "\""))
      << list;
  // The dialog joins with '\', as the file layer reads it.
  EXPECT_TRUE(Has(list, "nbkFile=\"" + Docs() + "\\EnjoyNubra\\" + id + ".nbk\"")) << list;
  EXPECT_TRUE(Has(list, "Designs\\Standard.nbk\"")) << list;

  for (const char* which : {"2", "旅の記録"}) {
    SCOPED_TRACE(which);
    r = Books(std::string("show ") + which);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out,
                    "dialog \"書籍の情報\":\n  title: 旅の記録\n  title reading: タビノキロク\n"
                    "  author: 山田\n  author reading: ヤマダ\n  content ID: " +
                        id + "\n  save location: "))
        << r.out;
    EXPECT_TRUE(Has(r.out, "  design: Standard.nbk (of 1 design: Standard.nbk)\n")) << r.out;
  }

  r = Books("delete 1");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "deleted: 1 マイブック\nbooks (1):\n* 1 旅の記録\n")) << r.out;
  EXPECT_FALSE(Has(r.out, "message")) << r.out;
  EXPECT_EQ(Titles(), std::vector<std::string>{"旅の記録"});

  // The last book: the list goes back to its first state.
  r = Books("delete 旅の記録");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "message \"Toolbar for Nubra\": 初期状態に戻します\n")) << r.out;
  EXPECT_EQ(Titles(), std::vector<std::string>{"マイブック"});
}

TEST_F(BooksTest, AFailedCheckWarnsCancelsAndAddsNothing) {
  struct Case {
    std::string args, message;
  } cases[] = {
      {"--book-id '' --design Standard", "コンテンツIDに文字を入力してください"},
      {"--path '' --design Standard", "保存先のファイルパスを入力してください"},
      {"--path " + Docs() + "/a.NBK --design Standard",
       "ファイルの拡張子は、\".nbk\"にしてください"},
      {"--path " + Docs() + "/none/a.nbk --design Standard", "指定されたフォルダが存在しません"},
      {"--path '" + Docs() + "/a?b.nbk' --design Standard",
       "ファイル名に使えない文字が含まれています"},
      {"--design Missing", "選択されたデザインファイルが見つかりません"},
  };
  std::string before = ListFile();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    Result r = Books("new --title 本 " + c.args);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(Has(r.out, "message \"Toolbar for Nubra\": " + c.message + "\n")) << r.out;
    EXPECT_FALSE(Has(r.out, "added:")) << r.out;
    EXPECT_EQ(ListFile(), before);
  }
}

TEST_F(BooksTest, BooksMadeInOneSecondGetTheirOwnIds) {
  std::set<std::string> ids;
  for (int i = 0; i < 3; ++i) {
    Result r = Books("new --title 本" + std::to_string(i) + " --design Standard");
    ASSERT_EQ(r.status, 0) << r.out;
    std::string id = ContentId(r.out);
    ASSERT_FALSE(id.empty()) << r.out;
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 3u);
}

TEST_F(BooksTest, BadArgumentsAndUnknownBooks) {
  struct Case {
    std::string args;
    int status;
    std::string said;
  } cases[] = {
      {"new --title", 2, "usage: nbclip books"},
      {"new --colour red", 2, "usage: nbclip books"},
      {"new --title a --title b", 2, "usage: nbclip books"},
      {"show", 2, "usage: nbclip books"},
      {"delete 1 2", 2, "usage: nbclip books"},
      {"tidy", 2, "usage: nbclip books"},
      {"show 5", 1, "no book \"5\" in the list (1 rows)"},
      {"delete 本", 1, "no book \"本\" in the list (1 rows)"},
  };
  std::string before = ListFile();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    Result r = Books(c.args);
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_TRUE(Has(r.out, c.said)) << r.out;
    EXPECT_EQ(ListFile(), before);
  }
}

TEST_F(BooksTest, WithoutARegisteredToolbar) {
  ASSERT_EQ(Shell(kNbclip + " unregister").status, 0);
  Result r = Books("");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out, "no toolbar is registered; run `nbclip register` first")) << r.out;
}

// In one browser window the toolbar's combo box follows the book management dialog.
TEST_F(BooksTest, InTheShellTheNewBookBecomesTheCurrentOne) {
  Result r = Shell("printf 'books new --title 新しい本 --design Standard\\nbooks\\n' | " + kNbclip +
                   " shell");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "> books\nbooks (2):\n  1 マイブック\n* 2 新しい本\n")) << r.out;
}

}  // namespace
