// The toolbar's help file, opened as the help command opens it: the HTML Help control loaded
// by name, its ordinal 15, the default topic and its pages extracted, the opener run on it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/win32/htmlhelp.h"
#include "platform/win32/windows.h"
#include "tests/platform_com/temp_env.h"
#include "tests/support/opener.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

PFNHTMLHELPW HtmlHelpFunction() {
  static HMODULE module = LoadLibraryW(u"hhctrl.ocx");
  if (!module) return nullptr;
  return reinterpret_cast<PFNHTMLHELPW>(GetProcAddress(module, MAKEINTRESOURCEA(kHtmlHelpOrdinal)));
}

TEST(Help, TheHelpFileOpensAtItsTopicWithThePagesItLinks) {
  PFNHTMLHELPW help = HtmlHelpFunction();
  ASSERT_NE(help, nullptr) << "hhctrl.ocx beside libPlatform.so, ordinal 15";
  nbtest::RecordingOpener opener(nbtest::TempHome::Root() / "help-opener");
  std::u16string chm = platform::com::Utf8ToUtf16(NB_HELP_FILE);

  HWND viewer = help(nullptr, chm.c_str(), HH_DISPLAY_TOPIC, 0);
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(IsWindow(viewer));
  WCHAR text[128];
  GetWindowTextW(viewer, text, 128);
  EXPECT_EQ(std::u16string(text), u"Toolbar for Nubra ヘルプ");

  fs::path topic = opener.Opened();
  ASSERT_EQ(topic.filename(), "index.html");
  fs::path folder = topic.parent_path();
  EXPECT_EQ(folder.parent_path(), nbtest::TempHome::Root() / "cache" / "nubra-htmlhelp");
  struct stat st {};
  ASSERT_EQ(stat(folder.parent_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "the cache is the user's own";

  // The topic says what each button does, in Japanese; the pages it links come with it.
  std::string index = Slurp(topic);
  for (const char* words : {"内容保存", "取り込み", "書籍管理", "ヘルプ"})
    EXPECT_NE(index.find(words), std::string::npos) << words;
  struct Page {
    const char* file;
    const char* mentions;
  };
  const Page pages[] = {
      {"buttons.html", "Nubra for Windows"},
      {"books.html", "初期状態に戻します"},
      {"files.html", "ToolBar4NEval.xml"},
      {"messages.html", "ページを書籍に追加できませんでした。"},
      {"help.css", "font-family"},
  };
  for (const Page& p : pages) {
    SCOPED_TRACE(p.file);
    EXPECT_NE(Slurp(folder / p.file).find(p.mentions), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(folder / "toc.hhc")) << "only what the topic links";

  EXPECT_EQ(help(nullptr, chm.c_str(), HH_DISPLAY_TOPIC, 0), viewer) << "one viewer per file";
  EXPECT_EQ(help(nullptr, nullptr, HH_CLOSE_ALL, 0), nullptr);
  EXPECT_FALSE(IsWindow(viewer));
}

TEST(Help, NoViewerWhenNothingCanBeShown) {
  PFNHTMLHELPW help = HtmlHelpFunction();
  ASSERT_NE(help, nullptr);
  fs::path dir = nbtest::TempHome::Root() / "help-failures";
  fs::create_directories(dir);
  std::ofstream(dir / "plain.chm") << "<html>not a compiled help file</html>";
  std::u16string chm = platform::com::Utf8ToUtf16(NB_HELP_FILE);

  struct Case {
    const char* what;
    std::u16string file;
    const char* opener;  // null: a working one
  };
  const Case cases[] = {
      {"missing file", platform::com::Utf8ToUtf16((dir / "gone.chm").string()), nullptr},
      {"not a compiled help file", platform::com::Utf8ToUtf16((dir / "plain.chm").string()),
       nullptr},
      {"a folder", platform::com::Utf8ToUtf16(dir.string()), nullptr},
      {"no opener", chm, "/nonexistent/opener"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    nbtest::RecordingOpener working(dir / "opener");
    std::unique_ptr<nbtest::ScopedEnv> broken;
    if (c.opener) broken = std::make_unique<nbtest::ScopedEnv>("NUBRA_OPENER", c.opener);
    EXPECT_EQ(help(nullptr, c.file.c_str(), HH_DISPLAY_TOPIC, 0), nullptr);
    EXPECT_FALSE(fs::exists(working.Record()));
  }
}

}  // namespace
