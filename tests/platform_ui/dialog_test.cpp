// Resources, modal dialogs driven by automation, pop-up menus, message boxes, images and the
// class-library wrappers.
#include "platform/com/com.h"
#include "tests/platform_ui/recorder.h"

using namespace uitest;
using platform::ui::DialogTemplate;

namespace {

HINSTANCE Module() {
  return TestModule(3);
}

constexpr int kForm = 7100, kNested = 7101, kListForm = 7102, kMenu = 7004;
constexpr int kEdit = 100, kCombo = 101, kNew = 102, kList = 10000;

class DialogTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    using platform::ui::DialogItemTemplate;
    DialogTemplate form;
    form.cx = 200;
    form.cy = 120;
    form.caption = u"Form";
    form.fontName = u"Sans";
    form.items = {
        {u"EDIT", u"", kEdit, WS_VISIBLE | WS_TABSTOP | WS_BORDER, 10, 10, 100, 12},
        {u"COMBOBOX", u"", kCombo, 0x50210102, 10, 30, 100, 60},
        {u"BUTTON", u"New", kNew, WS_VISIBLE | WS_TABSTOP, 120, 50, 50, 14},
        {u"BUTTON", u"OK", IDOK, WS_VISIBLE | WS_TABSTOP, 120, 70, 50, 14},
        {u"BUTTON", u"Cancel", IDCANCEL, WS_VISIBLE | WS_TABSTOP, 120, 90, 50, 14},
    };
    platform::ui::RegisterDialogTemplate(Module(), kForm, form);
    DialogTemplate nested = form;
    nested.caption = u"Nested";
    platform::ui::RegisterDialogTemplate(Module(), kNested, nested);
    DialogTemplate listForm;
    listForm.cx = 185;
    listForm.cy = 186;
    listForm.caption = u"Books";
    listForm.items = {{u"SysListView32", u"", kList, 0x5081800D, 9, 26, 102, 149},
                      {u"BUTTON", u"OK", IDOK, WS_VISIBLE | WS_TABSTOP, 129, 134, 50, 14}};
    platform::ui::RegisterDialogTemplate(Module(), kListForm, listForm);
    platform::ui::RegisterMenuTemplate(Module(), kMenu,
                                       {{{u"Books",
                                          0,
                                          MF_POPUP,
                                          {{u"View", 32771},
                                           {u"Delete", 32772},
                                           {u"", 0, MF_SEPARATOR},
                                           {u"Off", 32773, MF_GRAYED}}}}});
    platform::ui::RegisterStringTable(Module(), {{3000, u"help is missing"}, {3001, u"abcdef"}});
  }
  void TearDown() override {
    platform::ui::UnregisterResources(Module());
    UiTest::TearDown();
  }
};

// What the form's procedure puts in and reads back.
struct Form {
  std::u16string name;
  std::u16string design;
  std::vector<int> commands;
  int nestedResult = 0;
  int deletedRow = -2;
};

INT_PTR FormProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dlg, GWLP_USERDATA, lParam);
      form = reinterpret_cast<Form*>(lParam);
      SetDlgItemTextW(dlg, kEdit, form->name.c_str());
      SendDlgItemMessageW(dlg, kEdit, EM_SETLIMITTEXT, 8, 0);
      for (auto d : {u"zeta", u"alpha", u"mid"})
        SendDlgItemMessageW(dlg, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(d));
      SendDlgItemMessageW(dlg, kCombo, CB_SETCURSEL, 0, 0);
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      form->commands.push_back(LOWORD(wParam));
      if (LOWORD(wParam) == IDOK) {
        char16_t buf[64];
        GetDlgItemTextW(dlg, kEdit, buf, 64);
        form->name = buf;
        GetDlgItemTextW(dlg, kCombo, buf, 64);
        form->design = buf;
        EndDialog(dlg, IDOK);
      } else if (LOWORD(wParam) == IDCANCEL) {
        if (form->name != u"stubborn") EndDialog(dlg, IDCANCEL);
      } else if (LOWORD(wParam) == kNew) {
        Form inner;
        form->nestedResult = static_cast<int>(DialogBoxParamW(
            Module(), MAKEINTRESOURCEW(kNested), dlg, FormProc, reinterpret_cast<LPARAM>(&inner)));
      }
      return TRUE;
    default:
      return FALSE;
  }
}

