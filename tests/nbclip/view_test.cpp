// nbclip view, end to end: pages converted into books, their previews compared with golden
// files (golden/*.html; NB_REBASELINE=1 ctest -R nbclip_view writes them), and the command's
// answers to bad input.
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/nbclip/cli.h"

namespace {

using namespace nbclip_test;

const fs::path kSource = NB_SOURCE_DIR;
const fs::path kPages = kSource / "tests/nbclip/pages";
const fs::path kGolden = kSource / "tests/nbclip/golden";
const std::string kNbclip = Quote(NBCLIP_PATH);

class ViewTest : public CliTest {
 protected:
  fs::path Convert(const std::vector<std::string>& pages, const std::string& options) {
    fs::path book = home_ / "book.nbk";
    std::string command = kNbclip + " convert";
    for (const std::string& p : pages) command += " " + Quote(p);
    Result r = Shell(command + " -o " + Quote(book.string()) + " " + options);
    EXPECT_EQ(r.status, 0) << r.out;
    return book;
  }

  // Files in folder whose names begin with a dot: the preview's temporary files.
  std::vector<std::string> Leftovers(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
      if (e.path().filename().string().starts_with(".")) names.push_back(e.path().string());
    }
    return names;
  }
};

TEST_F(ViewTest, GoldenPreviews) {
  struct Case {
    std::string name;
    std::vector<std::string> pages;
    std::string options;
  };
  const std::string sample = (kSource / "examples/sample/index.html").string();
  for (const Case& c : {
           Case{"sample",
                {sample},
                "--author 'Nubra' --book-id SAMPLE-1 --start-comment NBK-START --end-comment "
                "NBK-END --except-start NBK-SKIP --except-end /NBK-SKIP"},
           Case{"layout", {(kPages / "layout.html").string()}, ""},
           Case{"markers",
                {(kPages / "markers.html").string()},
                "--start-comment ' begin ' --end-comment E --except-start X --except-end /X"},
           Case{"frames", {(kPages / "frames.html").string()}, ""},
           Case{"divs", {(kPages / "divs.html").string()}, "--div main"},
           Case{"two-pages",
                {(kPages / "divs.html").string(), (kPages / "second.html").string()},
                "--toc-title Both"},
       }) {
    SCOPED_TRACE(c.name);
    fs::path book = Convert(c.pages, c.options);
    fs::path html = home_ / (c.name + ".html");
    Result r = Shell(kNbclip + " view " + Quote(book.string()) + " -o " + Quote(html.string()));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("preview: " + html.string()), std::string::npos) << r.out;
    std::string preview = ReadFile(html);
    EXPECT_EQ(preview.find("<script"), std::string::npos);
    EXPECT_EQ(preview.find("http://"), std::string::npos);
    ExpectGolden(kGolden / (c.name + ".html"), preview);
    fs::remove(book);
  }
}

TEST_F(ViewTest, PreviewGoesBesideTheBook) {
  fs::path book = Convert({(kPages / "second.html").string()}, "");
  Result r = Shell("cd " + Quote(home_.string()) + " && " + kNbclip + " view book.nbk");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("preview: book.html"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(home_ / "book.html"));
  // Viewing again replaces the preview and leaves nothing else behind.
  r = Shell(kNbclip + " view " + Quote(book.string()));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Leftovers(home_).empty());
}

