// A temporary home for one test: every folder the library may touch points into it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "contracts/ShelvaryManager.h"
#include "platform/com/com.h"

namespace shelvary_test {

namespace fs = std::filesystem;

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::u16string U16(const std::string& utf8) {
  return platform::com::Utf8ToUtf16(utf8);
}
inline std::string U8(const std::u16string& utf16) {
  return platform::com::Utf16ToUtf8(utf16);
}

// Files in folder whose name starts with prefix.
inline std::vector<std::string> FilesStartingWith(const fs::path& folder,
                                                  const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    if (name.starts_with(prefix)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ShelvaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/shelvary-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root = pattern;
    docs = root / "Documents";
    common = root / "common";
    designs = common / "Vantor Shared" / "EnjoyNubra" / "Designs";
    fs::create_directories(docs);
    fs::create_directories(designs);
    for (const char* name : {"HOME", "XDG_DATA_HOME", "TMPDIR", "NUBRA_REGISTRY_DIR"}) {
      ::setenv(name, root.c_str(), 1);
    }
    ::setenv("XDG_DOCUMENTS_DIR", docs.c_str(), 1);
    ::setenv("NUBRA_COMMON_DIR", common.c_str(), 1);
    listFolder = root / "data" / "Vantor Corporation" / "EnjoyNubra";
    listPath = listFolder / "ToolBar4NEval.xml";
  }
  void TearDown() override { fs::remove_all(root); }

  // A band's start: the default book of the toolbar, then the list file.
  int Start(CShelvaryManager& m) {
    m.SetDefaultInfo(u"マイブック", u"マイブック", u"", u"", u"FBJPTB0000000001",
                     u"マイブック.nbk");
    // Built as the toolbar builds it, with Windows separators.
    std::u16string path =
        U16((root / "data").string()) + u"\\Vantor Corporation\\EnjoyNubra\\ToolBar4NEval.xml";
    return m.Read(path.c_str());
  }

  // The list has no count; rows end where GetInfo gives the manager's one outside entry.
  static int Count(CShelvaryManager& m) {
    CShelvaryInfo* outside = m.GetInfo(-1);
    int n = 0;
    while (m.GetInfo(n) != outside) ++n;
    return n;
  }

  static std::vector<std::string> Titles(CShelvaryManager& m) {
    std::vector<std::string> titles;
    for (int i = 0, n = Count(m); i < n; ++i) titles.push_back(U8(m.GetInfo(i)->GetTitle()));
    return titles;
  }

  static void Add(CShelvaryManager& m, const std::string& title) {
    std::u16string t = U16(title);
    std::u16string id = U16("ID-" + title);
    std::u16string file = U16("/books/" + title + ".nbk");
    m.AddNewInfo(t.c_str(), u"ヨミ", u"著者", u"チョシャ", id.c_str(), file.c_str(),
                 u"/designs/a.nbk");
  }

  fs::path root, docs, common, designs, listFolder, listPath;
};

}  // namespace shelvary_test
