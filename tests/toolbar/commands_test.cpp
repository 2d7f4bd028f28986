// The band window's commands as a person meets them: the buttons pressed through WM_COMMAND,
// with the message boxes they show, the books they leave on disk and the programs they start.
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "contracts/NBKReader.h"
#include "contracts/ShelvaryManager.h"
#include "platform/mshtml/host.h"
#include "platform/win32/shell.h"
#include "platform/win32/ui/automation.h"
#include "tests/platform_com/temp_env.h"
#include "tests/support/book_list.h"
#include "tests/support/http_server.h"
#include "tests/support/opener.h"
#include "tests/toolbar/support.h"

using namespace tbtest;

namespace {

namespace fs = std::filesystem;

constexpr WORD kAddPage = 1000, kOpenBook = 1001, kShowHelp = 1003, kBookSelected = 10100;
constexpr std::u16string_view kCaption = u"Toolbar for Nubra";
constexpr std::u16string_view kSaved = u"保存が完了しました";
constexpr std::u16string_view kOpenFailed = u"本を開けませんでした。";
constexpr std::u16string_view kDiskFull =
    u"ドライブの空き容量が極端に少なくなっています。本を作成することができません。";
constexpr std::u16string_view kNotAdded = u"ページを書籍に追加できませんでした。";

// The browser's side: the page's address and document, or the failures a test asks for.
class PageBrowser final
    : public platform::com::Object<
          PageBrowser, platform::com::Answers<platform::com::WebBrowser2Base, IID_IWebBrowser2,
                                              IID_IWebBrowserApp, IID_IWebBrowser, IID_IDispatch>> {
 public:
  std::u16string url;
  HRESULT urlResult = S_OK;
  ComPtr<IHTMLDocument2> document;
  HRESULT get_LocationURL(BSTR* out) override {
    *out = SUCCEEDED(urlResult) ? SysAllocString(url) : nullptr;
    return urlResult;
  }
  HRESULT get_Document(IDispatch** out) override {
    *out = nullptr;
    if (!document) return S_FALSE;
    return document->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
  }
};

std::u16string U16(const fs::path& path) {
  return platform::com::Utf8ToUtf16(path.string());
}

fs::path FirstDesign() {
  fs::path folder = fs::path(NB_SHARE_DIR) / "Vantor Shared/EnjoyNubra/Designs";
  std::vector<fs::path> designs;
  for (const auto& entry : fs::directory_iterator(folder)) designs.push_back(entry.path());
  std::sort(designs.begin(), designs.end());
  return designs.empty() ? fs::path() : designs.front();
}

// Pages in the book file; nullopt when there is none or it cannot be read.
std::optional<size_t> PagesIn(const fs::path& book) {
  std::string error;
  auto read = nbk::ReadBook(book.string(), error);
  if (!read) ADD_FAILURE() << error;
  if (!read) return std::nullopt;
  return read->pages.size();
}

class Commands : public BandTest {
 protected:
  void SetUp() override {
    BandTest::SetUp();
    folder_ = nbtest::TempHome::Root() / "commands" /
              testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "shelf");
    page_ = folder_ / "page.html";
    std::ofstream(page_) << "<html><body><p>一頁目の本文です。</p></body></html>";
    platform::ui::SetMessageBoxHandler([](const platform::ui::MessageBoxRecord&) { return IDOK; });
  }
  void TearDown() override {
    if (band_) band_->CloseDW(0);
    band_.Reset();
    BandTest::TearDown();
  }

  // The book list: the default entry, then books with these titles, each with its file in the
  // test's folder and the standard design.
  void Books(std::initializer_list<const char16_t*> titles) {
    std::vector<nbtest::ListedBook> books;
    for (const char16_t* title : titles)
      books.push_back({title, U16(BookFile(title)), U16(FirstDesign())});
    nbtest::WriteBookList(books);
  }
  // A band on a list of the default book and this one, which is picked in the combo box; the
  // book file is not there yet.
  void PlaceOn(const char16_t* title) {
    Books({title});
    Place();
    ASSERT_TRUE(platform::ui::SelectComboRow(combo_, 1));
    fs::remove(BookFile(title));
  }
  fs::path BookFile(std::u16string_view title) const {
    return folder_ / "shelf" / (platform::com::Utf16ToUtf8(title) + ".nbk");
  }

