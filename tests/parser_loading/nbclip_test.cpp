// `nbclip convert --from-address` end to end: pages served on 127.0.0.1 in each charset, the
// book read back with `nbclip dump`.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/parser_loading/iconv_text.h"
#include "tests/support/http_server.h"

namespace fs = std::filesystem;

namespace {

// Runs a shell command; gives its standard output and sets status to its exit status.
std::string RunCommand(const std::string& command, int& status) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) {
    status = -1;
    return out;
  }
  char buf[4096];
  while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  int raw = ::pclose(p);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::string Quoted(const std::string& s) {
  return "'" + s + "'";
}

TEST(NbclipFromAddress, ConvertsEachCharsetAndReportsIt) {
  fs::path dir = fs::temp_directory_path() / ("nb-nbclip-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  for (const char* var : {"XDG_DATA_HOME", "XDG_DOCUMENTS_DIR", "NUBRA_REGISTRY_DIR", "tmp"}) {
    fs::create_directories(dir / var);
  }
  std::string env = "TMPDIR=" + Quoted((dir / "tmp").string()) +
                    " XDG_DATA_HOME=" + Quoted((dir / "XDG_DATA_HOME").string()) +
                    " XDG_DOCUMENTS_DIR=" + Quoted((dir / "XDG_DOCUMENTS_DIR").string()) +
                    " NUBRA_REGISTRY_DIR=" + Quoted((dir / "NUBRA_REGISTRY_DIR").string()) +
                    " NUBRA_COMMON_DIR=" + Quoted(NB_SHARE_DIR) + " ";
  const std::string text = "東京の天気は晴れです";
  nbtest::HttpServer server;
  struct Case {
    const char* path;
    const char* iconvName;
    const char* contentType;
    const char* meta;
    int code;
  } cases[] = {
      {"/sjis", "CP932", "text/html; charset=Shift_JIS", "", 1},
      {"/euc", "EUC-JP", "text/html",
       R"(<meta http-equiv="Content-Type" content="text/html; charset=EUC-JP">)", 2},
      {"/jis", "ISO-2022-JP", "text/html; charset=ISO-2022-JP", "", 3},
      {"/utf16", "UTF-16LE", "text/html; charset=UTF-16", "", 16},
      {"/utf8", "UTF-8", "text/html", R"(<meta charset="utf-8">)", 17},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string page =
        std::string("<html><head>") + c.meta + "</head><body><p>" + text + "</p></body></html>";
    server.Serve(c.path, {.headers = {{"Content-Type", c.contentType}},
                          .body = nbtest::Encode(page, c.iconvName)});
    std::string book = (dir / (std::string(c.path + 1) + ".nbk")).string();
    int status = 0;
    std::string out = RunCommand(env + Quoted(NBCLIP) + " convert --from-address " +
                                     Quoted(server.Url(c.path)) + " -o " + Quoted(book) + " 2>&1",
                                 status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("charset code " + std::to_string(c.code) + " result 0"), std::string::npos)
        << out;
    std::string dump = RunCommand(Quoted(NBCLIP) + " dump " + Quoted(book), status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(dump.find("text \"" + text + "\""), std::string::npos) << dump;
  }

  int status = 0;
  std::string book = (dir / "ftp.nbk").string();
  std::string out =
      RunCommand(env + Quoted(NBCLIP) + " convert --from-address ftp://127.0.0.1/x -o " +
                     Quoted(book) + " 2>&1",
                 status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("result -1"), std::string::npos) << out;
  EXPECT_NE(out.find("the page cannot be loaded"), std::string::npos) << out;
  // Nothing is written: no book, no empty page, nothing left in the temporary folder.
  EXPECT_FALSE(fs::exists(book));
  for (const auto& e : fs::recursive_directory_iterator(dir / "tmp")) {
    EXPECT_FALSE(e.is_regular_file()) << e.path();
    EXPECT_EQ(e.path().filename().string().find("ZeveZadezCash"), std::string::npos) << e.path();
  }
  fs::remove_all(dir);
}

// A local page loaded by address keeps its images, also from a folder whose name has a blank.
TEST(NbclipFromAddress, LocalPageKeepsItsImages) {
  fs::path dir = fs::temp_directory_path() / ("nb-nbclip-local-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "tmp");
  fs::copy(fs::path(NB_SOURCE_DIR) / "examples" / "sample", dir / "my pages",
           fs::copy_options::recursive);
  std::string env = "TMPDIR=" + Quoted((dir / "tmp").string()) +
                    " XDG_DATA_HOME=" + Quoted(dir.string()) +
                    " NUBRA_REGISTRY_DIR=" + Quoted(dir.string()) +
                    " NUBRA_COMMON_DIR=" + Quoted(NB_SHARE_DIR) + " ";
  const std::string address = "file://" + dir.string() + "/my%20pages/index.html";
  const std::string book = (dir / "local.nbk").string();
  {
    int status = 0;
    std::string out = RunCommand(env + Quoted(NBCLIP) + " convert --from-address " +
                                     Quoted(address) + " -o " + Quoted(book) + " 2>&1",
                                 status);
    EXPECT_EQ(status, 0) << out;
    std::string dump = RunCommand(Quoted(NBCLIP) + " dump " + Quoted(book), status);
    EXPECT_NE(dump.find("images 3\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("image-block"), std::string::npos) << dump;
  }
  fs::remove_all(dir);
}

}  // namespace
