// The controls: combo box, edit, button, toolbar with tooltips, list view.
#include "platform/com/com.h"
#include "tests/platform_ui/recorder.h"

using namespace uitest;
using platform::com::Utf16ToUtf8;

namespace {

LRESULT Send(HWND h, UINT msg, WPARAM w = 0, const void* l = nullptr) {
  return SendMessageW(h, msg, w, reinterpret_cast<LPARAM>(l));
}

std::vector<std::u16string> Rows(HWND combo) {
  std::vector<std::u16string> rows;
  for (int i = 0; i < Send(combo, CB_GETCOUNT); ++i) {
    char16_t buf[64];
    EXPECT_EQ(Send(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), buf),
              Send(combo, CB_GETLBTEXTLEN, i));
    rows.push_back(buf);
  }
  return rows;
}

class ControlsTest : public UiTest {
 protected:
  HWND Combo(DWORD style, int id = 5) {
    return CreateWindowExW(0, u"COMBOBOX", u"", WS_CHILD | WS_VISIBLE | style, 0, 0, 160, 100,
                           Top(), reinterpret_cast<HMENU>(static_cast<LONG_PTR>(id)), nullptr,
                           nullptr);
  }
};

TEST_F(ControlsTest, ComboRowsKeepInsertionOrderOrSortWithoutCase) {
  struct {
    const char* name;
    DWORD style;
    std::vector<std::u16string> added;
    std::vector<std::u16string> rows;
  } const cases[] = {
      {"unsorted", CBS_DROPDOWNLIST, {u"b", u"A", u"c"}, {u"b", u"A", u"c"}},
      {"sorted", CBS_DROPDOWNLIST | CBS_SORT, {u"b", u"C", u"a"}, {u"a", u"b", u"C"}},
      {"sorted keeps equal rows in arrival order",
       CBS_DROPDOWN | CBS_SORT,
       {u"x", u"X", u"a"},
       {u"a", u"x", u"X"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HWND combo = Combo(c.style);
    for (const auto& s : c.added) EXPECT_GE(Send(combo, CB_ADDSTRING, 0, s.c_str()), 0);
    EXPECT_EQ(Rows(combo), c.rows);
  }
}

TEST_F(ControlsTest, ComboSelectionAndItsLimits) {
  HWND combo = Combo(CBS_DROPDOWNLIST);
  EXPECT_EQ(Send(combo, CB_GETCURSEL), CB_ERR) << "nothing selected at first";
  for (auto s : {u"one", u"two", u"three"}) Send(combo, CB_ADDSTRING, 0, s);
  struct {
    WPARAM row;
    LRESULT result;
    LRESULT after;
  } const cases[] = {{1, 1, 1},
                     {2, 2, 2},
                     {3, CB_ERR, CB_ERR},
                     {static_cast<WPARAM>(-1), CB_ERR, CB_ERR},
                     {0, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    EXPECT_EQ(Send(combo, CB_SETCURSEL, c.row), c.result);
    EXPECT_EQ(Send(combo, CB_GETCURSEL), c.after);
  }
  EXPECT_EQ(platform::ui::WindowText(combo), u"one") << "a list-only combo shows its row";
  char16_t buf[8] = u"zz";
  EXPECT_EQ(Send(combo, CB_GETLBTEXT, 7, buf), CB_ERR);
  EXPECT_EQ(Send(combo, CB_DELETESTRING, 0), 2);
  EXPECT_EQ(Send(combo, CB_GETCURSEL), CB_ERR) << "deleting the selected row clears it";
  Send(combo, CB_SETCURSEL, 1);
  Send(combo, CB_INSERTSTRING, 0, u"zero");
  EXPECT_EQ(Send(combo, CB_GETCURSEL), 2) << "the selection follows its row";
  Send(combo, CB_RESETCONTENT);
  EXPECT_EQ(Send(combo, CB_GETCOUNT), 0);
  EXPECT_EQ(Send(combo, CB_GETCURSEL), CB_ERR);
  EXPECT_FALSE(platform::ui::SelectComboRow(combo, 0)) << "no rows to choose";
}

TEST_F(ControlsTest, DropDownComboHasAnEditFieldThatCanBeMadeReadOnly) {
  HWND combo = Combo(CBS_DROPDOWN | CBS_SORT);
  COMBOBOXINFO info{};
  ASSERT_TRUE(GetComboBoxInfo(combo, &info));
  ASSERT_NE(info.hwndItem, nullptr);
  EXPECT_EQ(GetDlgItem(combo, kComboEditId), info.hwndItem);
  EXPECT_EQ(GetWindow(combo, GW_CHILD), info.hwndItem);
  Send(combo, CB_ADDSTRING, 0, u"design");
  Send(combo, CB_SETCURSEL, 0);
  EXPECT_EQ(platform::ui::WindowText(combo), u"design");
  EXPECT_TRUE(platform::ui::TypeText(combo, u"typed"));
  EXPECT_EQ(platform::ui::WindowText(combo), u"typed");
  SendMessageW(info.hwndItem, EM_SETREADONLY, TRUE, 0);
  EXPECT_FALSE(platform::ui::TypeText(combo, u"again"));
  EXPECT_EQ(platform::ui::WindowText(combo), u"typed");

  HWND listOnly = Combo(CBS_DROPDOWNLIST);
  ASSERT_TRUE(GetComboBoxInfo(listOnly, &info));
  EXPECT_EQ(info.hwndItem, nullptr);
  EXPECT_FALSE(platform::ui::TypeText(listOnly, u"x"));
}

// The combo box has taken the new selection before its parent hears CBN_SELCHANGE.
LRESULT g_selAtNotify = -99;
LRESULT SelectionSpy(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE)
    g_selAtNotify = SendMessageW(reinterpret_cast<HWND>(lParam), CB_GETCURSEL, 0, 0);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST_F(ControlsTest, ComboSelectionIsTakenBeforeTheParentHears) {
  HWND combo = Combo(CBS_DROPDOWNLIST);
  for (auto s : {u"a", u"b", u"c"}) Send(combo, CB_ADDSTRING, 0, s);
  SetWindowLongPtrW(GetParent(combo), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SelectionSpy));
  ASSERT_TRUE(platform::ui::SelectComboRow(combo, 2));
  EXPECT_EQ(g_selAtNotify, 2);
  EXPECT_EQ(Send(combo, CB_SETCURSEL, 1), 1);
  EXPECT_EQ(g_selAtNotify, 2) << "a program's CB_SETCURSEL does not notify";
}

TEST_F(ControlsTest, EditLimitHoldsForTypingNotForSetText) {
  HWND top = Top();
  HWND edit = CreateWindowExW(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, top,
                              reinterpret_cast<HMENU>(4), nullptr, nullptr);
  Recorder::Get().Name(top, "top");
  Send(edit, EM_SETLIMITTEXT, 3);
  Recorder::Get().Clear();
  ASSERT_TRUE(platform::ui::TypeText(edit, u"abcdef"));
  EXPECT_EQ(platform::ui::WindowText(edit), u"abc");
  ExpectSequence({Sent("top", WM_COMMAND, MAKEWPARAM(4, EN_SETFOCUS)),
                  Sent("top", WM_COMMAND, MAKEWPARAM(4, EN_UPDATE)),
                  Sent("top", WM_COMMAND, MAKEWPARAM(4, EN_CHANGE)),
                  Sent("top", WM_COMMAND, MAKEWPARAM(4, EN_MAXTEXT))},
                 "typing past the limit");
  SetWindowTextW(edit, u"longer text");
  EXPECT_EQ(platform::ui::WindowText(edit), u"longer text");
  Send(edit, EM_SETREADONLY, TRUE);
  EXPECT_TRUE(GetWindowLongPtrW(edit, GWL_STYLE) & ES_READONLY);
  EXPECT_FALSE(platform::ui::TypeText(edit, u"no"));
}

TEST_F(ControlsTest, ButtonsClickUnlessDisabled) {
  HWND top = Top();
  HWND ok = CreateWindowExW(0, u"BUTTON", u"OK", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, top,
                            reinterpret_cast<HMENU>(IDOK), nullptr, nullptr);
  HWND box = CreateWindowExW(0, u"BUTTON", u"check", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 50, 20, top,
                             reinterpret_cast<HMENU>(8), nullptr, nullptr);
  Recorder::Get().Name(top, "top");
  Recorder::Get().Clear();
  EXPECT_TRUE(platform::ui::Click(ok));
  EXPECT_TRUE(platform::ui::Click(box));
  EXPECT_EQ(IsDlgButtonChecked(top, 8), BST_CHECKED);
  EnableWindow(ok, FALSE);
  EXPECT_FALSE(platform::ui::Click(ok));
  EXPECT_FALSE(platform::ui::Click(top)) << "not a button";
  ExpectSequence({Sent("top", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)),
                  Sent("top", WM_COMMAND, MAKEWPARAM(8, BN_CLICKED))},
                 "clicks");
}

// The band's pattern: four buttons, then a separator put in before the last.
class ToolbarTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    platform::ui::RegisterStringTable(TestModule(2), {{32776, u"add"}, {32779, u"help"}});
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&icc));
    band_ = Top();
    TBBUTTON buttons[4] = {};
    int commands[4] = {1000, 1001, 1002, 1003};
    for (int i = 0; i < 4; ++i) {
      buttons[i].iBitmap = i;
      buttons[i].idCommand = commands[i];
      buttons[i].fsState = TBSTATE_ENABLED;
      buttons[i].fsStyle = TBSTYLE_BUTTON;
    }
    toolbar_ = CreateToolbarEx(band_, 0x50000D60, 7003, 4, TestModule(2), 26003, buttons, 4, 0, 0,
                               80, 20, 20);
    ASSERT_NE(toolbar_, nullptr);
    TBBUTTON sep{};
    sep.iBitmap = 170;
    sep.fsState = TBSTATE_ENABLED;
    sep.fsStyle = TBSTYLE_SEP;
    ASSERT_TRUE(Send(toolbar_, TB_INSERTBUTTONW, 3, &sep));
  }
  void TearDown() override {
    platform::ui::UnregisterResources(TestModule(2));
    UiTest::TearDown();
  }
  HWND band_ = nullptr;
  HWND toolbar_ = nullptr;
};