TEST_F(DialogTest, AutomationFillsAModalDialogAndPressesOk) {
  HWND owner = Top();
  Form form;
  form.name = u"start";
  platform::ui::OnNextDialog([](HWND dlg) {
    EXPECT_EQ(platform::ui::WindowText(dlg), u"Form");
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, kEdit)) << "the first tab stop has the focus";
    EXPECT_EQ(platform::ui::WindowText(GetDlgItem(dlg, kEdit)), u"start");
    HWND combo = platform::ui::FindControl(dlg, kCombo);
    EXPECT_EQ(platform::ui::WindowText(combo), u"alpha") << "sorted: alpha, mid, zeta";
    EXPECT_TRUE(platform::ui::TypeText(GetDlgItem(dlg, kEdit), u"a long title"));
    EXPECT_TRUE(platform::ui::SelectComboRow(combo, 2));
    EXPECT_TRUE(platform::ui::Click(GetDlgItem(dlg, IDOK)));
  });
  EXPECT_EQ(DialogBoxParamW(Module(), MAKEINTRESOURCEW(kForm), owner, FormProc,
                            reinterpret_cast<LPARAM>(&form)),
            IDOK);
  EXPECT_EQ(form.name, u"a long t") << "typing stops at the edit limit";
  EXPECT_EQ(form.design, u"zeta");
  EXPECT_EQ(platform::ui::FindWindowByTitle(u"Form"), nullptr) << "the dialog is gone";
  EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(DialogTest, NestedDialogsTakeTheirHandlersInOrder) {
  Form form;
  platform::ui::OnNextDialog([](HWND dlg) {
    platform::ui::Click(GetDlgItem(dlg, kNew));
    platform::ui::Click(GetDlgItem(dlg, IDOK));
  });
  platform::ui::OnNextDialog([](HWND dlg) {
    EXPECT_EQ(platform::ui::WindowText(dlg), u"Nested");
    EXPECT_FALSE(IsWindowEnabled(platform::ui::FindWindowByTitle(u"Form")));
    platform::ui::Click(GetDlgItem(dlg, IDCANCEL));
  });
  EXPECT_EQ(DialogBoxParamW(Module(), MAKEINTRESOURCEW(kForm), Top(), FormProc,
                            reinterpret_cast<LPARAM>(&form)),
            IDOK);
  EXPECT_EQ(form.nestedResult, IDCANCEL);
  EXPECT_EQ(form.commands, (std::vector<int>{kNew, IDOK}));
}

TEST_F(DialogTest, AnUnattendedDialogIsCancelled) {
  struct {
    const char* name;
    std::u16string start;
    std::vector<int> commands;
  } const cases[] = {
      {"Escape closes it", u"", {IDCANCEL}},
      {"a dialog that refuses Escape is closed anyway", u"stubborn", {IDCANCEL}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Form form;
    form.name = c.start;
    EXPECT_EQ(DialogBoxParamW(Module(), MAKEINTRESOURCEW(kForm), nullptr, FormProc,
                              reinterpret_cast<LPARAM>(&form)),
              IDCANCEL);
    EXPECT_EQ(form.commands, c.commands);
  }
  EXPECT_EQ(DialogBoxParamW(Module(), MAKEINTRESOURCEW(4242), nullptr, FormProc, 0), -1)
      << "no such template";
}

INT_PTR ListFormProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dlg, GWLP_USERDATA, lParam);
      CListCtrl list;
      list.Attach(GetDlgItem(dlg, kList));
      list.InsertColumn(0, u"Title", LVCFMT_LEFT, 300);
      for (auto t : {u"a", u"b", u"c"}) list.InsertItem(list.GetItemCount(), t);
      list.Detach();
      return TRUE;
    }
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lParam);
      if (hdr->idFrom != kList || hdr->code != NM_RCLICK) return FALSE;
      HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(kMenu));
      POINT pt{};
      GetCursorPos(&pt);
      TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTBUTTON, pt.x, pt.y, 0, dlg, nullptr);
      DestroyMenu(menu);
      EXPECT_FALSE(IsMenu(menu));
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == 32772)
        form->deletedRow =
            static_cast<int>(SendDlgItemMessageW(dlg, kList, LVM_GETSELECTIONMARK, 0, 0));
      if (LOWORD(wParam) == IDOK) EndDialog(dlg, IDOK);
      return TRUE;
    default:
      return FALSE;
  }
}

