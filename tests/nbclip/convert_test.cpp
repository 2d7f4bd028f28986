// nbclip convert, end to end: pages in, the book's dump compared with golden files.
#include <string>
#include <vector>

#include "contracts/NBKReader.h"
#include "tests/nbclip/cli.h"

namespace {

using namespace nbclip_test;

const fs::path kSource = NB_SOURCE_DIR;
const fs::path kPages = kSource / "tests/nbclip/pages";
const fs::path kGolden = kSource / "tests/nbclip/golden";

class ConvertTest : public CliTest {
 protected:
  // Converts, checks the summary line and that the cache folder is gone, and returns the dump.
  std::string ConvertAndDump(const std::vector<std::string>& pages, const std::string& options) {
    std::string command = Quote(NBCLIP_PATH) + " convert";
    for (const std::string& p : pages) command += " " + Quote(p);
    fs::path book = home_ / "book.nbk";
    Result convert = Shell(command + " -o " + Quote(book.string()) + " " + options);
    EXPECT_EQ(convert.status, 0) << convert.out;
    EXPECT_NE(convert.out.find("book: " + book.string()), std::string::npos) << convert.out;
    EXPECT_NE(convert.out.find("pages "), std::string::npos) << convert.out;
    EXPECT_FALSE(fs::exists(CacheRoot()));
    Result dump = Shell(Quote(NBCLIP_PATH) + " dump " + Quote(book.string()));
    EXPECT_EQ(dump.status, 0) << dump.out;
    return dump.out;
  }

  void ExpectGolden(const std::string& name, const std::string& dump) {
    nbclip_test::ExpectGolden(kGolden / (name + ".dump"), dump);
  }
};

TEST_F(ConvertTest, BundledSample) {
  std::string dump = ConvertAndDump(
      {(kSource / "examples/sample/index.html").string()},
      "--author 'Nubra' --book-id SAMPLE-1 --start-comment NBK-START --end-comment NBK-END "
      "--except-start NBK-SKIP --except-end /NBK-SKIP");
  EXPECT_EQ(dump.find("Site navigation"), std::string::npos);
  EXPECT_EQ(dump.find("advertisement"), std::string::npos);
  EXPECT_EQ(dump.find("Footer"), std::string::npos);
  EXPECT_NE(dump.find("images 3"), std::string::npos);
  EXPECT_NE(dump.find("buttons 2"), std::string::npos);
  ExpectGolden("sample", dump);
}

TEST_F(ConvertTest, LayoutRules) {
  ExpectGolden("layout", ConvertAndDump({(kPages / "layout.html").string()}, ""));
}

TEST_F(ConvertTest, Markers) {
  ExpectGolden("markers",
               ConvertAndDump({(kPages / "markers.html").string()},
                              "--start-comment ' begin ' --end-comment E --except-start X "
                              "--except-end /X"));
}

TEST_F(ConvertTest, FramesOntoOnePage) {
  std::string dump = ConvertAndDump({(kPages / "frames.html").string()}, "");
  EXPECT_NE(dump.find("pages 1"), std::string::npos);
  ExpectGolden("frames", dump);
}

TEST_F(ConvertTest, DivById) {
  ExpectGolden("divs", ConvertAndDump({(kPages / "divs.html").string()}, "--div main"));
}

TEST_F(ConvertTest, TwoPagesShareOneImage) {
  std::string dump = ConvertAndDump(
      {(kPages / "divs.html").string(), (kPages / "second.html").string()}, "--toc-title Both");
  EXPECT_NE(dump.find("images 1"), std::string::npos);
  ExpectGolden("two-pages", dump);
}

TEST_F(ConvertTest, AppendKeepsTheFirstPage) {
  fs::path book = home_ / "book.nbk";
  std::string first = ConvertAndDump({(kPages / "second.html").string()}, "--title Appended");
  Result again = Shell(Quote(NBCLIP_PATH) + " convert " + Quote((kPages / "frame2.html").string()) +
                       " -o " + Quote(book.string()) + " --title Appended --append");
  ASSERT_EQ(again.status, 0) << again.out;
  Result dump = Shell(Quote(NBCLIP_PATH) + " dump " + Quote(book.string()));
  EXPECT_NE(dump.out.find("pages 2"), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("The same image again"), std::string::npos);
  EXPECT_NE(dump.out.find("second frame"), std::string::npos);
}

// Appending names the book again only where asked: what is not given stays the book's own.
TEST_F(ConvertTest, AppendKeepsTheBookNamesNotGivenAgain) {
  fs::path book = home_ / "named.nbk";
  auto convert = [&](const fs::path& page, const std::string& options) {
    Result r = Shell(Quote(NBCLIP_PATH) + " convert " + Quote(page.string()) + " -o " +
                     Quote(book.string()) + " " + options);
    ASSERT_EQ(r.status, 0) << r.out;
  };
  convert(kPages / "second.html",
          "--title First --author Ann --title-reading fa --author-reading an --book-id B1");
  struct Step {
    const char* options;
    const char16_t* title;
    const char16_t* author;
  } steps[] = {{"--append", u"First", u"Ann"},
               {"--append --author Bob", u"First", u"Bob"},
               {"--append --title Renamed", u"Renamed", u"Bob"}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.options);
    convert(kPages / "frame2.html", step.options);
    std::string error;
    std::optional<nbk::Book> read = nbk::ReadBook(book.string(), error);
    ASSERT_TRUE(read && read->meta) << error;
    EXPECT_EQ(read->meta->title, step.title);
    EXPECT_EQ(read->meta->author, step.author);
    EXPECT_EQ(read->meta->titleReading, u"fa");
    EXPECT_EQ(read->meta->authorReading, u"an");
    EXPECT_EQ(read->meta->bookId, u"B1");
    ASSERT_TRUE(read->cover);
  }
}