// A book in a folder its reader cannot write: the preview goes into the user's cache folder.
// Tests run as root, for whom every folder is writable, so nbclip runs as nobody here.
TEST_F(ViewTest, ReadOnlyFolderPreviewGoesToTheCache) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run nbclip as another user";
  fs::path book = Convert({(kPages / "second.html").string()}, "");
  fs::path shelf = home_ / "shelf";
  fs::path user = home_ / "user";
  fs::create_directories(shelf);
  fs::create_directories(user);
  fs::copy_file(book, shelf / "book.nbk");
  fs::permissions(home_, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(shelf, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  ASSERT_EQ(chown(user.c_str(), 65534, 65534), 0);
  Result r =
      Shell("setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=" + Quote(user.string()) +
            " XDG_CACHE_HOME= " + kNbclip + " view " + Quote((shelf / "book.nbk").string()));
  if (r.status == 126 || r.status == 127) GTEST_SKIP() << "cannot run nbclip as nobody: " << r.out;
  ASSERT_EQ(r.status, 0) << r.out;
  fs::path cached = user / ".cache/nubra/previews/book.html";
  EXPECT_NE(r.out.find("preview: " + cached.string()), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("cannot be written"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(cached));
  EXPECT_FALSE(fs::exists(shelf / "book.html"));
}

TEST_F(ViewTest, BadInputIsReported) {
  fs::path book = Convert({(kPages / "second.html").string()}, "");
  fs::path text = home_ / "notes.nbk";
  std::ofstream(text) << "not a book\n";
  fs::path damaged = home_ / "damaged.nbk";
  std::string bytes = ReadFile(book);
  bytes[bytes.size() / 2] ^= 0x55;
  std::ofstream(damaged, std::ios::binary) << bytes;
  fs::path design = fs::path(NB_SHARE_DIR) / "Vantor Shared/EnjoyNubra/Designs/Standard.nbk";
  fs::path earlier = home_ / "earlier.html";
  std::ofstream(earlier) << "earlier preview";
  struct Case {
    std::string args;
    int status;
    std::string message;
  };
  const std::string b = Quote(book.string());
  for (const Case& c : {
           Case{"", 2, "usage: nbclip view"},
           Case{b + " --bogus", 2, "usage: nbclip view"},
           Case{b + " -o", 2, "-o needs a value"},
           Case{Quote((home_ / "missing.nbk").string()), 1, "cannot open"},
           Case{Quote(home_.string()), 1, "not a regular file"},
           Case{Quote(text.string()) + " -o " + Quote(earlier.string()), 1, "not an NBK file"},
           Case{Quote(damaged.string()) + " -o " + Quote(earlier.string()), 1, "damaged"},
           Case{Quote(design.string()), 1, "a design file, not a book"},
           Case{b + " -o /nonexistent-folder/x.html", 1, "cannot write /nonexistent-folder/x.html"},
           Case{b + " -o " + b, 1, "is the book itself"},
           Case{b + " -o " + Quote(home_.string()), 1, "is a folder"},
       }) {
    Result r = Shell(kNbclip + " view " + c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << "\n" << r.out;
  }
  // Nothing was lost or left behind: the book, the earlier preview and the folder as they were.
  EXPECT_EQ(ReadFile(earlier), "earlier preview");
  EXPECT_TRUE(fs::exists(book));
  EXPECT_TRUE(Leftovers(home_).empty());
  EXPECT_FALSE(fs::exists(home_ / "notes.html"));
}

TEST_F(ViewTest, OpenHandsThePreviewToTheDesktopOpener) {
  fs::path book = Convert({(kPages / "second.html").string()}, "");
  fs::path record = home_ / "opened.txt";
  fs::path opener = home_ / "opener.sh";
  std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" > " << Quote(record.string()) << "\n";
  fs::permissions(opener, fs::perms::owner_all);
  Result r = Shell("NUBRA_OPENER=" + Quote(opener.string()) + " " + kNbclip + " view " +
                   Quote(book.string()) + " --open");
  ASSERT_EQ(r.status, 0) << r.out;
  // The opener runs on its own; wait for it a little.
  for (int i = 0; i < 100 && ReadFile(record).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(ReadFile(record), (home_ / "book.html").string() + "\n");

  r = Shell("NUBRA_OPENER=/nonexistent/opener " + kNbclip + " view " + Quote(book.string()) +
            " --open");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("cannot open"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(home_ / "book.html"));
}

}  // namespace
