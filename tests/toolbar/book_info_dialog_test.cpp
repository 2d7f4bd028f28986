// The book information dialog: what it proposes for a new book, the checks of OK in their
// order, the designs it lists, and the read-only view of a book.
#include <algorithm>
#include <fstream>

#include "tests/toolbar/book_dialogs_support.h"
#include "toolbar/resources/resource.h"

using namespace dlgtest;
namespace ui = platform::ui;

namespace {

using InfoDialog = DialogTest;

std::u16string DefaultPath(const std::u16string& id) {
  return DocumentsFolder() + u"\\EnjoyNubra\\" + id + u".nbk";
}

std::filesystem::path NativePath(std::u16string path) {
  std::replace(path.begin(), path.end(), u'\\', u'/');
  return Utf8(path);
}

TEST_F(InfoDialog, ProposesTheClocksContentIdAndAFileInTheDocuments) {
  CBookInfoDialog dialog;
  dialog.PrepareNew(u"題", u"ダイ", u"", u"");
  EXPECT_EQ(std::u16string(dialog.GetContentID()), u"FBJPNP0305090704");
  EXPECT_EQ(std::u16string(dialog.GetBookFilePath()), DefaultPath(u"FBJPNP0305090704"));
  EXPECT_TRUE(std::filesystem::is_directory(folder_ / "docs" / "EnjoyNubra"));
  EXPECT_TRUE(dialog.IsNewBook());
}

TEST_F(InfoDialog, ATakenContentIdMovesOnToTheNextSecond) {
  struct Case {
    const char* name;
    int month, day, hour, minute, second;
    bool idInList, fileOnDisk, nextFileOnDisk;
    const char16_t* expected;
  } cases[] = {
      {"free", 3, 5, 9, 7, 4, false, false, false, u"FBJPNP0305090704"},
      {"in the list", 3, 5, 9, 7, 4, true, false, false, u"FBJPNP0305090705"},
      {"file exists", 3, 5, 9, 7, 4, false, true, false, u"FBJPNP0305090705"},
      {"both seconds taken", 3, 5, 9, 7, 4, true, false, true, u"FBJPNP0305090706"},
      {"end of the year", 12, 31, 23, 59, 59, true, false, false, u"FBJPNP0101000000"},
      {"end of February, leap year", 2, 29, 23, 59, 59, false, true, false, u"FBJPNP0301000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetClock(2024, c.month, c.day, c.hour, c.minute, c.second);
    CBookInfoDialog probe;
    probe.PrepareNew(u"", u"", u"", u"");
    std::u16string first = probe.GetContentID();
    CShelvaryManager& list = List();
    if (c.idInList) list.AddNewInfo(u"t", u"", u"", u"", first.c_str(), u"/x.nbk", u"/d.nbk");
    std::vector<std::filesystem::path> made;
    if (c.fileOnDisk) made.push_back(NativePath(DefaultPath(first)));
    if (c.nextFileOnDisk) {
      std::u16string next = first;
      next.back() = static_cast<char16_t>(next.back() + 1);
      made.push_back(NativePath(DefaultPath(next)));
    }
    for (const auto& file : made) std::ofstream(file) << "book";

    CBookInfoDialog dialog;
    dialog.SetBookList(&list);
    dialog.PrepareNew(u"", u"", u"", u"");
    EXPECT_EQ(std::u16string(dialog.GetContentID()), c.expected);
    EXPECT_EQ(std::u16string(dialog.GetBookFilePath()), DefaultPath(c.expected));
    for (const auto& file : made) std::filesystem::remove(file);
  }
}

TEST_F(InfoDialog, EveryProposalTakenFallsBackToTheClocksId) {
  CShelvaryManager& list = List();
  CBookInfoDialog probe;
  for (int i = 0; i < CBookInfoDialog::kContentIdTries; ++i) {
    SetClock(2024, 3, 5, 9, 7 + (4 + i) / 60, (4 + i) % 60);
    probe.PrepareNew(u"", u"", u"", u"");
    list.AddNewInfo(u"t", u"", u"", u"", probe.GetContentID(), u"/x.nbk", u"/d.nbk");
  }
  SetClock(2024, 3, 5, 9, 7, 4);
  CBookInfoDialog dialog;
  dialog.SetBookList(&list);
  dialog.PrepareNew(u"", u"", u"", u"");
  EXPECT_EQ(std::u16string(dialog.GetContentID()), u"FBJPNP0305090704");
}

// The default path is kept whole or not at all: "<documents>\EnjoyNubra\" and the ID and ".nbk"
// add 32 characters to the documents folder.
TEST_F(InfoDialog, DefaultPathAtTheLengthLimit) {
  struct Case {
    size_t documentsLength;
    bool kept;
  } cases[] = {{228, true}, {229, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.documentsLength);
    std::string docs = (folder_ / "d").string();
    while (docs.size() < c.documentsLength) docs += (docs.size() % 100 == 0) ? '/' : 'x';
    if (docs.back() == '/') docs.back() = 'y';
    ASSERT_EQ(docs.size(), c.documentsLength);
    setenv("XDG_DOCUMENTS_DIR", docs.c_str(), 1);
    CBookInfoDialog dialog;
    dialog.PrepareNew(u"", u"", u"", u"");
    std::u16string path = dialog.GetBookFilePath();
    if (c.kept) {
      EXPECT_EQ(path.size(), 260u);
      EXPECT_EQ(path, DefaultPath(u"FBJPNP0305090704"));
    } else {
      EXPECT_EQ(path, u"");
    }
  }
}

TEST_F(InfoDialog, NoDocumentsFolderEmptiesThePreviousPath) {
  CBookInfoDialog dialog;
  dialog.PrepareNew(u"", u"", u"", u"");
  ASSERT_NE(std::u16string(dialog.GetBookFilePath()), u"");
  std::ofstream(folder_ / "file") << "not a folder";
  setenv("XDG_DOCUMENTS_DIR", (folder_ / "file" / "docs").c_str(), 1);
  dialog.PrepareNew(u"", u"", u"", u"");
  EXPECT_EQ(std::u16string(dialog.GetBookFilePath()), u"");
  EXPECT_EQ(std::u16string(dialog.GetContentID()), u"FBJPNP0305090704");
}

TEST_F(InfoDialog, TextsAreCutToTheirFields) {
  CBookInfoDialog dialog;
  std::u16string longText(300, u'ア');
  dialog.PrepareView(longText.c_str(), longText.c_str(), longText.c_str(), longText.c_str(),
                     longText.c_str(), longText.c_str(), longText.c_str());
  EXPECT_EQ(std::u16string(dialog.GetTitle()).size(), 50u);
  EXPECT_EQ(std::u16string(dialog.GetTitleRead()).size(), 100u);
  EXPECT_EQ(std::u16string(dialog.GetAuthor()).size(), 40u);
  EXPECT_EQ(std::u16string(dialog.GetAuthorRead()).size(), 80u);
  EXPECT_EQ(std::u16string(dialog.GetContentID()).size(), 16u);
  EXPECT_EQ(std::u16string(dialog.GetBookFilePath()).size(), 260u);
  EXPECT_EQ(std::u16string(dialog.GetDesignFilePath()).size(), 260u);
  EXPECT_FALSE(dialog.IsNewBook());
}

TEST_F(InfoDialog, DesignsAreListedByTitleSortedFirstSelected) {
  for (const char* name : {"Zebra", "Apple", "Mango"}) InstallDesign(name);
  auto dir = std::filesystem::path(Utf8(DesignsFolder()));
  std::ofstream(dir / "notes.txt") << "not a design";
  std::filesystem::create_directories(dir / "Folder.nbk");
  std::vector<std::u16string> rows;
  std::u16string shown, caption;
  ui::OnNextDialog([&](HWND dlg) {
    caption = ui::WindowText(dlg);
    HWND combo = GetDlgItem(dlg, IDC_DESIGN);
    int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      WCHAR row[64] = {};
      SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(row));
      rows.push_back(row);
    }
    shown = ui::WindowText(combo);
    ui::Click(GetDlgItem(dlg, IDCANCEL));
  });
  CBookInfoDialog dialog;
  dialog.PrepareNew(u"マイクリップ", u"マイクリップ", u"", u"");
  EXPECT_EQ(dialog.Show(Module(), nullptr), IDCANCEL);
  EXPECT_EQ(caption, u"新規作成");
  EXPECT_EQ(rows, (std::vector<std::u16string>{u"Apple", u"Mango", u"Zebra"}));
  EXPECT_EQ(shown, u"Apple");
  // Cancel keeps what was prepared.
  EXPECT_EQ(std::u16string(dialog.GetTitle()), u"マイクリップ");
}

