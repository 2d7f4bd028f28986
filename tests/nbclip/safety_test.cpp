// nbclip convert tried as an attacker and a careless user would: pages from 127.0.0.1 that
// reach for local files, conversions at once, writers killed mid-append, full drives and
// file-size limits, names that are no book, servers that stall. Nothing is lost, nothing
// leaks, and every failure is said in words.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/http_server.h"
#include "tests/support/shell.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const fs::path kSample = fs::path(NB_SOURCE_DIR) / "examples/sample";

using Result = nbtest::ShellResult;
using nbtest::Quote;
using nbtest::Shell;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string Be32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

// The sample's small PNG with a text chunk that carries marker (and padding, to make it
// larger): a whole image the reader shows, whose bytes name it.
std::string Png(const std::string& marker, std::size_t padding = 0) {
  static const std::string dot = ReadAll(kSample / "images/dot.png");
  std::string data = "Comment" + std::string(1, '\0') + marker + std::string(padding, '.');
  std::string chunk = "tEXt" + data;
  std::string text = Be32(static_cast<std::uint32_t>(data.size())) + chunk + Be32(Crc32(chunk));
  return dot.substr(0, 33) + text + dot.substr(33);  // after the signature and IHDR
}

class SafetyTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nbclip-safety-XXXXXX";
    home_ = mkdtemp(pattern);
    for (const char* sub : {"tmp", "data", "docs", "registry", "books", "local"}) {
      fs::create_directory(home_ / sub);
    }
    env_ = "HOME=" + Quote(home_.string()) + " TMPDIR=" + Quote((home_ / "tmp").string()) +
           " XDG_DATA_HOME=" + Quote((home_ / "data").string()) +
           " XDG_DOCUMENTS_DIR=" + Quote((home_ / "docs").string()) +
           " NUBRA_REGISTRY_DIR=" + Quote((home_ / "registry").string()) +
           " NUBRA_COMMON_DIR=" + Quote(NB_SHARE_DIR) + " ";
  }
  void TearDown() override { fs::remove_all(home_); }

  std::string Nbclip() const { return env_ + Quote(NBCLIP_PATH); }
  Result Convert(const std::string& args) { return Shell(Nbclip() + " convert " + args); }
  Result Dump(const fs::path& book) { return Shell(Nbclip() + " dump " + Quote(book.string())); }
  fs::path Book(const std::string& name) const { return home_ / "books" / name; }
  fs::path CacheRoot() const {
    return home_ / "tmp" / ("nubra-" + std::to_string(geteuid())) / "ZeveZadezCash";
  }
  std::string Page(const std::string& text, const std::string& more = "") const {
    return "<html><head><title>" + text + "</title></head><body><p>" + text + "</p>" + more +
           "</body></html>";
  }
  void ServePage(const std::string& path, const std::string& html) {
    server_.Serve(path, {.headers = {{"Content-Type", "text/html; charset=utf-8"}}, .body = html});
  }
  void ServePng(const std::string& path, const std::string& png,
                std::chrono::milliseconds delay = std::chrono::milliseconds(0)) {
    server_.Serve(
        path,
        {.headers = {{"Content-Type", "image/png"}}, .body = png, .delayBeforeHeaders = delay});
  }

  fs::path home_;
  std::string env_;
  nbtest::HttpServer server_;
};

