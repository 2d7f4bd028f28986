// The toolbar's book list, written for a test through the book-list library as the book
// management dialog would leave it: the default book "マイブック", then the books given. The
// folders come from the environment the test has set up.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "contracts/ShelvaryManager.h"
#include "platform/win32/file.h"
#include "platform/win32/shell.h"

namespace nbtest {

struct ListedBook {
  std::u16string title;
  std::u16string path;    // the book file
  std::u16string design;  // the design file; empty: none
};

inline void WriteBookList(const std::vector<ListedBook>& books) {
  WCHAR appData[MAX_PATH];
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData),
            S_OK);
  std::u16string file =
      std::u16string(appData) + u"\\Vantor Corporation\\EnjoyNubra\\ToolBar4NEval.xml";
  std::error_code ec;
  std::filesystem::remove(platform::win32::ToNativePath(file), ec);
  CShelvaryManager list;
  list.SetDefaultInfo(u"マイブック", u"マイブック", u"", u"", u"FBJPTB0000000001",
                      u"マイブック.nbk");
  ASSERT_EQ(list.Read(file.c_str()), SHELVARY_OK);
  for (const ListedBook& book : books) {
    ASSERT_EQ(list.AddNewInfo(book.title.c_str(), u"よみ", u"著者", u"ちょしゃ",
                              u"FBJPNP0305090704", book.path.c_str(), book.design.c_str()),
              SHELVARY_OK);
  }
}

}  // namespace nbtest