TEST_F(ToolbarTest, ButtonsSitSideBySideWithTheSeparatorBeforeTheLast) {
  EXPECT_EQ(GetDlgCtrlID(toolbar_), 7003);
  EXPECT_EQ(Send(toolbar_, TB_BUTTONCOUNT), 5);
  struct {
    int index;
    LONG left, right;
  } const cases[] = {{0, 0, 87}, {1, 87, 174}, {2, 174, 261}, {3, 261, 431}, {4, 431, 518}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    RECT rc{};
    ASSERT_TRUE(Send(toolbar_, TB_GETITEMRECT, static_cast<WPARAM>(c.index), &rc));
    EXPECT_EQ(rc.left, c.left);
    EXPECT_EQ(rc.right, c.right);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.bottom, 26);
  }
  RECT rc{};
  EXPECT_FALSE(Send(toolbar_, TB_GETITEMRECT, 5, &rc));
  EXPECT_EQ(Send(toolbar_, TB_COMMANDTOINDEX, 1003), 4);
}

LRESULT TooltipOwner(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Recorder::Get().Record(hwnd, msg, wParam, lParam);
  if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == TTN_NEEDTEXTW) {
    auto* tip = reinterpret_cast<NMTTDISPINFOW*>(lParam);
    tip->hinst = TestModule(2);
    if (tip->hdr.idFrom == 1000) tip->lpszText = MAKEINTRESOURCEW(32776);
    if (tip->hdr.idFrom == 1003) tip->lpszText = MAKEINTRESOURCEW(32779);
    if (tip->hdr.idFrom == 1001) std::copy_n(u"direct", 7, tip->szText);
    return 0;
  }
  return Recorder::Get().Default(hwnd, msg, wParam, lParam);
}

