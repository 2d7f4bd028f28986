// The toolbar's compiled resources as the platform's loader reads them: every string with its
// identifier, the two dialogs, the context menu, the button strip and the busy pointer.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "platform/win32/ui/res_file.h"
#include "platform/win32/windows.h"
#include "toolbar/resources/embedded.h"
#include "toolbar/resources/resource.h"

namespace {

HINSTANCE Module() {
  return reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x6A000000));
}

class Resources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(RegisterToolBar4NResources(Module())); }
  static void TearDownTestSuite() { UnregisterToolBar4NResources(Module()); }

  static const platform::ui::ResourceFile& File() {
    static const auto file = platform::ui::ParseResourceFile(ToolBar4NResourceData());
    return *file;
  }
  static const platform::ui::DialogTemplate& Dialog(UINT id) {
    for (const auto& [did, d] : File().dialogs)
      if (did == id) return d;
    ADD_FAILURE() << "no dialog " << id;
    static const platform::ui::DialogTemplate none;
    return none;
  }
  static const platform::ui::ResourceImage* Image(UINT type, UINT id) {
    for (const auto& image : File().images)
      if (image.type == type && image.id == id) return &image;
    return nullptr;
  }
};

std::u16string Upper(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return s;
}

std::u16string String(UINT id) {
  WCHAR buf[520];
  int n = LoadStringW(Module(), id, buf, 520);
  return std::u16string(buf, static_cast<size_t>(n));
}

TEST_F(Resources, EveryStringWithItsIdentifier) {
  const std::pair<UINT, const char16_t*> strings[] = {
      {32776, u"ブラウザに表示されている内容を、選択されている書籍に追加します"},
      {32777, u"Nubra for Windowsを起動して、作成した書籍を取り込みます"},
      {32778, u"書籍管理のためのウィンドウを開きます"},
      {32779, u"ヘルプを表示します"},
      {10037,
       u"Nubra for Windowsが見つかりません。\nNubra for Windowsをインストールしてください。"},
      {3000, u"ヘルプファイルが見つかりません"},
      {10030, u"コンテンツIDに文字を入力してください"},
      {10034, u"保存先のファイルパスを入力してください"},
      {10031, u"ファイルの拡張子は、\".nbk\"にしてください"},
      {10032, u"指定されたフォルダが存在しません"},
      {10033, u"ファイル名に使えない文字が含まれています"},
      {32771, u"設定内容を閲覧します"},
      {32772, u"作成した書籍を削除します"},
      {IDS_SAVED, u"保存が完了しました"},
      {IDS_OPEN_FAILED, u"本を開けませんでした。"},
      {IDS_DISK_FULL,
       u"ドライブの空き容量が極端に少なくなっています。本を作成することができません。"},
      {IDS_BOOK_NOT_MADE,
       u"書籍『%s』が、まだ作成されていません。\n[内容保存]ボタンを押して、書籍を作成後に取り込み"
       u"ができるようになります。"},
      {IDS_PAGE_NOT_ADDED, u"ページを書籍に追加できませんでした。"},
      {IDS_NO_DESIGN, u"選択されたデザインファイルが見つかりません"},
      {IDS_LIST_RESET, u"初期状態に戻します"},
      {IDS_CAPTION, u"Toolbar for Nubra"},
      {IDS_BAND_TITLE, u"Nubraツールバー"},
      {IDS_TITLE_COLUMN, u"タイトル"},
      {IDS_VIEW_CAPTION, u"書籍の情報"},
  };
  for (const auto& [id, text] : strings) {
    SCOPED_TRACE(id);
    EXPECT_EQ(String(id), text);
  }
  EXPECT_EQ(File().strings.size(), std::size(strings)) << "no string without a test";
}

struct Control {
  int id;
  const char16_t* cls;
  short x, y, cx, cy;
};