// A marker in local files (a page, a style sheet's colour, an image's bytes) must reach no book
// made from a page served on 127.0.0.1, through frames, iframes, a base address, linked and
// imported style sheets or images, whether this host or the parser loads the page. The same
// pages as local files do bring the marker in: the test sees a leak when there is one.
TEST_F(SafetyTest, LocalFilesNeverReachABookOfAWebPage) {
  const fs::path local = home_ / "local";
  const std::string dir = "file://" + local.string() + "/";
  WriteAll(local / "secret.html", "<p>MARKER-in-a-page</p>");
  WriteAll(local / "secret.css", "p { color: #123456 }");
  WriteAll(local / "secret.png", Png("MARKER-in-an-image"));
  const std::string colour = "0x56341200";  // #123456 as the book stores it
  struct Case {
    const char* name;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"iframe", "<iframe src='" + dir + "secret.html'></iframe>"},
      {"frame", "<frameset><frame src='" + dir + "secret.html'><frame src='/plain'></frameset>"},
      {"image", "<p><img src='" + dir + "secret.png'></p>"},
      {"link", "<link rel=stylesheet href='" + dir + "secret.css'>"},
      {"import", "<style>@import '" + dir + "secret.css';</style>"},
      {"base", "<base href='" + dir +
                   "'><link rel=stylesheet href='secret.css'>"
                   "<iframe src='secret.html'></iframe><p><img src='secret.png'></p>"},
      {"plain-path", "<iframe src='" + local.string() + "/secret.html'></iframe><p><img src='" +
                         local.string() + "/secret.png'></p>"},
  };
  ServePage("/plain", Page("plain"));
  for (const Case& c : cases) {
    // A frameset is a page of its own kind: no body before it.
    const std::string html =
        c.body.starts_with("<frameset")
            ? "<html><head><title>web frame</title></head>" + c.body + "</html>"
            : Page(std::string("web ") + c.name, c.body);
    ServePage(std::string("/") + c.name, html);
    for (const char* how : {"", "--from-address "}) {
      SCOPED_TRACE(std::string(c.name) + " " + how);
      fs::path book = Book(std::string(c.name) + (*how ? "-parser" : "-host") + ".nbk");
      Result r = Convert(how + Quote(server_.Url(std::string("/") + c.name)) + " -o " +
                         Quote(book.string()) + " --quiet");
      ASSERT_EQ(r.status, 0) << r.out;
      Result dump = Dump(book);
      ASSERT_EQ(dump.status, 0) << dump.out;
      EXPECT_NE(dump.out.find("web "), std::string::npos);
      EXPECT_EQ(dump.out.find("MARKER"), std::string::npos) << dump.out;
      EXPECT_EQ(dump.out.find(colour), std::string::npos) << dump.out;
      EXPECT_EQ(ReadAll(book).find("MARKER"), std::string::npos);
    }
    // The control: the same page from a local file brings the marker in.
    WriteAll(local / (std::string(c.name) + ".html"), html);
    fs::path book = Book(std::string(c.name) + "-local.nbk");
    Result r = Convert(Quote((local / (std::string(c.name) + ".html")).string()) + " -o " +
                       Quote(book.string()) + " --quiet");
    ASSERT_EQ(r.status, 0) << r.out;
    std::string seen = Dump(book).out + ReadAll(book);
    EXPECT_TRUE(seen.find("MARKER") != std::string::npos || seen.find(colour) != std::string::npos)
        << c.name << ": the local page should bring its local files in";
  }
}

