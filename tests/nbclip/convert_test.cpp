// nbclip convert, end to end: pages in, the book's dump compared with golden files.
#include <string>
#include <vector>

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