// OK with what a person typed; the first failing check speaks and the dialog stays open.
TEST_F(InfoDialog, OkChecksInTheirOrder) {
  InstallDesign("Standard");
  std::string folder = (folder_ / "docs").string();
  std::u16string existing = Wide(folder);
  const std::u16string kNoId = u"コンテンツIDに文字を入力してください";
  const std::u16string kNoPath = u"保存先のファイルパスを入力してください";
  const std::u16string kExtension = u"ファイルの拡張子は、\".nbk\"にしてください";
  const std::u16string kNoFolder = u"指定されたフォルダが存在しません";
  const std::u16string kBadName = u"ファイル名に使えない文字が含まれています";
  const std::u16string kNoDesign = u"選択されたデザインファイルが見つかりません";
  struct Case {
    const char* name;
    std::u16string id, path, design;
    std::u16string message;  // empty: OK ends the dialog
  } cases[] = {
      {"no ID before no path", u"", u"", u"Standard", kNoId},
      {"no path", u"FBJPNP0305090704", u"", u"Standard", kNoPath},
      {"capital extension", u"X", existing + u"\\a.NBK", u"Standard", kExtension},
      {"no extension, bad name", u"X", existing + u"\\a*b", u"Standard", kExtension},
      {"dot only in the folder", u"X", existing + u".d\\book", u"Standard", kExtension},
      {"missing folder before bad name", u"X", existing + u"\\none\\a*b.nbk", u"Standard",
       kNoFolder},
      {"no folder at all", u"X", u"a.nbk", u"Standard", kNoFolder},
      {"bad name", u"X", existing + u"\\a?b.nbk", u"Standard", kBadName},
      {"bad name, colon", u"X", existing + u"\\a:b.nbk", u"Standard", kBadName},
      {"design missing", u"X", existing + u"\\a.nbk", u"Missing", kNoDesign},
      {"design empty", u"X", existing + u"\\a.nbk", u"", kNoDesign},
      {"all good", u"X", existing + u"\\a.nbk", u"Standard", u""},
      {"design as a full path", u"X", existing + u"\\a.nbk", DesignsFolder() + u"Standard", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui::ClearMessageBoxes();
    ui::OnNextDialog([&](HWND dlg) {
      ui::TypeText(GetDlgItem(dlg, IDC_TITLE), u"新しい本");
      ui::TypeText(GetDlgItem(dlg, IDC_AUTHOR), u"著者");
      ui::TypeText(GetDlgItem(dlg, IDC_CONTENT_ID), c.id);
      ui::TypeText(GetDlgItem(dlg, IDC_SAVE_PATH), c.path);
      ui::TypeText(GetDlgItem(dlg, IDC_DESIGN), c.design);
      // A failed check leaves the dialog open; it is then cancelled as a person leaves it.
      ui::Click(GetDlgItem(dlg, IDOK));
    });
    CBookInfoDialog dialog;
    dialog.PrepareNew(u"マイクリップ", u"マイクリップ", u"", u"");
    INT_PTR result = dialog.Show(Module(), nullptr);
    auto boxes = ui::MessageBoxes();
    if (c.message.empty()) {
      EXPECT_EQ(result, IDOK);
      EXPECT_TRUE(boxes.empty());
      EXPECT_EQ(std::u16string(dialog.GetTitle()), u"新しい本");
      EXPECT_EQ(std::u16string(dialog.GetAuthor()), u"著者");
      EXPECT_EQ(std::u16string(dialog.GetBookFilePath()), c.path);
      EXPECT_EQ(std::u16string(dialog.GetDesignFilePath()), DesignsFolder() + u"Standard.nbk");
    } else {
      EXPECT_EQ(result, IDCANCEL);
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text, c.message);
      EXPECT_EQ(boxes[0].caption, u"Toolbar for Nubra");
      EXPECT_EQ(boxes[0].type, MB_ICONWARNING);
      EXPECT_NE(boxes[0].owner, nullptr);
    }
  }
}