TEST_F(Resources, BookListDialog) {
  const auto& d = Dialog(IDD_BOOK_LIST);
  EXPECT_EQ(d.caption, u"書籍の管理");
  EXPECT_EQ(d.fontName, u"ＭＳ Ｐゴシック");
  EXPECT_EQ(d.pointSize, 9);
  EXPECT_EQ(d.cx, 185);
  EXPECT_EQ(d.cy, 186);
  EXPECT_TRUE(d.style & DS_SETFONT);
  const Control want[] = {
      {IDC_BOOK_LIST, u"SYSLISTVIEW32", 9, 26, 102, 149},
      {IDC_NEW_BOOK, u"BUTTON", 129, 104, 50, 14},
      {IDOK, u"BUTTON", 129, 134, 50, 14},
      {IDCANCEL, u"BUTTON", 129, 154, 50, 14},
  };
  ASSERT_EQ(d.items.size(), std::size(want));
  for (const Control& c : want) {
    SCOPED_TRACE(c.id);
    auto it = std::find_if(d.items.begin(), d.items.end(), [&](auto& i) { return i.id == c.id; });
    ASSERT_NE(it, d.items.end());
    EXPECT_EQ(Upper(it->windowClass), c.cls);
    EXPECT_EQ((std::vector<short>{it->x, it->y, it->cx, it->cy}),
              (std::vector<short>{c.x, c.y, c.cx, c.cy}));
  }
  EXPECT_EQ(d.items[0].style, 0x5081800Du);
  auto newBook =
      std::find_if(d.items.begin(), d.items.end(), [](auto& i) { return i.id == IDC_NEW_BOOK; });
  EXPECT_EQ(newBook->text, u"書籍の新規作成");
}

RECT Box(const platform::ui::DialogItemTemplate& i) {
  // A combo box's height includes its dropped list; closed it is one edit line high.
  short cy = Upper(i.windowClass) == u"COMBOBOX" ? 12 : i.cy;
  return RECT{i.x, i.y, i.x + i.cx, i.y + cy};
}
bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}
bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
bool IsGroup(const platform::ui::DialogItemTemplate& i) {
  return Upper(i.windowClass) == u"BUTTON" && (i.style & 0xF) == BS_GROUPBOX;
}

