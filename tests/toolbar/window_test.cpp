// The band window as the window system sees it: its class, creation, toolbar, placeholder and
// combo box, tooltips, and the combo box's forwarded selection, recorded message by message.
#include <deque>
#include <filesystem>

#include "contracts/ShelvaryManager.h"
#include "platform/win32/shell.h"
#include "platform/win32/ui/automation.h"
#include "tests/platform_ui/recorder.h"
#include "tests/support/book_list.h"
#include "tests/toolbar/support.h"

using namespace tbtest;
using nbtest::Posted;
using nbtest::Sent;
using uitest::Recorder;

namespace {

namespace fs = std::filesystem;

constexpr char16_t kClass[] = u"QuivBookToolBarEvalClass";

// The book list file the band reads, holding the default book and then these.
void WriteBookList(std::initializer_list<const char16_t*> titles) {
  std::vector<nbtest::ListedBook> books;
  for (const char16_t* title : titles)
    books.push_back({title, std::u16string(title) + u".nbk", u""});
  nbtest::WriteBookList(books);
}

struct Placed {
  ComPtr<IDeskBand> band;
  ComPtr<TestSite> site;
  HWND window = nullptr;
  HWND toolbar = nullptr;
  HWND placeholder = nullptr;
  HWND combo = nullptr;
};

class BandWindow : public BandTest {
 protected:
  void SetUp() override {
    BandTest::SetUp();
    Recorder::Get().Reset();
  }
  void TearDown() override {
    for (Placed& p : placed_) p.band->CloseDW(0);
    placed_.clear();
    BandTest::TearDown();
  }
  Placed& Place(HWND host) {
    Placed p;
    p.band = NewBand();
    p.site = ComPtr<TestSite>::Attach(new TestSite(host, nullptr));
    ComPtr<IObjectWithSite> withSite;
    p.band->QueryInterface(IID_IObjectWithSite, withSite.ReleaseAndGetVoidAddress());
    EXPECT_EQ(withSite->SetSite(p.site->Identity()), S_OK);
    p.band->GetWindow(&p.window);
    p.toolbar = GetDlgItem(p.window, 7003);
    p.placeholder = p.toolbar ? GetWindow(p.toolbar, GW_CHILD) : nullptr;
    while (p.placeholder && platform::ui::ClassName(p.placeholder) != u"STATIC") {
      p.placeholder = GetWindow(p.placeholder, GW_HWNDNEXT);
    }
    p.combo = p.placeholder ? GetDlgItem(p.placeholder, 1) : nullptr;
    placed_.push_back(std::move(p));
    return placed_.back();
  }
  std::deque<Placed> placed_;  // references stay valid as bands are added
};

TEST_F(BandWindow, ClassIsRegisteredOnceWithItsLook) {
  Placed& a = Place(Host());
  Placed& b = Place(Host());
  ASSERT_TRUE(a.window && b.window);
  WNDCLASSW wc{};
  ASSERT_TRUE(GetClassInfoW(reinterpret_cast<HINSTANCE>(Toolbar().module), kClass, &wc));
  EXPECT_EQ(wc.style, CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS);
  EXPECT_EQ(wc.cbClsExtra, 0);
  EXPECT_EQ(wc.cbWndExtra, 0);
  EXPECT_EQ(wc.hIcon, nullptr);
  EXPECT_EQ(wc.hCursor, LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(wc.hbrBackground, GetSysColorBrush(COLOR_BTNFACE));
  EXPECT_EQ(wc.lpszMenuName, nullptr);
  EXPECT_EQ(GetWindowLongPtrW(a.window, GWLP_WNDPROC), GetWindowLongPtrW(b.window, GWLP_WNDPROC));
}

TEST_F(BandWindow, CreationMessagesAndStyles) {
  HWND host = Host(0, 0);
  uitest::HookRecorder hooks;
  ASSERT_TRUE(hooks.Installed());
  Placed& p = Place(host);
  ASSERT_TRUE(p.window && p.toolbar && p.placeholder && p.combo);
  auto& r = Recorder::Get();
  r.Name(p.window, "band");
  r.Name(host, "host");
  // The band's own creation, as the host and the band see it, up to its first child.
  std::vector<nbtest::SeenMessage> head;
  for (const auto& s : r.Named()) {
    if (s.window == "band" && s.msg == WM_PARENTNOTIFY) break;
    head.push_back(s);
  }
  nbtest::ExpectMessages(
      head,
      {Sent("band", WM_NCCREATE), Sent("band", WM_CREATE), Sent("band", WM_SIZE, SIZE_RESTORED),
       Sent("band", WM_MOVE), Sent("host", WM_PARENTNOTIFY), Sent("band", WM_SHOWWINDOW, TRUE)},
      "the band's creation");

  EXPECT_EQ(GetParent(p.window), host);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(p.window, GWL_STYLE)), 0x56000004u);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(p.window, GWL_EXSTYLE)), WS_EX_STATICEDGE);
  RECT rc{};
  GetWindowRect(p.window, &rc);
  EXPECT_EQ(rc.right - rc.left, 620);
  EXPECT_EQ(rc.bottom - rc.top, 20);
  EXPECT_EQ(GetWindowLongPtrW(p.window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(p.band.Get()))
      << "the whole band pointer";
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(p.toolbar, GWL_STYLE)), 0x50000D60u);
  EXPECT_EQ(platform::ui::ClassName(p.toolbar), u"ToolbarWindow32");
}