TEST_F(DialogTest, RightClickMenuChoiceArrivesAsACommand) {
  Form form;
  platform::ui::OnNextDialog([](HWND dlg) {
    platform::ui::ChooseNextMenuItem(32772);
    EXPECT_TRUE(platform::ui::RightClickListRow(GetDlgItem(dlg, kList), 1));
    platform::ui::Click(GetDlgItem(dlg, IDOK));
  });
  EXPECT_EQ(DialogBoxParamW(Module(), MAKEINTRESOURCEW(kListForm), Top(), ListFormProc,
                            reinterpret_cast<LPARAM>(&form)),
            IDOK);
  EXPECT_EQ(form.deletedRow, 1);
  auto menus = platform::ui::PopupMenus();
  ASSERT_EQ(menus.size(), 1u);
  ASSERT_EQ(menus[0].items.size(), 4u);
  EXPECT_EQ(menus[0].items[0].text, u"View");
  EXPECT_EQ(menus[0].items[1].id, 32772u);
  EXPECT_EQ(menus[0].chosen, 32772u);
  POINT pt{};
  GetCursorPos(&pt);
  EXPECT_EQ(menus[0].x, pt.x) << "shown where the mouse was";
}

TEST_F(DialogTest, PopupMenuChoicesAreCheckedAgainstTheMenu) {
  HWND owner = Top();
  Recorder::Get().Name(owner, "owner");
  struct {
    const char* name;
    UINT choice;
    UINT flags;
    BOOL result;
    bool command;
  } const cases[] = {
      {"returned", 32771, TPM_RETURNCMD, 32771, false},
      {"dismissed", 0, TPM_RETURNCMD, 0, false},
      {"grayed item cannot be chosen", 32773, TPM_RETURNCMD, 0, false},
      {"unknown item cannot be chosen", 5, TPM_RETURNCMD, 0, false},
      {"posted to the owner", 32772, TPM_LEFTBUTTON, TRUE, true},
      {"dismissed without a command", 0, TPM_LEFTBUTTON, TRUE, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(kMenu));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), 4);
    Recorder::Get().Clear();
    platform::ui::ChooseNextMenuItem(c.choice);
    EXPECT_EQ(TrackPopupMenu(GetSubMenu(menu, 0), c.flags, 1, 2, 0, owner, nullptr), c.result);
    platform::ui::PumpMessages();
    if (c.command)
      ExpectSequence({Posted("owner", WM_COMMAND, MAKEWPARAM(c.choice, 0))}, "command");
    else
      ExpectSequence({}, "no command");
    DestroyMenu(menu);
  }
  EXPECT_EQ(LoadMenuW(Module(), MAKEINTRESOURCEW(1)), nullptr);
}