TEST_F(Resources, BookInfoDialogControlsAndLayout) {
  const auto& d = Dialog(IDD_BOOK_INFO);
  EXPECT_EQ(d.caption, u"新規作成");
  EXPECT_EQ(d.fontName, u"ＭＳ Ｐゴシック");
  EXPECT_EQ(d.pointSize, 9);
  EXPECT_EQ(d.cx, 235);
  EXPECT_EQ(d.cy, 180);

  // Each field, its kind, and the label that names it: a text to its left on its row, or the
  // group box around it.
  struct Field {
    int id;
    const char16_t* cls;
    const char16_t* label;
  };
  const Field fields[] = {
      {IDC_TITLE, u"EDIT", u"タイトル"},
      {IDC_TITLE_READ, u"EDIT", u"ヨミ(全角カタカナ)"},
      {IDC_AUTHOR, u"EDIT", u"著者名"},
      {IDC_AUTHOR_READ, u"EDIT", u"ヨミ(全角カタカナ)"},
      {IDC_CONTENT_ID, u"EDIT", u"コンテンツＩＤ"},
      {IDC_SAVE_PATH, u"EDIT", u"保存場所"},
      {IDC_DESIGN, u"COMBOBOX", u"デザインの選択"},
  };
  const RECT dialog{0, 0, d.cx, d.cy};
  for (const Field& f : fields) {
    SCOPED_TRACE(f.id);
    auto it = std::find_if(d.items.begin(), d.items.end(), [&](auto& i) { return i.id == f.id; });
    ASSERT_NE(it, d.items.end());
    EXPECT_EQ(Upper(it->windowClass), f.cls);
    RECT box = Box(*it);
    EXPECT_TRUE(Inside(box, dialog));
    bool named = false;
    for (const auto& label : d.items) {
      if (label.text != f.label) continue;
      RECT l = Box(label);
      bool leftOnRow = l.right <= box.left && l.top < box.bottom && box.top < l.bottom;
      bool around = IsGroup(label) && Inside(box, l);
      named = named || leftOnRow || around;
    }
    EXPECT_TRUE(named) << "no label \"" << platform::com::Utf16ToUtf8(f.label) << "\"";
  }
  auto design =
      std::find_if(d.items.begin(), d.items.end(), [](auto& i) { return i.id == IDC_DESIGN; });
  EXPECT_EQ(design->style, 0x50210102u);

  auto ok = std::find_if(d.items.begin(), d.items.end(), [](auto& i) { return i.id == IDOK; });
  auto cancel =
      std::find_if(d.items.begin(), d.items.end(), [](auto& i) { return i.id == IDCANCEL; });
  ASSERT_NE(ok, d.items.end());
  ASSERT_NE(cancel, d.items.end());
  EXPECT_EQ(ok->style & 0xF, static_cast<DWORD>(BS_DEFPUSHBUTTON));

  // Neat: everything inside the dialog, and nothing on top of anything else except what a
  // group box frames.
  for (size_t a = 0; a < d.items.size(); ++a) {
    EXPECT_TRUE(Inside(Box(d.items[a]), dialog)) << "item " << a;
    for (size_t b = a + 1; b < d.items.size(); ++b) {
      const auto &i = d.items[a], &j = d.items[b];
      if (IsGroup(i) || IsGroup(j)) {
        const auto& group = IsGroup(i) ? i : j;
        const auto& other = IsGroup(i) ? j : i;
        if (Overlap(Box(group), Box(other))) {
          EXPECT_TRUE(Inside(Box(other), Box(group))) << "item " << a << " and " << b;
        }
        continue;
      }
      EXPECT_FALSE(Overlap(Box(i), Box(j))) << "item " << a << " and " << b;
    }
  }
}

// The dialogs come up through the window system with their controls.
TEST_F(Resources, DialogsRunFromTheResources) {
  struct Seen {
    std::u16string listClass;
    LONG_PTR listStyle = 0;
    int infoControls = 0;
  };
  static Seen seen;
  auto proc = [](HWND dlg, UINT msg, WPARAM, LPARAM) -> INT_PTR {
    if (msg != WM_INITDIALOG) return FALSE;
    if (HWND list = GetDlgItem(dlg, IDC_BOOK_LIST)) {
      WCHAR cls[64];
      GetClassNameW(list, cls, 64);
      seen.listClass = cls;
      seen.listStyle = GetWindowLongPtrW(list, GWL_STYLE);
    }
    for (int id : {IDC_TITLE, IDC_TITLE_READ, IDC_AUTHOR, IDC_AUTHOR_READ, IDC_CONTENT_ID,
                   IDC_SAVE_PATH, IDC_DESIGN})
      if (GetDlgItem(dlg, id)) ++seen.infoControls;
    EndDialog(dlg, IDOK);
    return TRUE;
  };
  EXPECT_EQ(DialogBoxParamW(Module(), MAKEINTRESOURCEW(IDD_BOOK_LIST), nullptr, proc, 0), IDOK);
  EXPECT_EQ(Upper(seen.listClass), u"SYSLISTVIEW32");
  EXPECT_EQ(seen.listStyle & 0xFFFF, 0x800D);
  EXPECT_EQ(DialogBoxParamW(Module(), MAKEINTRESOURCEW(IDD_BOOK_INFO), nullptr, proc, 0), IDOK);
  EXPECT_EQ(seen.infoControls, 7);
}