// Conversions at once (two browser windows, several hosts), half loaded by this host and half
// by the parser: each book gets exactly its own images, all of them.
TEST_F(SafetyTest, ConversionsAtOnceKeepTheirOwnImages) {
  constexpr int kBooks = 6, kImages = 3;
  for (int b = 0; b < kBooks; ++b) {
    std::string imgs;
    for (int i = 0; i < kImages; ++i) {
      std::string path = "/img-" + std::to_string(b) + "-" + std::to_string(i) + ".png";
      // Slow enough that the conversions overlap.
      ServePng(path, Png("IMG-" + std::to_string(b) + "-" + std::to_string(i) + "-END"),
               std::chrono::milliseconds(40 * (i + 1)));
      imgs += "<p><img src='" + path + "'></p>";
    }
    ServePage("/page-" + std::to_string(b), Page("page " + std::to_string(b), imgs));
  }
  std::string script;
  for (int b = 0; b < kBooks; ++b) {
    script += "( " + Nbclip() + " convert " + (b % 2 ? "--from-address " : "") +
              Quote(server_.Url("/page-" + std::to_string(b))) + " -o " +
              Quote(Book(std::to_string(b) + ".nbk").string()) +
              " --quiet > /dev/null 2>&1; echo " + std::to_string(b) + " $? ) & ";
  }
  Result all = Shell(script + "wait");
  for (int b = 0; b < kBooks; ++b) {
    SCOPED_TRACE(b);
    EXPECT_NE(all.out.find(std::to_string(b) + " 0\n"), std::string::npos) << all.out;
    std::string bytes = ReadAll(Book(std::to_string(b) + ".nbk"));
    for (int other = 0; other < kBooks; ++other) {
      for (int i = 0; i < kImages; ++i) {
        std::string marker = "IMG-" + std::to_string(other) + "-" + std::to_string(i) + "-END";
        EXPECT_EQ(Count(bytes, marker), other == b ? 1u : 0u) << marker;
      }
    }
    EXPECT_NE(Dump(Book(std::to_string(b) + ".nbk")).out.find("images 3\n"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(CacheRoot())) << "the last conversion removes the shared folder";
}

// Several writers appending to one book at once take turns: every page gets in, once.
TEST_F(SafetyTest, WritersAtOnceOnOneBookLoseNoPage) {
  constexpr int kWriters = 5;
  ServePng("/shared.png", Png("SHARED"), std::chrono::milliseconds(30));
  std::string script;
  for (int w = 0; w < kWriters; ++w) {
    ServePage("/w" + std::to_string(w),
              Page("writer " + std::to_string(w), "<p><img src='/shared.png'></p>"));
    script += "( " + Nbclip() + " convert " + Quote(server_.Url("/w" + std::to_string(w))) +
              " -o " + Quote(Book("shared.nbk").string()) +
              " --append --quiet > /dev/null 2>&1; echo writer $? ) & ";
  }
  Result all = Shell(script + "wait");
  EXPECT_EQ(Count(all.out, "writer 0\n"), static_cast<std::size_t>(kWriters)) << all.out;
  Result dump = Dump(Book("shared.nbk"));
  ASSERT_EQ(dump.status, 0) << dump.out;
  EXPECT_NE(dump.out.find("pages " + std::to_string(kWriters) + "\n"), std::string::npos);
  for (int w = 0; w < kWriters; ++w) {
    EXPECT_EQ(Count(dump.out, "text \"writer " + std::to_string(w) + "\""), 1u) << w;
  }
  EXPECT_EQ(Count(ReadAll(Book("shared.nbk")), "SHARED"), 1u) << "the image is stored once";
}

// A writer that has to wait for another says so, and for whom, and then gets its page in.
TEST_F(SafetyTest, WaitingWriterSaysForWhom) {
  ServePng("/slow.png", Png("SLOW"), std::chrono::milliseconds(2500));
  ServePage("/slow", Page("slow", "<p><img src='/slow.png'></p>"));
  ServePage("/quick", Page("quick"));
  const std::string book = Quote(Book("wait.nbk").string());
  Result both =
      Shell("( " + Nbclip() + " convert " + Quote(server_.Url("/slow")) + " -o " + book +
            " --append > /dev/null 2>&1; echo first $? ) & sleep 1; " + Nbclip() + " convert " +
            Quote(server_.Url("/quick")) + " -o " + book + " --append; echo second $?; wait");
  EXPECT_NE(both.out.find("first 0"), std::string::npos) << both.out;
  EXPECT_NE(both.out.find("second 0"), std::string::npos) << both.out;
  EXPECT_NE(both.out.find("nbclip convert: waiting for the book, which process "),
            std::string::npos)
      << both.out;
  EXPECT_NE(both.out.find("(nbclip) is writing"), std::string::npos) << both.out;
  EXPECT_NE(Dump(Book("wait.nbk")).out.find("pages 2\n"), std::string::npos);
}

// Appends killed at random moments, over and over: the book stays readable with every page of
// every append that finished, and the next run cleans what the killed ones left.
TEST_F(SafetyTest, AppendsKilledAtRandomLoseNothing) {
  ServePng("/crash.png", Png("CRASH", 20000), std::chrono::milliseconds(20));
  const fs::path book = Book("crash.nbk");
  auto append = [&](int round) -> pid_t {
    std::string url = server_.Url("/crash-" + std::to_string(round));
    ServePage("/crash-" + std::to_string(round),
              Page("round " + std::to_string(round), "<p><img src='/crash.png'></p>"));
    pid_t pid = fork();
    if (pid == 0) {
      std::string tmp = (home_ / "tmp").string(), data = (home_ / "data").string();
      setenv("TMPDIR", tmp.c_str(), 1);
      setenv("XDG_DATA_HOME", data.c_str(), 1);
      setenv("HOME", home_.c_str(), 1);
      setenv("NUBRA_COMMON_DIR", NB_SHARE_DIR, 1);
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execl(NBCLIP_PATH, "nbclip", "convert", url.c_str(), "-o", book.c_str(), "--append",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
  };
  auto finished = [](pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  // How long one append takes, to spread the kills over it.
  auto start = Clock::now();
  ASSERT_TRUE(finished(append(0)));
  const auto span = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
  std::set<int> done = {0};
  std::mt19937 random(20240611);
  constexpr int kRounds = 16;
  for (int round = 1; round <= kRounds; ++round) {
    pid_t pid = append(round);
    std::this_thread::sleep_for(std::chrono::microseconds(
        std::uniform_int_distribution<long>(0, span.count() * 5 / 4)(random)));
    kill(pid, SIGKILL);
    if (finished(pid)) done.insert(round);
    Result dump = Dump(book);
    ASSERT_EQ(dump.status, 0) << "round " << round << ": " << dump.out;
    for (int d : done) {
      EXPECT_EQ(Count(dump.out, "text \"round " + std::to_string(d) + "\""), 1u) << d;
    }
  }
  // The next run takes over from whatever the killed ones left.
  ASSERT_TRUE(finished(append(kRounds + 1)));
  Result dump = Dump(book);
  ASSERT_EQ(dump.status, 0);
  EXPECT_EQ(Count(dump.out, "text \"round " + std::to_string(kRounds + 1) + "\""), 1u);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(home_ / "books")) left.push_back(e.path().filename());
  EXPECT_EQ(left, (std::vector<std::string>{"crash.nbk"})) << "no .new or .lock left behind";
  EXPECT_FALSE(fs::exists(CacheRoot())) << "the killed runs' cache folders are cleaned";
  EXPECT_EQ(Count(ReadAll(book), "CRASH"), 1u);
}

// A book that cannot be written is an error with its reason, and the old book stays byte for
// byte; a failed page adds nothing. A file-size limit stands in for a full drive.
TEST_F(SafetyTest, WriteFailuresAreErrorsAndChangeNothing) {
  ServePage("/page", Page("a page"));
  const fs::path book = Book("full.nbk");
  ASSERT_EQ(
      Convert(Quote((kSample / "index.html").string()) + " -o " + Quote(book.string()) + " --quiet")
          .status,
      0);
  const std::string before = ReadAll(book);
  auto limited = [&](std::uintmax_t bytes, const std::string& args) {
    // Blocks of 512 bytes; the signal ignored, so a write past the limit fails with EFBIG.
    return Shell("trap '' XFSZ; ulimit -f " + std::to_string(bytes / 512) + "; " + Nbclip() +
                 " convert " + args);
  };
  struct Case {
    const char* name;
    std::string args;
    std::uintmax_t limit;
    std::string message;
  };
  const std::string url = Quote(server_.Url("/page"));
  std::string refused;
  {
    nbtest::HttpServer gone;
    refused = gone.Url("/page");
  }
  const std::vector<Case> cases = {
      {"append past the limit", url + " -o " + Quote(book.string()) + " --append",
       before.size() / 512 * 512, "was not written: there is not enough room for the book"},
      {"new book past the limit", url + " -o " + Quote(Book("new.nbk").string()), 0,
       "was not written: there is not enough room for the book"},
      {"page that cannot be loaded, by address",
       "--from-address " + Quote(refused) + " -o " + Quote(book.string()) + " --append", 1 << 30,
       "the page cannot be loaded"},
      {"an address that is no page",
       "--from-address ftp://127.0.0.1/x -o " + Quote(book.string()) + " --append", 1 << 30,
       "the page cannot be loaded"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result r = limited(c.limit, c.args);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("nothing was written to"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("(result"), std::string::npos) << "a reason, not a number";
    EXPECT_EQ(ReadAll(book), before);
    EXPECT_FALSE(fs::exists(Book("new.nbk")));
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(home_ / "books")) {
      left.push_back(e.path().filename());
    }
    EXPECT_EQ(left, (std::vector<std::string>{"full.nbk"}));
  }
}

// A full temporary folder (a small tmpfs): an image that does not fit is left out with a
// warning and the page goes in; a page whose copy does not fit is an error. Needs a mount
// namespace of one's own.
TEST_F(SafetyTest, FullTemporaryFolderIsSaid) {
  if (Shell("unshare -rm true").status != 0) GTEST_SKIP() << "no mount namespace here";
  std::string big(40000, 'x');
  ServePng("/big.png", Png("BIG", 40000));
  ServePage("/images", Page("with a big image", "<p><img src='/big.png'></p>"));
  ServePage("/bigpage", Page("a big page", "<p>" + big + "</p>"));
  const std::string tmp = Quote((home_ / "tmp").string());
  auto inFullTemp = [&](const std::string& args) {
    return Shell("unshare -rm sh -c " + Quote("mount -t tmpfs -o size=32k tmpfs " + tmp + " && " +
                                              Nbclip() + " convert " + args));
  };
  Result image =
      inFullTemp(Quote(server_.Url("/images")) + " -o " + Quote(Book("image.nbk").string()));
  EXPECT_EQ(image.status, 0) << image.out;
  EXPECT_NE(image.out.find("warning: image " + server_.Url("/big.png") +
                           " left out: the temporary folder had no room for the image"),
            std::string::npos)
      << image.out;
  EXPECT_NE(Dump(Book("image.nbk")).out.find("with a big image"), std::string::npos);
  Result page = inFullTemp("--from-address " + Quote(server_.Url("/bigpage")) + " -o " +
                           Quote(Book("page.nbk").string()));
  EXPECT_EQ(page.status, 1) << page.out;
  EXPECT_NE(page.out.find("the page arrived only in part, or the temporary folder had no room"),
            std::string::npos)
      << page.out;
  EXPECT_FALSE(fs::exists(Book("page.nbk")));
}

// -o replaces a book only. Anything else there is refused (a FIFO or folder at once, without
// waiting), unless --force for a plain file; a book that is a link is updated where it points;
// a file of the user's beside the book stays.
TEST_F(SafetyTest, ExistingFilesAtTheBooksNameAreGuarded) {
  const std::string page = (kSample / "index.html").string();
  WriteAll(home_ / "notes.txt", "my notes");
  ASSERT_EQ(mkfifo((home_ / "fifo.nbk").c_str(), 0600), 0);
  fs::create_directory(home_ / "folder.nbk");
  ASSERT_EQ(Convert(Quote(page) + " -o " + Quote(Book("real.nbk").string()) + " --quiet").status,
            0);
  fs::create_symlink(Book("real.nbk"), home_ / "link.nbk");
  WriteAll(home_ / "page.html", ReadAll(kSample / "index.html"));
  struct Case {
    const char* name;
    std::string args;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"a text file", Quote(page) + " -o " + Quote((home_ / "notes.txt").string()), 1,
       "exists and is not a book; only a book is replaced (--force replaces it anyway)"},
      {"the page itself",
       Quote((home_ / "page.html").string()) + " -o " + Quote((home_ / "page.html").string()), 1,
       "is the page being converted"},
      {"a FIFO", Quote(page) + " -o " + Quote((home_ / "fifo.nbk").string()), 1,
       "is not a regular file (a folder, FIFO or device)"},
      {"a FIFO, appended to",
       Quote(page) + " -o " + Quote((home_ / "fifo.nbk").string()) + " --append --force", 1,
       "is not a regular file"},
      {"a folder", Quote(page) + " -o " + Quote((home_ / "folder.nbk").string()) + " --force", 1,
       "is not a regular file"},
      {"a link to a book",
       Quote(page) + " -o " + Quote((home_ / "link.nbk").string()) + " --append", 0, "pages 2,"},
      {"a text file, forced",
       Quote(page) + " -o " + Quote((home_ / "notes.txt").string()) + " --force", 0, "pages 1,"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto start = Clock::now();
    Result r = Shell("timeout 60 env " + Nbclip() + " convert " + c.args + " --quiet");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30)) << "no waiting";
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
  }
  EXPECT_EQ(ReadAll(home_ / "page.html"), ReadAll(kSample / "index.html"));
  EXPECT_TRUE(fs::is_symlink(home_ / "link.nbk"));
  EXPECT_NE(Dump(Book("real.nbk")).out.find("pages 2\n"), std::string::npos);
  EXPECT_EQ(Dump(home_ / "notes.txt").status, 0) << "forced: a book now";
  // dump of a FIFO says what it is instead of waiting for a writer.
  Result dump =
      Shell("timeout 60 env " + Nbclip() + " dump " + Quote((home_ / "fifo.nbk").string()));
  EXPECT_EQ(dump.status, 1);
  EXPECT_NE(dump.out.find("not a regular file"), std::string::npos) << dump.out;
  // The user's own BOOK.nbk.new is not the writer's to remove.
  WriteAll(Book("real.nbk.new"), "draft");
  Result r = Convert(Quote(page) + " -o " + Quote(Book("real.nbk").string()) + " --append");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("is not the writer's own"), std::string::npos) << r.out;
  EXPECT_EQ(ReadAll(Book("real.nbk.new")), "draft");
}

// Servers that stall cost the page's time once, not each download's in turn: the page goes in
// with what came, the images past the time are left out with one warning, and progress names
// each download (here the style sheet that took the time) unless --quiet.
TEST_F(SafetyTest, StallingServersCostThePagesTimeOnce) {
  std::string imgs;
  for (int i = 0; i < 4; ++i) {
    ServePng("/stall-" + std::to_string(i) + ".png", Png("S"), std::chrono::seconds(60));
    imgs += "<p><img src='/stall-" + std::to_string(i) + ".png'></p>";
  }
  server_.Serve("/stall.css", {.headers = {{"Content-Type", "text/css"}},
                               .body = "p{}",
                               .delayBeforeHeaders = std::chrono::seconds(60)});
  ServePage("/stalling", Page("patience", "<link rel=stylesheet href='/stall.css'>" + imgs));
  for (bool quiet : {false, true}) {
    SCOPED_TRACE(quiet ? "quiet" : "with progress");
    auto start = Clock::now();
    Result r = Convert(Quote(server_.Url("/stalling")) + " -o " +
                       Quote(Book(quiet ? "q.nbk" : "p.nbk").string()) + " --page-time 2" +
                       (quiet ? " --quiet" : ""));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(12));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Count(r.out, "the time for the page's downloads ran out"), 1u) << r.out;
    EXPECT_EQ(r.out.find("nbclip convert: fetching ") == std::string::npos, quiet) << r.out;
    EXPECT_NE(Dump(Book(quiet ? "q.nbk" : "p.nbk")).out.find("patience"), std::string::npos);
  }
  Result bad = Convert(Quote(server_.Url("/stalling")) + " -o " + Quote(Book("x.nbk").string()) +
                       " --page-time soon");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.out.find("--page-time needs a number"), std::string::npos) << bad.out;
}

