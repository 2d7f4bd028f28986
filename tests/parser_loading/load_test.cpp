// Pages loaded by address through the parser into a real book, read back as `nbclip dump`
// prints it: each charset named in the header or in the page, local files, failures.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "contracts/NBKReader.h"
#include "parser/facade/NBParser.h"
#include "platform/com/com.h"
#include "platform/win32/ui/automation.h"
#include "tests/parser_loading/iconv_text.h"
#include "tests/support/http_server.h"

namespace fs = std::filesystem;

namespace {

using platform::com::Utf8ToUtf16;

const char kText[] = "日本語のページ「電子書籍」カタカナ ~user";

std::u16string Wide(const std::string& s) {
  return Utf8ToUtf16(s);
}
const unsigned short* U(const std::u16string& s) {
  return reinterpret_cast<const unsigned short*>(s.c_str());
}

// Undoes the dump's quoting of one text run (\\ \" \n \r \t; \u{..} is kept as written).
std::string Unquote(std::string_view q) {
  std::string out;
  for (std::size_t i = 0; i < q.size(); ++i) {
    if (q[i] == '\\' && i + 1 < q.size()) {
      char c = q[++i];
      out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    } else {
      out += q[i];
    }
  }
  return out;
}

// The text of each page of a dump, its runs joined.
std::vector<std::string> PageTexts(const std::string& dump) {
  std::vector<std::string> pages;
  std::size_t pos = 0;
  while (pos < dump.size()) {
    std::size_t end = dump.find('\n', pos);
    if (end == std::string::npos) end = dump.size();
    std::string_view line(dump.data() + pos, end - pos);
    if (line.starts_with("page ")) pages.emplace_back();
    std::size_t t = line.find_first_not_of(' ');
    if (!pages.empty() && t != std::string_view::npos && line.substr(t).starts_with("text \"") &&
        line.back() == '"') {
      pages.back() += Unquote(line.substr(t + 6, line.size() - t - 7));
    }
    pos = end + 1;
  }
  return pages;
}

class LoadTest : public ::testing::Test {
 protected:
  static fs::path BaseTemp() {
    static const fs::path base = fs::temp_directory_path();
    return base;
  }

  void SetUp() override {
    dir_ = BaseTemp() / ("nb-load-" + std::to_string(::getpid()) + "-" +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "tmp");
    for (const char* var : {"XDG_DATA_HOME", "XDG_DOCUMENTS_DIR", "NUBRA_REGISTRY_DIR"}) {
      fs::create_directories(dir_ / var);
      ::setenv(var, (dir_ / var).c_str(), 1);
    }
    ::setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
    ::setenv("NUBRA_COMMON_DIR", NB_SHARE_DIR, 1);
    platform::ui::ClearMessageBoxes();
    platform::ui::SetMessageBoxHandler([](const platform::ui::MessageBoxRecord&) { return 1; });
  }
  void TearDown() override {
    ::unsetenv("NUBRA_INET_TIMEOUT_MS");
    ::unsetenv("NUBRA_PAGE_MAX_BYTES");
    ::setenv("TMPDIR", BaseTemp().c_str(), 1);
    fs::remove_all(dir_);
  }

  fs::path CacheDir() const {
    return dir_ / "tmp" / ("nubra-" + std::to_string(::geteuid())) / "ZeveZadezCash";
  }
  // Files in the cache folders of every book (each book has a folder of its own in it).
  int CacheFiles() const {
    if (!fs::exists(CacheDir())) return 0;
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(CacheDir())) files += e.is_regular_file();
    return files;
  }

  // Makes a book of the given addresses; returns each AddPage result, checking after each
  // call that its cache copy is gone.
  std::vector<int> MakeBook(const std::vector<std::string>& urls) {
    std::vector<int> results;
    CNBParser parser;
    std::u16string book = (dir_ / "book.nbk").u16string();
    std::u16string design =
        Wide(std::string(NB_SHARE_DIR) + "/Vantor Shared/EnjoyNubra/Designs/Standard.nbk");
    std::u16string title = u"t";
    parser.SetNBKFileName(U(book));
    parser.SetDesignFileName(U(design));
    parser.SetBookTitle(U(title));
    EXPECT_EQ(parser.CreateNewBook(), 0);
    for (const std::string& url : urls) {
      std::u16string wide = Wide(url);
      if (url.starts_with("ansi:")) {
        // The ANSI form, with the address in the system code page.
        std::string ansi = nbtest::Encode(url.substr(5), "CP932");
        results.push_back(parser.AddPage(ansi.data(), 0, nullptr));
      } else {
        results.push_back(parser.AddPage(U(wide), 0, nullptr));
      }
      EXPECT_EQ(CacheFiles(), 0) << "a cache copy was left behind by " << url;
    }
    EXPECT_EQ(parser.FinalizeBook(), 0);
    return results;
  }

  std::vector<std::string> BookPages() {
    std::string error;
    std::optional<nbk::Book> book = nbk::ReadBook((dir_ / "book.nbk").string(), error);
    EXPECT_TRUE(book.has_value()) << error;
    if (!book) return {};
    dump_ = nbk::DumpText(*book);
    return PageTexts(dump_);
  }

  std::vector<std::u16string> Boxes() {
    std::vector<std::u16string> texts;
    for (const auto& r : platform::ui::MessageBoxes()) texts.push_back(r.text);
    return texts;
  }

  nbtest::HttpServer server_;
  fs::path dir_;
  std::string dump_;
};