// Issue 13's faults, end to end through the document model and the writer: sizes that do not
// compound, blanks between words, PRE lines, blocks and list markers, every link connected to a
// placed block, hidden content left out, SVG drawn, alt text, colour names, line heights.
TEST_F(ConvertTest, FidelityOnARealisticPage) {
  std::string dump = ConvertAndDump({(kPages / "fidelity.html").string()}, "");
  auto has = [&dump](const std::string& s) { return dump.find(s) != std::string::npos; };
  // body{font-size:90%}: H1 180, H2 135, H3 105, every paragraph 90 (0x5a), headings bold.
  EXPECT_TRUE(
      has("attr 0xf511 = 0x000000b4\n      attr 0xf51b = 0x00000113\n      attr 0xf53c = "
          "0x00000001\n      attr 0xf517 = 0x00000000\n      attr 0xf515 = 0x000002bc"));
  EXPECT_FALSE(has("attr 0xf511 = 0x00000051"));  // 81: a second paragraph shrunk again
  EXPECT_FALSE(has("command 0xf511"));            // the link in H1 keeps the heading's size
  EXPECT_TRUE(has("text \" b\""));                // <code>a</code> <code>b</code>
  EXPECT_TRUE(has("text \"    a, b = 0, 1\""));
  EXPECT_TRUE(has("text \"\\treturn a\""));
  EXPECT_TRUE(has("text \"10. ten\""));
  EXPECT_TRUE(has("text \"\u2022 in a paragraph\""));
  EXPECT_TRUE(has("text \"1.2.\""));
  EXPECT_TRUE(has("png 40x20"));
  EXPECT_TRUE(has("text \" [missing image]\""));
  EXPECT_TRUE(has("attr 0xf517 = 0x80808000"));  // grey
  EXPECT_TRUE(has("attr 0xf517 = 0x99336600"));  // rebeccapurple
  EXPECT_TRUE(has("attr 0xf51b = 0x00000087"));  // line-height 1.5 at 90
  EXPECT_TRUE(has("text \"The page's closing words.\""));
  EXPECT_TRUE(has("text \"Loose words before the first heading.\""));
  EXPECT_TRUE(has("text \"After an empty comment.\""));
  for (const char* hidden : {"not shown", "hidden", "A whole frame", "A template"})
    EXPECT_FALSE(has(hidden)) << hidden;
  EXPECT_FALSE(has("location 0 65"));  // a negative margin is no location
  // Six buttons, each jumping to a block of the page.
  EXPECT_TRUE(has("buttons 6"));
  std::istringstream lines(dump);
  int jumps = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("  button #") && line.find("-> page 1 (#2) block ") != std::string::npos)
      ++jumps;
  }
  EXPECT_EQ(jumps, 6);
  ExpectGolden("fidelity", dump);
}

TEST_F(ConvertTest, Utf16WithoutAByteOrderMark) {
  std::string expected = "text \"UTF-16 without a byte order mark: \u65e5\u672c\u8a9e\"";
  std::string hosted = ConvertAndDump({(kPages / "utf16.html").string()}, "");
  EXPECT_NE(hosted.find(expected), std::string::npos) << hosted;
  std::string loaded = ConvertAndDump({(kPages / "utf16.html").string()}, "--from-address");
  EXPECT_NE(loaded.find(expected), std::string::npos) << loaded;
}