  // A band in a browser window; the combo box shows the list's current book (row 0).
  void Place(bool withBrowser = true) {
    browser_ = ComPtr<PageBrowser>::Attach(new PageBrowser);
    site_ = ComPtr<TestSite>::Attach(new TestSite(Host(), withBrowser ? browser_.Get() : nullptr));
    band_ = NewBand();
    ASSERT_TRUE(band_);
    ComPtr<IObjectWithSite> withSite;
    band_->QueryInterface(IID_IObjectWithSite, withSite.ReleaseAndGetVoidAddress());
    ASSERT_EQ(withSite->SetSite(site_->Identity()), S_OK);
    band_->GetWindow(&window_);
    combo_ = platform::ui::FindWindowByClass(u"COMBOBOX", window_);
    ASSERT_TRUE(window_ && combo_);
  }
  // Shows the test's page, with its document or by its address only.
  void ShowPage(bool withDocument) {
    browser_->url = u"file://" + U16(page_);
    browser_->document.Reset();
    if (withDocument) {
      ASSERT_EQ(platform::mshtml::LoadDocument(browser_->url, {}, &browser_->document), S_OK);
    }
  }
  // Sends the command and gives the texts of the message boxes it showed.
  std::vector<platform::ui::MessageBoxRecord> Command(WORD id, WORD code = 0) {
    platform::ui::ClearMessageBoxes();
    EXPECT_EQ(SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, code), 0), 0);
    platform::ui::PumpMessages();
    return platform::ui::MessageBoxes();
  }
  // The one message box the command showed, with the toolbar's caption and type MB_OK.
  std::u16string OnlyMessage(WORD id, WORD code = 0) {
    auto boxes = Command(id, code);
    if (boxes.size() != 1) {
      ADD_FAILURE() << boxes.size() << " message boxes";
      return {};
    }
    EXPECT_EQ(boxes[0].caption, kCaption);
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(boxes[0].owner, window_);
    return boxes[0].text;
  }

  nbtest::ScopedEnv common_{"NUBRA_COMMON_DIR", NB_SHARE_DIR};
  fs::path folder_, page_;
  ComPtr<PageBrowser> browser_;
  ComPtr<TestSite> site_;
  ComPtr<IDeskBand> band_;
  HWND window_ = nullptr, combo_ = nullptr;
};

// Files may grow to limit bytes while it lives, so a longer write fails as on a full drive.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    getrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, SIG_IGN);
    rlimit lower = old_;
    lower.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

 private:
  rlimit old_{};
};

