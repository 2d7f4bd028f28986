// The HTML Help control on a help file whose pages link into folders, out of the archive and
// to places it does not hold: what is extracted, and what is opened.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/win32/htmlhelp.h"
#include "platform/win32/windows.h"
#include "tests/platform_com/temp_env.h"
#include "tests/support/opener.h"

namespace fs = std::filesystem;

namespace {

PFNHTMLHELPW HtmlHelpFunction() {
  static HMODULE module = LoadLibraryW(u"hhctrl.ocx");
  return module ? reinterpret_cast<PFNHTMLHELPW>(GetProcAddress(module, MAKEINTRESOURCEA(15)))
                : nullptr;
}

// Every file below folder, as paths relative to it.
std::set<std::string> FilesBelow(const fs::path& folder) {
  std::set<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) files.insert(fs::relative(e.path(), folder).string());
  return files;
}

TEST(HtmlHelp, ExtractsTheTopicAndWhatItLinksInsideTheArchive) {
  PFNHTMLHELPW help = HtmlHelpFunction();
  ASSERT_NE(help, nullptr);
  nbtest::RecordingOpener opener(nbtest::TempHome::Root() / "links-opener");
  std::u16string chm = platform::com::Utf8ToUtf16(NB_LINKS_CHM);
  HWND viewer = help(nullptr, chm.c_str(), HH_DISPLAY_TOPIC, 0);
  ASSERT_NE(viewer, nullptr);
  WCHAR title[64];
  GetWindowTextW(viewer, title, 64);
  EXPECT_EQ(std::u16string(title), u"リンクの試験");

  fs::path topic = opener.Opened();
  ASSERT_EQ(topic.filename(), "start.html");
  fs::path cache = nbtest::TempHome::Root() / "cache" / "nubra-htmlhelp";
  EXPECT_EQ(FilesBelow(topic.parent_path()),
            (std::set<std::string>{"start.html", "other.html", "sub/page.html", "sub/look.css",
                                   "sub/img-x.txt"}))
      << "linked pages, a style sheet and what it names; not the page nobody links";
  EXPECT_EQ(FilesBelow(cache).size(), 5u) << "nothing outside the help file's folder";
  EXPECT_FALSE(fs::exists(nbtest::TempHome::Root() / "escape.html"));
  help(nullptr, nullptr, HH_CLOSE_ALL, 0);
}

TEST(HtmlHelp, TopicNamedAfterTheFile) {
  PFNHTMLHELPW help = HtmlHelpFunction();
  ASSERT_NE(help, nullptr);
  std::u16string chm = platform::com::Utf8ToUtf16(NB_LINKS_CHM);
  struct Case {
    const char* what;
    std::u16string file;
    std::u16string data;
    const char* opened;  // null: nothing is opened
  };
  const Case cases[] = {
      {"page after ::", chm + u"::/other.html", u"", "other.html"},
      {"page as data", chm, u"sub/page.html", "page.html"},
      {"window name after >", chm + u"::/other.html>main", u"", "other.html"},
      {"page the file does not hold", chm + u"::/none.html", u"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    nbtest::RecordingOpener opener(nbtest::TempHome::Root() / "topic-opener");
    DWORD_PTR data = c.data.empty() ? 0 : reinterpret_cast<DWORD_PTR>(c.data.c_str());
    HWND viewer = help(nullptr, c.file.c_str(), HH_DISPLAY_TOPIC, data);
    if (!c.opened) {
      EXPECT_EQ(viewer, nullptr);
      continue;
    }
    EXPECT_NE(viewer, nullptr);
    EXPECT_EQ(fs::path(opener.Opened()).filename(), c.opened);
  }
  EXPECT_EQ(help(nullptr, chm.c_str(), HH_DISPLAY_TOC + 100, 0), nullptr) << "unknown command";
  help(nullptr, nullptr, HH_CLOSE_ALL, 0);
}

}  // namespace