TEST_F(DialogTest, StringTableLookups) {
  struct {
    HINSTANCE module;
    UINT id;
    int cch;
    int result;
    std::u16string text;
  } const cases[] = {
      {Module(), 3001, 64, 6, u"abcdef"}, {Module(), 3001, 4, 3, u"abc"},
      {Module(), 3001, 1, 0, u""},        {Module(), 3002, 64, 0, u""},
      {TestModule(9), 3001, 64, 0, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    char16_t buf[64] = u"garbage";
    EXPECT_EQ(LoadStringW(c.module, c.id, buf, c.cch), c.result);
    EXPECT_EQ(std::u16string(buf), c.text);
  }
  LPCWSTR direct = nullptr;
  EXPECT_EQ(LoadStringW(Module(), 3000, reinterpret_cast<LPWSTR>(&direct), 0), 15);
  EXPECT_EQ(std::u16string(direct), u"help is missing");
}

TEST_F(DialogTest, MessageBoxesAreAnsweredRecordedAndDefaulted) {
  platform::ui::ResetAutomation();  // no handler: the default answers
  struct {
    UINT type;
    int answer;
  } const defaults[] = {{MB_OK, IDOK},
                        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
                        {MB_YESNO | MB_ICONWARNING, IDYES},
                        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL}};
  for (const auto& d : defaults) EXPECT_EQ(MessageBoxW(nullptr, u"text", u"cap", d.type), d.answer);
  platform::ui::AnswerNextMessageBox(IDNO);
  platform::ui::SetMessageBoxHandler(
      [](const platform::ui::MessageBoxRecord& r) { return r.text == u"retry?" ? IDRETRY : IDOK; });
  HWND owner = Top();
  EXPECT_EQ(MessageBoxW(owner, u"queued", u"cap", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxW(owner, u"retry?", nullptr, MB_RETRYCANCEL), IDRETRY);
  AfxSetResourceHandle(Module());
  EXPECT_EQ(AfxMessageBox(3000, MB_ICONHAND), IDOK);
  auto boxes = platform::ui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 7u);
  EXPECT_EQ(boxes[4].owner, owner);
  EXPECT_EQ(boxes[4].answer, IDNO);
  EXPECT_EQ(boxes[5].caption, u"Error") << "no caption given";
  EXPECT_EQ(boxes[6].text, u"help is missing");
  EXPECT_EQ(boxes[6].type, MB_ICONHAND);
  AfxSetResourceHandle(nullptr);
}

// A library's framework state puts its resources where the framework looks, until it ends.
TEST_F(DialogTest, ExtensionModuleResources) {
  HINSTANCE library = uitest::TestModule(21);
  platform::ui::RegisterStringTable(library, {{4100, u"from the library"}});
  platform::ui::RegisterDialogTemplate(library, 4101, DialogTemplate{});
  AFX_EXTENSION_MODULE state{};
  EXPECT_FALSE(AfxInitExtensionModule(state, nullptr));
  ASSERT_TRUE(AfxInitExtensionModule(state, library));
  EXPECT_TRUE(AfxInitExtensionModule(state, library)) << "once is enough";
  EXPECT_EQ(state.hModule, library);

  AfxMessageBox(4100);
  class Probe : public CDialog {
   public:
    Probe() : CDialog(4101) {}
    BOOL OnInitDialog() override {
      EndDialog(IDOK);
      return TRUE;
    }
  } probe;
  EXPECT_EQ(probe.DoModal(), IDOK) << "the template is found in the library";

  AfxTermExtensionModule(state);
  EXPECT_FALSE(state.bInitialized);
  AfxMessageBox(4100);
  EXPECT_EQ(probe.DoModal(), -1);
  auto boxes = platform::ui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, u"from the library");
  EXPECT_EQ(boxes[1].text, u"") << "no longer looked in";
  platform::ui::UnregisterResources(library);
}

TEST_F(DialogTest, ImagesFromResourcesAndTheSystem) {
  platform::ui::RegisterImageResource(Module(), 7008, IMAGE_ICON, 16, 16);
  platform::ui::RegisterImageResource(Module(), 26003, IMAGE_BITMAP, 320, 20);
  HANDLE shared =
      LoadImageW(Module(), MAKEINTRESOURCEW(7008), IMAGE_ICON, 0, 0, LR_SHARED | LR_DEFAULTSIZE);
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(
      LoadImageW(Module(), MAKEINTRESOURCEW(7008), IMAGE_ICON, 0, 0, LR_SHARED | LR_DEFAULTSIZE),
      shared);
  HANDLE own = LoadImageW(Module(), MAKEINTRESOURCEW(26003), IMAGE_BITMAP, 0, 0, 0);
  platform::ui::ImageInfo info;
  ASSERT_TRUE(platform::ui::DescribeImage(own, &info));
  EXPECT_EQ(info.width, 320);
  EXPECT_NE(LoadImageW(Module(), MAKEINTRESOURCEW(26003), IMAGE_BITMAP, 0, 0, 0), own);
  EXPECT_TRUE(DeleteObject(own));
  EXPECT_FALSE(platform::ui::DescribeImage(own, nullptr));
  EXPECT_EQ(LoadImageW(Module(), MAKEINTRESOURCEW(7008), IMAGE_BITMAP, 0, 0, 0), nullptr)
      << "wrong type";
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  HCURSOR before = SetCursor(static_cast<HCURSOR>(shared));
  EXPECT_EQ(SetCursor(before), shared);
  EXPECT_NE(GetStockObject(DEFAULT_GUI_FONT), nullptr);
}