TEST_F(Commands, AddPageReportsWhatBecameOfThePage) {
  enum class Page { kDocument, kAddress, kServed };
  enum class Trouble { kNone, kNotABook, kPageGone, kDriveFull, kFolderGone };
  struct Case {
    const char* name;
    Page page;
    Trouble trouble;
    std::u16string_view message;
  };
  const Case cases[] = {
      {"from the document", Page::kDocument, Trouble::kNone, kSaved},
      {"from the address", Page::kAddress, Trouble::kNone, kSaved},
      {"from a web address", Page::kServed, Trouble::kNone, kSaved},
      {"not a book at the path: OpenBook fails", Page::kDocument, Trouble::kNotABook, kOpenFailed},
      {"the page cannot be loaded: AddPage fails", Page::kAddress, Trouble::kPageGone, kNotAdded},
      {"the drive is full: FinalizeBook gives -11", Page::kDocument, Trouble::kDriveFull,
       kDiskFull},
      {"the folder went: FinalizeBook fails otherwise", Page::kServed, Trouble::kFolderGone,
       kNotAdded},
  };
  const fs::path shelf = folder_ / "shelf", away = folder_ / "shelf.away";
  nbtest::HttpServer server;
  std::atomic<bool> takeFolder = false;
  server.SetHandler([&](const nbtest::HttpRequest&) {
    // While the page is being read, the book's folder makes way for a file.
    if (takeFolder.exchange(false)) {
      fs::rename(shelf, away);
      std::ofstream(shelf) << "in the way";
    }
    return nbtest::HttpResponse{.headers = {{"Content-Type", "text/html; charset=utf-8"}},
                                .body = "<html><body><p>ウェブの頁です。</p></body></html>"};
  });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlaceOn(u"旅の本");
    fs::path book = BookFile(u"旅の本");
    std::ofstream(page_) << "<html><body><p>一頁目の本文です。</p></body></html>";
    // A book with one page already, unless the test puts something else there.
    std::optional<size_t> before;
    if (c.trouble != Trouble::kNotABook) {
      ShowPage(true);
      ASSERT_EQ(OnlyMessage(kAddPage), kSaved) << "the first page";
      before = PagesIn(book);
      ASSERT_TRUE(before);
    } else {
      std::ofstream(book) << "not a book";
    }
    ShowPage(c.page == Page::kDocument);
    if (c.page == Page::kServed) browser_->url = platform::com::Utf8ToUtf16(server.Url("/p.html"));
    if (c.trouble == Trouble::kPageGone) fs::remove(page_);
    takeFolder = c.trouble == Trouble::kFolderGone;
    {
      std::optional<FileSizeLimit> limit;
      if (c.trouble == Trouble::kDriveFull) limit.emplace(fs::file_size(book));
      EXPECT_EQ(OnlyMessage(kAddPage), c.message);
    }
    if (c.trouble == Trouble::kFolderGone) {
      fs::remove(shelf);
      fs::rename(away, shelf);
    }
    if (before) {
      EXPECT_EQ(PagesIn(book), *before + (c.message == kSaved ? 1 : 0))
          << "a page not saved leaves the book as it was";
    } else {
      std::ifstream in(book);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not a book")
          << "a file that is no book is left alone";
    }
    EXPECT_NE(GetCursor(), nullptr);
    EXPECT_EQ(GetCursor(), LoadImageW(Toolbar().module, MAKEINTRESOURCEW(7008), IMAGE_ICON, 0, 0,
                                      LR_SHARED | LR_DEFAULTSIZE))
        << "the busy pointer";
    band_->CloseDW(0);
    band_.Reset();
  }
}

TEST_F(Commands, WhatDoesNothing) {
  struct Case {
    const char* name;
    bool withBrowser;
    HRESULT urlResult;
    WORD id, code;
  };
  const Case cases[] = {
      {"notification code 7 is dropped", true, S_OK, kAddPage, 7},
      {"no browser from the site", false, S_OK, kAddPage, 0},
      {"the browser gives no address", true, E_FAIL, kAddPage, 0},
      {"an identifier of no command", true, S_OK, 1004, 0},
      {"the help button with code 7", true, S_OK, kShowHelp, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Books({u"旅の本"});
    Place(c.withBrowser);
    ASSERT_TRUE(platform::ui::SelectComboRow(combo_, 1));
    ShowPage(true);
    browser_->urlResult = c.urlResult;
    EXPECT_TRUE(Command(c.id, c.code).empty());
    EXPECT_FALSE(fs::exists(BookFile(u"旅の本")));
    band_->CloseDW(0);
    band_.Reset();
  }
}

// A page whose address the ANSI code page cannot hold whole is asked for by that very address:
// what the code page lacks goes as UTF-8 percent escapes, the rest as it was.
TEST_F(Commands, AnAddressBeyondTheCodePageIsPassedEscaped) {
  nbtest::HttpServer server;
  server.SetHandler([](const nbtest::HttpRequest&) {
    return nbtest::HttpResponse{.headers = {{"Content-Type", "text/html; charset=utf-8"}},
                                .body = "<html><body><p>頁</p></body></html>"};
  });
  PlaceOn(u"旅の本");
  ShowPage(false);
  browser_->url = platform::com::Utf8ToUtf16(server.Url("/")) + u"한국어-page.html?q=%41";
  EXPECT_EQ(OnlyMessage(kAddPage), kSaved);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].target, "/%ED%95%9C%EA%B5%AD%EC%96%B4-page.html?q=%41");
  EXPECT_EQ(PagesIn(BookFile(u"旅の本")), 1u);
}