TEST_F(ToolbarTest, TooltipTextComesFromTheOwnersReply) {
  SetWindowLongPtrW(band_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TooltipOwner));
  struct {
    int command;
    std::u16string text;
  } const cases[] = {{1000, u"add"}, {1003, u"help"}, {1001, u"direct"}, {1002, u""}, {4242, u""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(platform::ui::ToolTipText(toolbar_, c.command), c.text);
  }
}

TEST_F(ToolbarTest, ClickingAButtonSendsItsCommandToTheOwner) {
  Recorder::Get().Name(band_, "band");
  Recorder::Get().Ignore(WM_NOTIFY);
  Recorder::Get().Clear();
  EXPECT_TRUE(platform::ui::ClickToolbarButton(toolbar_, 1002));
  EXPECT_FALSE(platform::ui::ClickToolbarButton(toolbar_, 0)) << "the separator";
  Send(toolbar_, TB_ENABLEBUTTON, 1000, reinterpret_cast<const void*>(MAKELPARAM(FALSE, 0)));
  EXPECT_FALSE(platform::ui::ClickToolbarButton(toolbar_, 1000));
  ExpectSequence({Sent("band", WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED))}, "click");
  EXPECT_EQ(Recorder::Get().Seen_().back().lParam, reinterpret_cast<LPARAM>(toolbar_));
}

class ListViewTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    dlg_ = Top();
    list_ = CreateWindowExW(0, WC_LISTVIEWW, u"", WS_CHILD | WS_VISIBLE | 0x5081800D, 10, 10, 150,
                            200, dlg_, reinterpret_cast<HMENU>(10000), nullptr, nullptr);
    ASSERT_NE(list_, nullptr);
    list.Attach(list_);
    list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB);
    ASSERT_EQ(list.InsertColumn(0, u"Title", LVCFMT_LEFT, 300), 0);
    for (auto t : {u"first", u"second", u"third"}) list.InsertItem(list.GetItemCount(), t);
  }
  HWND dlg_ = nullptr;
  HWND list_ = nullptr;
  CListCtrl list;
};

TEST_F(ListViewTest, RowsColumnsAndStates) {
  EXPECT_EQ(list.GetExtendedStyle(), 0x121u);
  EXPECT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(list.GetItemText(1, 0), u"second");
  EXPECT_EQ(list.GetSelectionMark(), -1);
  ASSERT_TRUE(list.SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED));
  EXPECT_EQ(list.GetSelectionMark(), 2) << "the first selection becomes the mark";
  list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(list.GetItemState(2, LVIS_SELECTED), 0u) << "single selection";
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 0);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_FOCUSED), 2);
  EXPECT_FALSE(list.SetItemState(3, LVIS_SELECTED, LVIS_SELECTED));
  list.InsertItem(0, u"zeroth");
  EXPECT_EQ(list.GetSelectionMark(), 3) << "the mark follows its row";
  EXPECT_TRUE(list.DeleteAllItems());
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(list.GetSelectionMark(), -1);
}

struct ClickSeen {
  UINT code = 0;
  int item = -2;
  int markAtNotify = -2;
};
ClickSeen g_click;
LRESULT ClickOwner(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NOTIFY) {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr->code == NM_CLICK || hdr->code == NM_RCLICK) {
      g_click.code = hdr->code;
      g_click.item = reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem;
      g_click.markAtNotify =
          static_cast<int>(SendMessageW(hdr->hwndFrom, LVM_GETSELECTIONMARK, 0, 0));
    }
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST_F(ListViewTest, ClicksSelectTheRowThenNotifyTheParent) {
  SetWindowLongPtrW(dlg_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ClickOwner));
  struct {
    const char* name;
    int row;
    bool right;
    bool ok;
    UINT code;
    int mark;
  } const cases[] = {
      {"left click on row 1", 1, false, true, NM_CLICK, 1},
      {"right click on row 2 moves the mark", 2, true, true, NM_RCLICK, 2},
      {"click below the rows keeps the mark", -1, false, true, NM_CLICK, 2},
      {"row past the end is refused", 3, false, false, 0, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    g_click = ClickSeen{};
    bool ok = c.right ? platform::ui::RightClickListRow(list_, c.row)
                      : platform::ui::ClickListRow(list_, c.row);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(list.GetSelectionMark(), c.mark);
    if (!c.ok) continue;
    EXPECT_EQ(g_click.code, c.code);
    EXPECT_EQ(g_click.item, c.row);
    EXPECT_EQ(g_click.markAtNotify, c.mark);
    EXPECT_EQ(list.GetItemState(c.row < 0 ? 0 : c.row, LVIS_SELECTED),
              c.row < 0 ? 0u : LVIS_SELECTED);
  }
}

}  // namespace