// The summary counts what the book holds, as reading it whole gives it, appended pages too.
TEST_F(ConvertTest, TheSummaryCountsWhatTheBookHolds) {
  fs::path book = home_ / "summary.nbk";
  struct Step {
    fs::path page;
    const char* options;
  } steps[] = {{kSource / "examples/sample/index.html", ""},
               {kPages / "second.html", "--append"},
               {kPages / "layout.html", "--append"}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.page.string());
    Result r = Shell(Quote(NBCLIP_PATH) + " convert " + Quote(step.page.string()) + " -o " +
                     Quote(book.string()) + " " + step.options);
    ASSERT_EQ(r.status, 0) << r.out;
    std::string error;
    std::optional<nbk::Book> read = nbk::ReadBook(book.string(), error);
    ASSERT_TRUE(read) << error;
    std::size_t blocks = 0, characters = 0;
    for (const nbk::Page& page : read->pages) {
      for (const nbk::PageItem& item : page.items) {
        if (const auto* text = std::get_if<nbk::TextBlock>(&item)) {
          ++blocks;
          for (const nbk::TextItem& t : text->items) {
            if (t.op == nbk::StreamOp::kText) characters += t.text.size();
          }
        } else if (std::holds_alternative<nbk::ImageBlock>(item)) {
          ++blocks;
        }
      }
    }
    EXPECT_GT(characters, 0u);
    std::string expected = "pages " + std::to_string(read->pages.size()) + ", blocks " +
                           std::to_string(blocks) + ", characters " + std::to_string(characters) +
                           ", images " + std::to_string(read->images.size()) + ", links " +
                           std::to_string(read->buttons.size());
    EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
  }
}

TEST_F(ConvertTest, APageWithNoTextIsReported) {
  fs::path page = home_ / "empty.html";
  std::ofstream(page, std::ios::binary) << "<html><body><img src=\"none.png\"></body></html>";
  Result r = Shell(Quote(NBCLIP_PATH) + " convert " + Quote(page.string()) + " -o " +
                   Quote((home_ / "empty.nbk").string()));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("warning: " + page.string() + " yielded no text"), std::string::npos)
      << r.out;
  Result ok = Shell(Quote(NBCLIP_PATH) + " convert " + Quote((kPages / "second.html").string()) +
                    " -o " + Quote((home_ / "second.nbk").string()));
  EXPECT_EQ(ok.out.find("warning"), std::string::npos) << ok.out;
}

TEST_F(ConvertTest, FailuresAreReported) {
  struct Case {
    std::string args;
    int status;
    std::string message;
  };
  std::string page = Quote((kPages / "second.html").string());
  for (const Case& c :
       {Case{page + " -o /nonexistent-folder/x/book.nbk", 1, "cannot open the book"},
        Case{page + " -o " + Quote((home_ / "b.nbk").string()) + " --design /no/design.nbk", 1,
             "no design file /no/design.nbk"},
        Case{Quote((kPages / "missing.html").string()) + " -o b.nbk", 1, "cannot load"},
        Case{page, 2, "usage"}, Case{page + " -o", 2, "needs a value"}}) {
    Result r = Shell(Quote(NBCLIP_PATH) + " convert " + c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << "\n" << r.out;
  }
  EXPECT_FALSE(fs::exists(CacheRoot()));
}

// Pages built to hurt: no crash, no runaway recursion, a book all the same.
TEST_F(ConvertTest, HostilePages) {
  struct Case {
    std::string name, html;
  };
  std::string deep, links, huge(1 << 20, 'x');
  for (int i = 0; i < 100000; ++i) deep += i % 2 ? "<div>" : "<span>";
  deep += "bottom";
  for (int i = 0; i < 5000; ++i) links += "<a href=\"#n\">x</a>";
  links += "<a name=\"n\">target</a>";
  for (const Case& c :
       {Case{"deep", "<body>" + deep + "</body>"},
        Case{"links", "<body><p>" + links + "</p></body>"},
        Case{"huge", "<body><p><a href=\"#" + huge + "\" name=\"" + huge + "\">h</a><img src=\"" +
                         huge + "\"><hr size=\"" + huge + "\"></p></body>"}}) {
    fs::path page = home_ / (c.name + ".html");
    std::ofstream(page, std::ios::binary) << c.html;
    Result r = Shell(Quote(NBCLIP_PATH) + " convert " + Quote(page.string()) + " -o " +
                     Quote((home_ / (c.name + ".nbk")).string()));
    EXPECT_EQ(r.status, 0) << c.name << "\n" << r.out.substr(0, 2000);
    EXPECT_NE(r.out.find("pages 1"), std::string::npos) << c.name << "\n" << r.out.substr(0, 2000);
  }
}

}  // namespace

TEST_F(ConvertTest, UsageWhenAskedAndWhenWrong) {
  struct Case {
    std::string args;
    int status;
  };
  for (const Case& c : {Case{"--help", 0}, Case{"-h", 0}, Case{"", 2}, Case{"bogus", 2}}) {
    Result r = Shell(Quote(NBCLIP_PATH) + " " + c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find("usage: nbclip COMMAND"), std::string::npos) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find("  convert PAGE..."), std::string::npos) << c.args << "\n" << r.out;
  }
}