TEST_F(BandWindow, ToolbarButtonsSeparatorAndPlaceholder) {
  Placed& p = Place(Host());
  ASSERT_TRUE(p.toolbar);
  struct Row {
    int bitmap, command;
    BYTE style;
  } rows[] = {{0, 1000, TBSTYLE_BUTTON},
              {1, 1001, TBSTYLE_BUTTON},
              {2, 1002, TBSTYLE_BUTTON},
              {170, 0, TBSTYLE_SEP},
              {3, 1003, TBSTYLE_BUTTON}};
  ASSERT_EQ(SendMessageW(p.toolbar, TB_BUTTONCOUNT, 0, 0), 5);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    TBBUTTON b{};
    ASSERT_TRUE(SendMessageW(p.toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b)));
    EXPECT_EQ(b.iBitmap, rows[i].bitmap);
    EXPECT_EQ(b.idCommand, rows[i].command);
    EXPECT_EQ(b.fsStyle, rows[i].style);
    EXPECT_EQ(b.fsState, TBSTATE_ENABLED);
    EXPECT_EQ(b.dwData, 0u);
    EXPECT_EQ(b.iString, 0);
  }
  RECT button{};
  ASSERT_TRUE(SendMessageW(p.toolbar, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&button)));
  ASSERT_TRUE(p.placeholder);
  RECT place{};
  GetWindowRect(p.placeholder, &place);
  POINT origin{place.left, place.top};
  ScreenToClient(p.toolbar, &origin);
  EXPECT_EQ(origin.x, 265);
  EXPECT_EQ(origin.y, button.top);
  EXPECT_EQ(place.right - place.left, 160);
  EXPECT_EQ(place.bottom - place.top, button.bottom);
  EXPECT_EQ(platform::ui::WindowText(p.placeholder), u"");
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(p.placeholder, GWL_STYLE)), WS_CHILD | WS_VISIBLE);
}

