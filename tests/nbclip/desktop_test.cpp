// nbclip register/unregister --desktop with the XDG folders in a temporary home: the desktop's
// own tools (xdg-mime, xdg-open) find the book type and the preview, and opening a book through
// the opener runs the preview.
#include <chrono>
#include <string>
#include <thread>

#include "tests/nbclip/cli.h"

namespace {

using namespace nbclip_test;

const std::string kNbclip = Quote(NBCLIP_PATH);

class DesktopTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    // A desktop of no known kind, so xdg-open and xdg-mime use the XDG folders alone.
    for (const char* v : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                          "GNOME_DESKTOP_SESSION_ID", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"}) {
      unsetenv(v);
    }
    // Only the user's folders, so the machine's own associations do not answer.
    setenv("XDG_DATA_DIRS", (home_ / "system").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (home_ / "system").c_str(), 1);
    entry_ = home_ / "data/applications/nubra-book-preview.desktop";
    package_ = home_ / "data/mime/packages/nubra-book.xml";
  }

  std::string Query(const std::string& what) {
    Result r = Shell("xdg-mime query " + what);
    return r.out.substr(0, r.out.find('\n'));
  }

  fs::path entry_, package_;
};

TEST_F(DesktopTest, RegisterOpenUnregister) {
  fs::path book = home_ / "docs" / "a book.nbk";
  Result r = Shell(kNbclip + " convert " + Quote(NB_SOURCE_DIR "/tests/nbclip/pages/second.html") +
                   " -o " + Quote(book.string()));
  ASSERT_EQ(r.status, 0) << r.out;

  r = Shell(kNbclip + " register --desktop");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("warning"), std::string::npos) << r.out;
  ASSERT_TRUE(fs::exists(entry_));
  ASSERT_TRUE(fs::exists(package_));
  EXPECT_NE(ReadFile(entry_).find("Exec=" NBCLIP_PATH " view --open %f\n"), std::string::npos)
      << ReadFile(entry_);
  EXPECT_EQ(Query("default application/x-nubra-book"), "nubra-book-preview.desktop");
  EXPECT_EQ(Query("filetype " + Quote(book.string())), "application/x-nubra-book");
  // The type is known by the file's first bytes too, whatever its name.
  fs::copy_file(book, home_ / "renamed.bin");
  EXPECT_EQ(Query("filetype " + Quote((home_ / "renamed.bin").string())),
            "application/x-nubra-book");

  // Opening the book through the desktop's opener runs the preview, which is then opened.
  fs::path record = home_ / "opened.txt";
  fs::path opener = home_ / "opener.sh";
  std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" > " << Quote(record.string()) << "\n";
  fs::permissions(opener, fs::perms::owner_all);
  // xdg-open consults the desktop associations only when it believes a display is there.
  r = Shell("DISPLAY=:99 NUBRA_OPENER=" + Quote(opener.string()) + " xdg-open " +
            Quote(book.string()));
  EXPECT_EQ(r.status, 0) << r.out;
  for (int i = 0; i < 100 && ReadFile(record).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  fs::path preview = home_ / "docs" / "a book.html";
  EXPECT_EQ(ReadFile(record), preview.string() + "\n");
  EXPECT_NE(ReadFile(preview).find("The same image"), std::string::npos);

  // Registering again changes nothing; unregistering removes both files and the association.
  r = Shell(kNbclip + " register --desktop");
  EXPECT_EQ(r.status, 0) << r.out;
  r = Shell(kNbclip + " unregister --desktop");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_FALSE(fs::exists(entry_));
  EXPECT_FALSE(fs::exists(package_));
  EXPECT_EQ(Query("default application/x-nubra-book"), "");
  EXPECT_NE(Query("filetype " + Quote(book.string())), "application/x-nubra-book");
  r = Shell(kNbclip + " unregister --desktop");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("was not registered"), std::string::npos) << r.out;
}

TEST_F(DesktopTest, ToolbarAndBadArguments) {
  struct Case {
    std::string args;
    int status;
    std::string message;
  };
  for (const Case& c : {
           Case{"unregister", 0, "the toolbar was not registered"},
           Case{"register --bogus", 2, "usage: nbclip register [--desktop]"},
           Case{"unregister --desktop extra", 2, "usage: nbclip unregister [--desktop]"},
       }) {
    Result r = Shell(kNbclip + " " + c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << "\n" << r.out;
  }
  // Nothing was written anywhere in the home.
  EXPECT_TRUE(fs::is_empty(home_ / "data"));
  EXPECT_TRUE(fs::is_empty(home_ / "config"));
}

// A program whose path has blanks or shell characters is named quoted, as desktop entries
// quote, with the backslash of each escape doubled in the key's value.
TEST_F(DesktopTest, ExecQuotesAPathThatNeedsIt) {
  fs::path folder = home_ / "my $bin";
  fs::create_directory(folder);
  fs::copy_file(NBCLIP_PATH, folder / "nbclip");
  // The copy finds the build's libraries through the linker's path, not its own run path.
  std::string libs = fs::path(NBCLIP_PATH).parent_path().parent_path() / "lib";
  Result r = Shell("LD_LIBRARY_PATH=" + Quote(libs) + " " + Quote((folder / "nbclip").string()) +
                   " register --desktop");
  ASSERT_EQ(r.status, 0) << r.out;
  std::string expected = "Exec=\"" + home_.string() + "/my \\\\$bin/nbclip\" view --open %f\n";
  EXPECT_NE(ReadFile(entry_).find(expected), std::string::npos) << ReadFile(entry_);
}

TEST_F(DesktopTest, UnwritableDataFolderFails) {
  setenv("XDG_DATA_HOME", "/proc/nubra-cannot-be-made", 1);
  Result r = Shell(kNbclip + " register --desktop");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("cannot write"), std::string::npos) << r.out;
}

}  // namespace