namespace {

// The band's whole window: class registered once per module, the band window holding its
// object from WM_NCCREATE, a toolbar, a placeholder in the separator's gap and a combo box in it.
struct Band {
  HWND window = nullptr;
  int focusChanges = 0;
};

LRESULT BandProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* band = reinterpret_cast<Band*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_NCCREATE:
      band = static_cast<Band*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(band));
      band->window = hwnd;
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      ++band->focusChanges;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND CreateBand(HWND host, Band* band) {
  HINSTANCE module = TestModule(4);
  WNDCLASSW wc{};
  if (!GetClassInfoW(module, u"BandClass", &wc)) {
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS;
    wc.lpfnWndProc = BandProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = u"BandClass";
    if (!RegisterClassW(&wc)) return nullptr;
  }
  RECT rc{};
  GetClientRect(host, &rc);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  CreateWindowExW(WS_EX_STATICEDGE, u"BandClass", nullptr, 0x56000004, rc.left, rc.top, 620, 20,
                  host, nullptr, module, band);
  TBBUTTON buttons[4] = {};
  for (int i = 0; i < 4; ++i) {
    buttons[i].iBitmap = i;
    buttons[i].idCommand = 1000 + i;
    buttons[i].fsState = TBSTATE_ENABLED;
  }
  HWND tb = CreateToolbarEx(band->window, 0x50000D60, 7003, 4, module, 26003, buttons, 4, 0, 0, 80,
                            20, 20);
  TBBUTTON sep{};
  sep.iBitmap = 170;
  sep.fsState = TBSTATE_ENABLED;
  sep.fsStyle = TBSTYLE_SEP;
  SendMessageW(tb, TB_INSERTBUTTONW, 3, reinterpret_cast<LPARAM>(&sep));
  RECT button{};
  SendMessageW(tb, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&button));
  HWND holder = CreateWindowExW(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE, 265, button.top, 160,
                                button.bottom, tb, nullptr, module, nullptr);
  HWND combo = CreateWindowExW(0, u"COMBOBOX", u"TB4N_COMBO", 0x54200043, 0, 2, 160, 100, holder,
                               reinterpret_cast<HMENU>(1), module, nullptr);
  SendMessageW(combo, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"book"));
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  return combo;
}

TEST_F(ControlsTest, TwoBandsEachWithTheirOwnWindowsAndCleanTeardown) {
  HWND host1 = Top(u"browser 1"), host2 = Top(u"browser 2");
  Band one, two;
  HWND combo1 = CreateBand(host1, &one);
  HWND combo2 = CreateBand(host2, &two);
  ASSERT_NE(combo1, nullptr);
  ASSERT_NE(combo2, nullptr);
  EXPECT_EQ(platform::ui::FindWindowByClass(u"BandClass", host2), two.window);
  EXPECT_EQ(platform::ui::FindWindowByTitle(u"TB4N_COMBO", host1), combo1);
  RECT rc{};
  GetWindowRect(GetParent(combo1), &rc);
  RECT band{};
  GetWindowRect(one.window, &band);
  EXPECT_EQ(rc.left - band.left, 265) << "the placeholder starts at x 265 of the toolbar";
  EXPECT_EQ(SendMessageW(combo1, WM_GETFONT, 0, 0),
            reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
  SetFocus(one.window);
  SetFocus(two.window);
  EXPECT_EQ(one.focusChanges, 2);
  EXPECT_EQ(two.focusChanges, 1);

  HWND toolbar = platform::ui::FindControl(one.window, 7003);
  HWND tooltip = reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
  COMBOBOXINFO info{};
  GetComboBoxInfo(combo1, &info);
  ASSERT_TRUE(IsWindow(tooltip));
  ASSERT_TRUE(IsWindow(info.hwndList));
  EXPECT_TRUE(DestroyWindow(one.window));
  for (HWND gone : {toolbar, tooltip, combo1, info.hwndList}) EXPECT_FALSE(IsWindow(gone));
  EXPECT_TRUE(IsWindow(combo2));
  EXPECT_EQ(platform::ui::WindowText(combo2), u"book");
}

}  // namespace