TEST_F(BandWindow, ComboBoxIsFilledThenGivenItsFontAndRowZero) {
  WriteBookList({u"旅の本", u"料理の本"});
  HWND host = Host();
  uitest::HookRecorder hooks;
  Placed& p = Place(host);
  ASSERT_TRUE(p.combo);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(p.combo, GWL_STYLE)), 0x54200043u);
  EXPECT_EQ(GetDlgCtrlID(p.combo), 1);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(p.combo, WM_GETFONT, 0, 0)),
            GetStockObject(DEFAULT_GUI_FONT));
  auto& r = Recorder::Get();
  r.Name(p.combo, "combo");
  std::vector<nbtest::SeenMessage> filling;
  for (const auto& s : r.Named())
    if (s.msg == CB_RESETCONTENT || s.msg == CB_ADDSTRING || s.msg == WM_SETFONT ||
        s.msg == CB_SETCURSEL)
      filling.push_back(s);
  nbtest::ExpectMessages(
      filling,
      {Sent("combo", CB_RESETCONTENT), Sent("combo", CB_ADDSTRING), Sent("combo", CB_ADDSTRING),
       Sent("combo", CB_ADDSTRING), Sent("combo", WM_SETFONT), Sent("combo", CB_SETCURSEL, 0)},
      "filling the combo box");
  EXPECT_EQ(SendMessageW(p.combo, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(p.combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(platform::ui::WindowText(p.combo), u"マイブック") << "the drop-down list shows row 0";
}

TEST_F(BandWindow, TooltipsForTheFourButtonsOnly) {
  Placed& p = Place(Host());
  struct Case {
    int command;
    std::u16string text;
  } cases[] = {
      {1000, u"ブラウザに表示されている内容を、選択されている書籍に追加します"},
      {1001, u"Nubra for Windowsを起動して、作成した書籍を取り込みます"},
      {1002, u"書籍管理のためのウィンドウを開きます"},
      {1003, u"ヘルプを表示します"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(platform::ui::ToolTipText(p.toolbar, c.command), c.text);
  }
  for (UINT_PTR other : {UINT_PTR{0}, UINT_PTR{999}, UINT_PTR{1004}, UINT_PTR{7003}}) {
    SCOPED_TRACE(other);
    NMTTDISPINFOW info{};
    info.hdr.hwndFrom = p.toolbar;
    info.hdr.idFrom = other;
    info.hdr.code = TTN_NEEDTEXTW;
    info.lpszText = info.szText;
    info.szText[0] = u'x';
    EXPECT_EQ(SendMessageW(p.window, WM_NOTIFY, other, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(info.lpszText, info.szText);
    EXPECT_EQ(info.szText[0], u'x');
  }
}

TEST_F(BandWindow, ASelectionIsPostedAfterTheComboBoxTookIt) {
  WriteBookList({u"旅の本", u"料理の本"});
  Placed& p = Place(Host());
  ASSERT_TRUE(p.combo);
  auto& r = Recorder::Get();
  uitest::HookRecorder hooks;
  r.Name(p.combo, "combo");
  r.Name(p.window, "band");
  r.Clear();
  ASSERT_TRUE(platform::ui::SelectComboRow(p.combo, 2));
  std::vector<nbtest::SeenMessage> commands;
  for (const auto& s : r.Named())
    if (s.msg == WM_COMMAND) commands.push_back(s);
  nbtest::ExpectMessages(commands,
                         {Sent("combo", WM_COMMAND, MAKEWPARAM(kComboListId, LBN_SELCHANGE)),
                          Posted("band", WM_COMMAND, 75636)},
                         "the selection, then its forwarding");
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[1].lParam, commands[0].lParam);
  EXPECT_EQ(SendMessageW(p.combo, CB_GETCURSEL, 0, 0), 2);
  MSG left;
  EXPECT_FALSE(PeekMessageW(&left, nullptr, 0, 0, PM_NOREMOVE)) << "nothing else was posted";
}

TEST_F(BandWindow, TwoBandsKeepTheirOwnCurrentBook) {
  WriteBookList({u"旅の本", u"料理の本"});
  Placed& a = Place(Host());
  Placed& b = Place(Host());
  ASSERT_TRUE(a.combo && b.combo);
  ASSERT_TRUE(platform::ui::SelectComboRow(a.combo, 2));
  EXPECT_EQ(SendMessageW(b.combo, CB_GETCURSEL, 0, 0), 0);
  // A band made anew opens on the book it remembers.
  for (Placed* p : {&a, &b}) {
    p->band->CloseDW(0);
    ComPtr<IObjectWithSite> withSite;
    p->band->QueryInterface(IID_IObjectWithSite, withSite.ReleaseAndGetVoidAddress());
    ASSERT_EQ(withSite->SetSite(p->site->Identity()), S_OK);
    p->band->GetWindow(&p->window);
  }
  HWND comboA = platform::ui::FindWindowByTitle(u"TB4N_COMBO", a.window);
  HWND comboB = platform::ui::FindWindowByTitle(u"TB4N_COMBO", b.window);
  ASSERT_TRUE(comboA && comboB);
  EXPECT_EQ(SendMessageW(comboA, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(SendMessageW(comboB, CB_GETCURSEL, 0, 0), 0);
}

TEST_F(BandWindow, DestroyingTheBandWindowPostsNoQuit) {
  Placed& p = Place(Host());
  p.band->CloseDW(0);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

}  // namespace
