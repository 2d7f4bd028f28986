// nbclip as the browser, on a fresh home: registering the built toolbar library, showing its
// band over a page (compared with golden/toolbar.txt), unregistering it, and a toolbar library
// that cannot be loaded.
#include <string>

#include "tests/nbclip/cli.h"

using namespace nbclip_test;

namespace {

const std::string kNbclip = Quote(NBCLIP_PATH);
const std::string kClsid = "{6E1C4A52-93B7-4F0D-A8E2-5C3D71B90F46}";
const fs::path kPage = fs::path(NB_SOURCE_DIR) / "tests/nbclip/pages/divs.html";

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

class ToolbarTest : public CliTest {
 protected:
  std::string Registry() const {
    std::string all;
    for (const char* root : {"HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE"}) {
      all += ReadFile(home_ / "registry" / (std::string(root) + ".txt"));
    }
    return all;
  }
};

TEST_F(ToolbarTest, RegisterShowUnregister) {
  Result r = Shell(kNbclip + " toolbar");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("no toolbar is registered; run `nbclip register` first"), std::string::npos)
      << r.out;

  r = Shell(kNbclip + " register");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("registered the toolbar Toolbar for Nubra " + kClsid), std::string::npos)
      << r.out;

  r = Shell(kNbclip + " toolbar " + Quote(kPage.string()));
  ASSERT_EQ(r.status, 0) << r.out;
  std::string shown = ReplaceAll(
      r.out, "file://" + kPage.parent_path().lexically_normal().string() + "/", "file://PAGES/");
  ExpectGolden(fs::path(NB_SOURCE_DIR) / "tests/nbclip/golden/toolbar.txt", shown);

  // Without a document the band is the same; only the page line says so.
  r = Shell(kNbclip + " toolbar --no-document " + Quote(kPage.string()));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("divs.html (no document)\n"), std::string::npos) << r.out;

  r = Shell(kNbclip + " unregister");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("unregistered the toolbar Toolbar for Nubra " + kClsid), std::string::npos)
      << r.out;
  EXPECT_EQ(Registry().find(kClsid), std::string::npos) << Registry();
  r = Shell(kNbclip + " toolbar");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ToolbarTest, ALibraryThatCannotBeLoadedIsReported) {
  ASSERT_EQ(Shell(kNbclip + " register").status, 0);
  // The class now names a file that is no library.
  fs::path classes = home_ / "registry/HKEY_CLASSES_ROOT.txt";
  std::string text = ReadFile(classes);
  std::string junk = (home_ / "libToolBar4N.so").string();
  std::ofstream(junk) << "not a library\n";
  fs::path built = fs::canonical(fs::path(NBCLIP_PATH).parent_path() / "../lib/libToolBar4N.so");
  ASSERT_NE(text.find(built.string()), std::string::npos) << text;
  text = ReplaceAll(text, built.string(), junk);
  std::ofstream(classes, std::ios::trunc) << text;

  Result r = Shell(kNbclip + " toolbar");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(
      r.out.find("the toolbar " + kClsid + " (Toolbar for Nubra) cannot be shown: the library " +
                 junk + " cannot be loaded"),
      std::string::npos)
      << r.out;
}

TEST_F(ToolbarTest, BadArguments) {
  for (const char* args : {"toolbar a.html b.html", "toolbar --bogus", "toolbar --no-document"}) {
    Result r = Shell(kNbclip + " " + args);
    EXPECT_EQ(r.status, 2) << args << "\n" << r.out;
    EXPECT_NE(r.out.find("usage: nbclip toolbar"), std::string::npos) << r.out;
  }
}

}  // namespace