// SVG images that would take minutes to draw cost the page its time, not more: the page is
// converted with the images drawn before them, and the slow ones are left out with a warning.
TEST_F(SafetyTest, SlowSvgImagesCostThePagesTimeOnly) {
  std::string slow = "<svg xmlns='http://www.w3.org/2000/svg' width='2048' height='2048'>";
  for (int i = 0; i < 100; ++i) {
    std::string id = "f" + std::to_string(i);
    slow += "<filter id='" + id +
            "'><feGaussianBlur stdDeviation='300'/></filter><rect width='2048' "
            "height='2048' filter='url(#" +
            id + ")'/>";
  }
  slow += "</svg>";
  std::ofstream(home_ / "local" / "slow.svg") << slow;
  std::ofstream(home_ / "local" / "small.svg")
      << "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20'><rect width='40' "
         "height='20'/></svg>";
  std::ofstream(home_ / "local" / "page.html")
      << Page("drawn in time", "<img src='small.svg'><img src='slow.svg'><img src='slow.svg?2'>");
  auto start = Clock::now();
  Result r = Convert(Quote((home_ / "local" / "page.html").string()) + " -o " +
                     Quote(Book("svg.nbk").string()) + " --page-time 2 --quiet");
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Count(r.out, "an SVG image was not drawn within"), 1u) << r.out;
  std::string dump = Dump(Book("svg.nbk")).out;
  EXPECT_NE(dump.find("drawn in time"), std::string::npos);
  EXPECT_NE(dump.find("png 40x20"), std::string::npos) << dump;
}

}  // namespace