std::string Page(const std::string& head, const std::string& text) {
  return "<html><head>" + head + "<title>x</title></head><body><p>" + text + "</p></body></html>";
}

TEST_F(LoadTest, CharsetFromHeaderOrPage) {
  struct Case {
    const char* name;
    const char* iconvName;
    std::string contentType;  // empty: no charset in the header
    std::string meta;
  } cases[] = {
      // (Each charset through the header or a meta element is covered by the nbclip test.)
      {"utf16-header", "UTF-16LE", "text/html; charset=UTF-16LE", ""},
      {"jis-meta", "ISO-2022-JP", "", R"(<meta charset=iso-2022-jp>)"},
      // A header charset without a code leaves the page to be searched.
      {"latin1-header-euc-meta", "EUC-JP", "text/html; charset=ISO-8859-1",
       R"(<meta http-equiv="Content-Type" content="text/html; charset=euc-jp">)"},
      // The header wins over the page.
      {"header-wins", "EUC-JP", "text/html; charset=EUC-JP", R"(<meta charset="utf-8">)"},
      {"no-declaration", "CP932", "", ""},
  };
  std::vector<std::string> urls;
  for (const Case& c : cases) {
    nbtest::HttpResponse r;
    if (!c.contentType.empty()) r.headers = {{"Content-Type", c.contentType}};
    r.body = nbtest::Encode(Page(c.meta, kText), c.iconvName);
    server_.Serve(std::string("/") + c.name, r);
    urls.push_back(server_.Url(std::string("/") + c.name));
  }
  std::vector<int> results = MakeBook(urls);
  std::vector<std::string> pages = BookPages();
  ASSERT_EQ(pages.size(), std::size(cases)) << dump_;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(results[i], 0);
    EXPECT_NE(pages[i].find(kText), std::string::npos) << pages[i];
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(LoadTest, LocalFiles) {
  fs::create_directories(dir_ / "my pages");
  {
    std::ofstream f(dir_ / "my pages" / "a page.html", std::ios::binary);
    f << nbtest::Encode(Page(R"(<meta charset="euc-jp">)", kText), "EUC-JP");
  }
  {
    // CR LF line ends in a UTF-8 page: read as text, they arrive as LF and then go.
    std::ofstream f(dir_ / "crlf.html", std::ios::binary);
    f << "<html><head><meta "
         "charset=\"utf-8\"></head><body><p>一行目\r\n二行目</p></body></html>\r\n";
  }
  fs::copy_file(dir_ / "crlf.html", dir_ / "日本 語.html");
  std::string base = "file://" + (dir_).string();
  std::string spaced = base + "/my%20pages/a%20page.html";
  std::vector<int> results = MakeBook(
      {spaced, base + "/crlf.html", base + "/missing.html", "ansi:" + base + "/日本%20語.html"});
  EXPECT_EQ(results, (std::vector<int>{0, 0, -1, 0}));
  // The missing page adds no page.
  std::vector<std::string> pages = BookPages();
  ASSERT_EQ(pages.size(), 3u) << dump_;
  EXPECT_NE(pages[0].find(kText), std::string::npos) << pages[0];
  EXPECT_NE(pages[1].find("一行目二行目"), std::string::npos) << pages[1];
  EXPECT_NE(pages[2].find("一行目二行目"), std::string::npos) << pages[2];
}

TEST_F(LoadTest, UnsupportedAddressesGiveMinusOneAndAddNoPage) {
  std::vector<int> results =
      MakeBook({"ftp://127.0.0.1/page.html", "https://127.0.0.1/x", "not an address"});
  EXPECT_EQ(results, (std::vector<int>{-1, -1, -1}));
  EXPECT_TRUE(BookPages().empty()) << dump_;
}

TEST_F(LoadTest, BrokenDownloadsFailClearlyAndKeepEarlierPages) {
  ::setenv("NUBRA_INET_TIMEOUT_MS", "1500", 1);
  // A smaller page limit, so the endless page reaches it well inside the timeout also on a
  // loaded machine under the sanitizers.
  ::setenv("NUBRA_PAGE_MAX_BYTES", "4194304", 1);
  std::string page = Page(R"(<meta charset="utf-8">)", kText);
  server_.Serve("/good", {.body = page});
  std::string big = page + std::string(20000, ' ');
  server_.Serve("/stall", {.body = big, .stallAfter = 10000});
  server_.Serve("/reset", {.body = big, .pieceSize = 1000, .resetAfter = 10000});
  server_.Serve("/truncated", {.body = big, .closeAfter = 10000});
  server_.Serve("/huge", {.generatedBytes = std::uint64_t{100} << 20, .pieceSize = 65536});
  std::string refused;
  {
    nbtest::HttpServer gone;
    refused = gone.Url("/x");
  }
  auto start = std::chrono::steady_clock::now();
  std::vector<int> results =
      MakeBook({server_.Url("/good"), server_.Url("/stall"), server_.Url("/reset"),
                server_.Url("/truncated"), server_.Url("/huge"), refused});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(results, (std::vector<int>{0, -1, -1, -1, -1, -1}));
  // Only the good page is in the book: a failed download adds no page.
  std::vector<std::string> pages = BookPages();
  ASSERT_EQ(pages.size(), 1u) << dump_;
  EXPECT_NE(pages[0].find(kText), std::string::npos);
  std::vector<std::u16string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0], u"Failed");
  EXPECT_EQ(boxes[1], u"Failed");
  EXPECT_EQ(boxes[2], u"Failed");
  EXPECT_NE(boxes[3].find(u"larger than 4194304 bytes"), std::u16string::npos);
}

}  // namespace