TEST_F(InfoDialog, ViewShowsTheBookReadOnlyAndOkStillChecks) {
  struct Case {
    const char* name;
    std::u16string path;
    bool ok;
  } cases[] = {
      {"folder exists", Wide((folder_ / "docs").string()) + u"\\b.nbk", true},
      {"folder gone", Wide((folder_ / "gone").string()) + u"\\b.nbk", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui::ClearMessageBoxes();
    std::u16string caption, design;
    std::vector<std::u16string> texts;
    std::vector<bool> readOnly, typed;
    int designRows = 0;
    ui::OnNextDialog([&](HWND dlg) {
      caption = ui::WindowText(dlg);
      for (int id : {IDC_TITLE, IDC_TITLE_READ, IDC_AUTHOR, IDC_AUTHOR_READ, IDC_CONTENT_ID,
                     IDC_SAVE_PATH}) {
        HWND edit = GetDlgItem(dlg, id);
        texts.push_back(ui::WindowText(edit));
        readOnly.push_back(GetWindowLongW(edit, GWL_STYLE) & ES_READONLY);
        typed.push_back(ui::TypeText(edit, u"changed"));
      }
      HWND combo = GetDlgItem(dlg, IDC_DESIGN);
      design = ui::WindowText(combo);
      designRows = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
      typed.push_back(ui::TypeText(combo, u"changed"));
      // A failed check leaves the dialog open; it is then cancelled as a person leaves it.
      ui::Click(GetDlgItem(dlg, IDOK));
    });
    CBookInfoDialog dialog;
    dialog.PrepareView(u"題", u"ダイ", u"著", u"チョ", u"FBJPNP0101010101", c.path.c_str(),
                       u"/designs/Standard.nbk");
    INT_PTR result = dialog.Show(Module(), nullptr);
    EXPECT_EQ(caption, u"書籍の情報");
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"題", u"ダイ", u"著", u"チョ",
                                                  u"FBJPNP0101010101", c.path}));
    EXPECT_EQ(readOnly, std::vector<bool>(6, true));
    EXPECT_EQ(typed, std::vector<bool>(7, false));
    EXPECT_EQ(design, u"Standard.nbk");
    EXPECT_EQ(designRows, 1);
    EXPECT_EQ(result, c.ok ? IDOK : IDCANCEL);
    EXPECT_EQ(Messages(), c.ok ? std::vector<std::u16string>{}
                               : std::vector<std::u16string>{u"指定されたフォルダが存在しません"});
    // Viewing changes nothing of the book, its design included.
    EXPECT_EQ(std::u16string(dialog.GetDesignFilePath()), u"/designs/Standard.nbk");
  }
}

TEST_F(InfoDialog, TheDialogIsCentredOnTheDesktop) {
  RECT desktop{}, own{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  bool visible = false;
  ui::OnNextDialog([&](HWND dlg) {
    GetWindowRect(dlg, &own);
    visible = IsWindowVisible(dlg);
    ui::Click(GetDlgItem(dlg, IDCANCEL));
  });
  CBookInfoDialog dialog;
  dialog.PrepareNew(u"", u"", u"", u"");
  dialog.Show(Module(), nullptr);
  int width = own.right - own.left, height = own.bottom - own.top;
  EXPECT_GT(width, 0);
  EXPECT_EQ(own.left, (desktop.right - width) / 2);
  EXPECT_EQ(own.top, (desktop.bottom - height) / 2);
  EXPECT_TRUE(visible);
}

}  // namespace