// The band's pattern: a combo box wrapper that forwards a selection change from its list to
// another window by posting.
class ForwardingCombo : public CComboBox {
 public:
  HWND target = nullptr;

 protected:
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    if (HIWORD(wParam) == 1) ::PostMessageW(target, WM_COMMAND, MAKEWPARAM(10100, 1), lParam);
    return CComboBox::OnCommand(wParam, lParam);
  }
};

LRESULT g_rowWhenForwarded = -9;
HWND g_combo = nullptr;
LRESULT ForwardTarget(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND && wParam == 75636)
    g_rowWhenForwarded = SendMessageW(g_combo, CB_GETCURSEL, 0, 0);
  return RecordingProc(hwnd, msg, wParam, lParam);
}

TEST_F(DialogTest, AttachedWrapperSeesTheListsCommandAndForwardsIt) {
  HWND band = Top();
  SetWindowLongPtrW(band, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForwardTarget));
  HWND holder = CreateWindowExW(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE, 265, 0, 160, 26, band,
                                nullptr, nullptr, nullptr);
  g_combo = CreateWindowExW(0, u"COMBOBOX", u"TB4N_COMBO", 0x54200043, 0, 2, 160, 100, holder,
                            reinterpret_cast<HMENU>(1), nullptr, nullptr);
  ForwardingCombo combo;
  combo.target = band;
  ASSERT_TRUE(combo.Attach(g_combo));
  EXPECT_FALSE(ForwardingCombo().Attach(g_combo)) << "one wrapper per window";
  combo.AddString(u"first");
  combo.AddString(u"second");
  EXPECT_EQ(combo.SetCurSel(0), 0);
  EXPECT_EQ(combo.GetLBText(1), u"second");
  Recorder::Get().Name(band, "band");
  Recorder::Get().Clear();
  ASSERT_TRUE(platform::ui::SelectComboRow(g_combo, 1));
  ExpectSequence({Posted("band", WM_COMMAND, 75636)}, "forwarded once, by post");
  EXPECT_EQ(g_rowWhenForwarded, 1);
  EXPECT_EQ(combo.GetCurSel(), 1);
  DestroyWindow(band);
  tops_.clear();
  EXPECT_EQ(combo.m_hWnd, nullptr) << "destruction detaches";
}

class NameDialog : public CDialog {
 public:
  explicit NameDialog(HWND parent) : CDialog(kForm, parent, Module()) {}
  std::u16string name = u"initial";
  bool initialised = false;

 protected:
  BOOL OnInitDialog() override {
    initialised = true;
    SetDlgItemTextW(m_hWnd, kEdit, name.c_str());
    return TRUE;
  }
  void OnOK() override {
    char16_t buf[64];
    GetDlgItemTextW(m_hWnd, kEdit, buf, 64);
    name = buf;
    CDialog::OnOK();
  }
};

TEST_F(DialogTest, DialogBaseClassRunsModally) {
  NameDialog dialog(Top());
  platform::ui::OnNextDialog([](HWND dlg) {
    EXPECT_EQ(platform::ui::WindowText(GetDlgItem(dlg, kEdit)), u"initial");
    platform::ui::TypeText(GetDlgItem(dlg, kEdit), u"changed");
    platform::ui::Click(GetDlgItem(dlg, IDOK));
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(dialog.initialised);
  EXPECT_EQ(dialog.name, u"changed");
  EXPECT_EQ(dialog.m_hWnd, nullptr);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL) << "unattended: cancelled";
}

}  // namespace