TEST_F(Resources, ContextMenuWithStatusTexts) {
  HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_BOOK_MENU));
  ASSERT_NE(menu, nullptr);
  WCHAR text[64];
  ASSERT_EQ(GetMenuItemCount(menu), 1);
  GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
  EXPECT_EQ(std::u16string(text), u"書籍の管理");
  HMENU popup = GetSubMenu(menu, 0);
  ASSERT_NE(popup, nullptr);
  const std::pair<UINT, const char16_t*> items[] = {{ID_BOOK_VIEW, u"閲覧"},
                                                    {ID_BOOK_DELETE, u"削除"}};
  ASSERT_EQ(GetMenuItemCount(popup), 2);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(GetMenuItemID(popup, i), items[i].first);
    GetMenuStringW(popup, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::u16string(text), items[i].second);
    EXPECT_FALSE(String(items[i].first).empty()) << "a status text";
  }
  DestroyMenu(menu);
}

// Pixel (x, y) of a bottom-up 24-bit DIB with a 40-byte header, as r, g, b.
std::array<int, 3> Pixel(const platform::ui::ResourceImage& bmp, int x, int y) {
  size_t row = (static_cast<size_t>(bmp.width) * 3 + 3) / 4 * 4;
  size_t at = 40 + row * static_cast<size_t>(bmp.height - 1 - y) + 3 * static_cast<size_t>(x);
  return {bmp.bits[at + 2], bmp.bits[at + 1], bmp.bits[at]};
}

TEST_F(Resources, ButtonStripOfFourImages) {
  HANDLE h = LoadImageW(Module(), MAKEINTRESOURCEW(IDB_TOOLBAR), IMAGE_BITMAP, 0, 0, 0);
  ASSERT_NE(h, nullptr);
  platform::ui::ImageInfo info;
  ASSERT_TRUE(platform::ui::DescribeImage(h, &info));
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 20);
  DeleteObject(h);

  const auto* bmp = Image(IMAGE_BITMAP, IDB_TOOLBAR);
  ASSERT_NE(bmp, nullptr);
  ASSERT_EQ(bmp->bitCount, 24);
  ASSERT_EQ(bmp->width % 80, 0);
  EXPECT_EQ(bmp->width / 80, 4) << "four button images";
  auto face = Pixel(*bmp, 0, 0);
  for (int button = 0; button < 4; ++button) {
    SCOPED_TRACE(button);
    int picture = 0, ink = 0, edge = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 80; ++x) {
        auto p = Pixel(*bmp, button * 80 + x, y);
        if (p == face) continue;
        if (x < 18) ++picture;
        if (x >= 20 && p == std::array<int, 3>{0, 0, 0}) ++ink;  // the label's glyphs
        if (x < 1 || x >= 78) ++edge;
      }
    EXPECT_GT(picture, 40) << "a picture at the left";
    EXPECT_GT(ink, 30) << "a label beside it";
    EXPECT_EQ(edge, 0) << "images keep clear of their neighbours";
  }
}

TEST_F(Resources, BusyPointerIcon) {
  HANDLE h = LoadImageW(Module(), MAKEINTRESOURCEW(IDI_BUSY), IMAGE_ICON, 0, 0,
                        LR_SHARED | LR_DEFAULTSIZE);
  ASSERT_NE(h, nullptr);
  platform::ui::ImageInfo info;
  ASSERT_TRUE(platform::ui::DescribeImage(h, &info));
  EXPECT_EQ(info.type, IMAGE_ICON);
  EXPECT_EQ(info.width, 32);
  EXPECT_EQ(info.height, 32);

  const auto* icon = Image(IMAGE_ICON, IDI_BUSY);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->imageCount, 2);
  EXPECT_EQ(icon->width, 32);
  EXPECT_EQ(icon->bitCount, 32);
  // 40-byte header, 32 x 32 BGRA rows, then the mask: a corner is transparent, the middle not.
  ASSERT_GE(icon->bits.size(), 40u + 32 * 32 * 4 + 32 * 4);
  size_t mask = 40 + 32 * 32 * 4;
  EXPECT_TRUE(icon->bits[mask] & 0x80) << "bottom-left corner transparent";
  size_t middleRow = mask + 16 * 4;
  EXPECT_FALSE(icon->bits[middleRow + 2] & 0x80) << "the middle is drawn";
}

}  // namespace