// 10100 follows the combo box only with notification code 1; the book button then speaks of the
// book chosen.
TEST_F(Commands, TheComboBoxSelectionIsFollowedOnCodeOne) {
  const auto notMade = [](std::u16string_view title) {
    return u"書籍『" + std::u16string(title) +
           u"』が、まだ作成されていません。\n[内容保存]ボタンを押して、書籍を作成後に取り込みが"
           u"できるようになります。";
  };
  struct Case {
    WORD code;
    std::u16string_view title;
  };
  for (const Case& c : {Case{0, u"マイブック"}, Case{1, u"料理の本"}}) {
    SCOPED_TRACE(c.code);
    Books({u"旅の本", u"料理の本"});
    Place();
    SendMessageW(combo_, CB_SETCURSEL, 2, 0);
    EXPECT_TRUE(Command(kBookSelected, c.code).empty());
    EXPECT_EQ(OnlyMessage(kOpenBook), notMade(c.title));
    band_->CloseDW(0);
    band_.Reset();
  }
}

TEST_F(Commands, TheBookGoesToTheReadersSoftwareOnlyWhenMade) {
  enum class File { kMissing, kEmpty, kMade };
  struct Case {
    const char* name;
    File file;
    const char* opener;  // null: one that records what it opens
    std::u16string_view message;
    UINT type;
  };
  const std::u16string notMade =
      u"書籍『50%sの本』が、まだ作成されていません。\n[内容保存]ボタンを押して、書籍を作成後に"
      u"取り込みができるようになります。";
  const std::u16string noReader =
      u"Nubra for Windowsが見つかりません。\nNubra for Windowsをインストールしてください。";
  const Case cases[] = {
      {"no book file", File::kMissing, nullptr, notMade, MB_OK},
      {"an empty book file", File::kEmpty, nullptr, notMade, MB_OK},
      {"a book, opened", File::kMade, nullptr, u"", 0},
      {"a book and nothing to open it", File::kMade, "/nonexistent/opener", noReader, MB_ICONHAND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlaceOn(u"50%sの本");
    fs::path book = BookFile(u"50%sの本");
    if (c.file == File::kEmpty) std::ofstream{book};
    if (c.file == File::kMade) {
      ShowPage(true);
      ASSERT_EQ(OnlyMessage(kAddPage), kSaved);
    }
    nbtest::RecordingOpener recording(folder_ / "opener");
    std::optional<nbtest::ScopedEnv> opener;
    if (c.opener) opener.emplace("NUBRA_OPENER", c.opener);
    auto boxes = Command(kOpenBook);
    if (c.message.empty()) {
      EXPECT_TRUE(boxes.empty());
      EXPECT_EQ(recording.Opened(), book.string());
    } else {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text, c.message);
      EXPECT_EQ(boxes[0].type, c.type);
      if (c.type == MB_OK) {
        EXPECT_EQ(boxes[0].caption, kCaption);
      }
      if (!c.opener) {
        EXPECT_FALSE(fs::exists(recording.Record())) << "nothing is started";
      }
    }
    band_->CloseDW(0);
    band_.Reset();
  }
}

TEST_F(Commands, HelpOpensTheHelpFileBesideTheLibrary) {
  Books({});
  Place();
  nbtest::RecordingOpener recording(folder_ / "opener");
  EXPECT_TRUE(Command(kShowHelp).empty());
  EXPECT_EQ(fs::path(recording.Opened()).filename(), "index.html");
}

}  // namespace
