// The messages a window procedure sees, in order, for creation, destruction, focus, moving, a
// combo box selection and a modal dialog's life.
#include <functional>

#include "tests/platform_ui/recorder.h"

using namespace uitest;

namespace {

LRESULT RefusingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Recorder::Get().Record(hwnd, msg, wParam, lParam);
  if (msg == WM_NCCREATE || msg == WM_CREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    Recorder::Get().Name(hwnd, "w");
    auto refuse = reinterpret_cast<ULONG_PTR>(cs->lpCreateParams);
    if (msg == WM_NCCREATE && refuse == 1) return FALSE;
    if (msg == WM_CREATE && refuse == 2) return -1;
  }
  return Recorder::Get().Default(hwnd, msg, wParam, lParam);
}

WNDPROC g_comboSuper = nullptr;
LRESULT ComboSpy(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Recorder::Get().Record(hwnd, msg, wParam, lParam);
  return CallWindowProcW(g_comboSuper, hwnd, msg, wParam, lParam);
}

INT_PTR RecordingDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) Recorder::Get().Name(hwnd, "dlg");
  Recorder::Get().Record(hwnd, msg, wParam, lParam);
  if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) {
    EndDialog(hwnd, 42);
    return TRUE;
  }
  return FALSE;
}

struct Case {
  const char* name;
  // Builds the windows, clears the recorder, acts, and returns what should have been seen.
  std::function<std::vector<nbtest::ExpectedMessage>(UiTest&, HWND top)> run;
};

class MessageSequence : public UiTest, public ::testing::WithParamInterface<Case> {
 public:
  HWND MakeTop() { return Top(); }
};

const Case kCases[] = {
    {"child creation carries its parameter and tells the parent",
     [](UiTest&, HWND top) {
       auto& r = Recorder::Get();
       r.Name(top, "parent");
       r.Clear();
       int marker = 0;
       HWND child = CreateWindowExW(0, RecordingClass(), u"c", WS_CHILD | WS_VISIBLE, 1, 2, 30, 40,
                                    top, reinterpret_cast<HMENU>(7), TestModule(), &marker);
       r.Name(child, "child");
       return std::vector<nbtest::ExpectedMessage>{
           Sent("child", WM_NCCREATE),
           Sent("child", WM_CREATE),
           Sent("child", WM_SIZE, SIZE_RESTORED),
           Sent("child", WM_MOVE),
           Sent("parent", WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, 7)),
           Sent("child", WM_SHOWWINDOW, TRUE)};
     }},
    {"a refused WM_NCCREATE ends at WM_NCDESTROY",
     [](UiTest&, HWND) {
       Recorder::Get().Clear();
       EXPECT_EQ(CreateWindowExW(0, u"Refusing", u"", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr,
                                 TestModule(), reinterpret_cast<LPVOID>(1)),
                 nullptr);
       return std::vector<nbtest::ExpectedMessage>{Sent("w", WM_NCCREATE), Sent("w", WM_NCDESTROY)};
     }},
    {"WM_CREATE answering -1 destroys the window",
     [](UiTest&, HWND) {
       Recorder::Get().Clear();
       EXPECT_EQ(CreateWindowExW(0, u"Refusing", u"", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr,
                                 TestModule(), reinterpret_cast<LPVOID>(2)),
                 nullptr);
       return std::vector<nbtest::ExpectedMessage>{Sent("w", WM_NCCREATE), Sent("w", WM_CREATE),
                                                   Sent("w", WM_DESTROY), Sent("w", WM_NCDESTROY)};
     }},
    {"destroying a parent: WM_DESTROY downwards, WM_NCDESTROY upwards",
     [](UiTest&, HWND) {
       auto& r = Recorder::Get();
       HWND top = MakeTopLevel(u"doomed");
       HWND a = MakeChild(top, 1), g = MakeChild(a, 2), b = MakeChild(top, 3);
       r.Name(top, "top");
       r.Name(a, "a");
       r.Name(g, "g");
       r.Name(b, "b");
       r.Clear();
       EXPECT_TRUE(DestroyWindow(top));
       EXPECT_FALSE(IsWindow(g));
       return std::vector<nbtest::ExpectedMessage>{
           Sent("top", WM_DESTROY), Sent("a", WM_DESTROY),    Sent("g", WM_DESTROY),
           Sent("b", WM_DESTROY),   Sent("g", WM_NCDESTROY),  Sent("a", WM_NCDESTROY),
           Sent("b", WM_NCDESTROY), Sent("top", WM_NCDESTROY)};
     }},
    {"destroying a child tells the parent first",
     [](UiTest&, HWND top) {
       auto& r = Recorder::Get();
       HWND a = MakeChild(top, 9);
       r.Name(top, "top");
       r.Name(a, "a");
       r.Clear();
       DestroyWindow(a);
       return std::vector<nbtest::ExpectedMessage>{
           Sent("top", WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, 9)), Sent("a", WM_DESTROY),
           Sent("a", WM_NCDESTROY)};
     }},
    {"focus moves with WM_KILLFOCUS before WM_SETFOCUS",
     [](UiTest&, HWND top) {
       auto& r = Recorder::Get();
       HWND a = MakeChild(top, 1), b = MakeChild(top, 2);
       r.Name(a, "a");
       r.Name(b, "b");
       r.Clear();
       SetFocus(a);
       EXPECT_EQ(SetFocus(b), a);
       EXPECT_EQ(GetFocus(), b);
       return std::vector<nbtest::ExpectedMessage>{
           Sent("a", WM_SETFOCUS), Sent("a", WM_KILLFOCUS, reinterpret_cast<WPARAM>(b)),
           Sent("b", WM_SETFOCUS, reinterpret_cast<WPARAM>(a))};
     }},
    {"hiding the focused child gives the focus to its parent",
     [](UiTest&, HWND top) {
       auto& r = Recorder::Get();
       HWND a = MakeChild(top, 1);
       SetFocus(a);
       r.Name(top, "top");
       r.Name(a, "a");
       r.Clear();
       ShowWindow(a, SW_HIDE);
       EXPECT_EQ(GetFocus(), top);
       return std::vector<nbtest::ExpectedMessage>{
           Sent("a", WM_SHOWWINDOW, FALSE), Sent("a", WM_KILLFOCUS),
           Sent("top", WM_SETFOCUS, reinterpret_cast<WPARAM>(a))};
     }},
    {"SetWindowPos reports the change, then moves and sizes",
     [](UiTest&, HWND top) {
       auto& r = Recorder::Get();
       HWND a = MakeChild(top, 1);
       r.Name(a, "a");
       r.Clear();
       SetWindowPos(a, nullptr, 5, 6, 70, 80, SWP_NOZORDER);
       return std::vector<nbtest::ExpectedMessage>{Sent("a", WM_WINDOWPOSCHANGING),
                                                   Sent("a", WM_WINDOWPOSCHANGED),
                                                   DefProc("a", WM_MOVE), DefProc("a", WM_SIZE)};
     }},
    {"a person's combo selection: the list tells the combo box, the combo box its parent",
     [](UiTest&, HWND top) {
       auto& r = Recorder::Get();
       HWND combo =
           CreateWindowExW(0, u"COMBOBOX", u"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 0, 0, 100,
                           100, top, reinterpret_cast<HMENU>(5), nullptr, nullptr);
       SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"one"));
       SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"two"));
       g_comboSuper = reinterpret_cast<WNDPROC>(
           SetWindowLongPtrW(combo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ComboSpy)));
       r.Name(top, "parent");
       r.Name(combo, "combo");
       r.Clear();
       EXPECT_TRUE(platform::ui::SelectComboRow(combo, 1));
       return std::vector<nbtest::ExpectedMessage>{
           Sent("parent", WM_COMMAND, MAKEWPARAM(5, CBN_DROPDOWN)),
           Sent("combo", WM_COMMAND, MAKEWPARAM(kComboListId, LBN_SELCHANGE)),
           Sent("parent", WM_COMMAND, MAKEWPARAM(5, CBN_SELCHANGE)),
           Sent("parent", WM_COMMAND, MAKEWPARAM(5, CBN_SELENDOK)),
           Sent("parent", WM_COMMAND, MAKEWPARAM(5, CBN_CLOSEUP))};
     }},
    {"a modal dialog's life, with the owner disabled throughout",
     [](UiTest&, HWND top) {
       auto& r = Recorder::Get();
       platform::ui::DialogTemplate t;
       t.cx = 100;
       t.cy = 50;
       t.caption = u"Sequence";
       t.fontName = u"Sans";
       t.items = {{u"BUTTON", u"OK", IDOK, WS_VISIBLE | WS_TABSTOP, 10, 10, 40, 14}};
       platform::ui::RegisterDialogTemplate(TestModule(), 900, t);
       platform::ui::OnNextDialog([](HWND dlg) {
         EXPECT_FALSE(IsWindowEnabled(GetParent(dlg)));
         platform::ui::Click(GetDlgItem(dlg, IDOK));
       });
       r.Name(top, "owner");
       r.Clear();
       EXPECT_EQ(DialogBoxParamW(TestModule(), MAKEINTRESOURCEW(900), top, RecordingDialogProc, 0),
                 42);
       EXPECT_TRUE(IsWindowEnabled(top));
       return std::vector<nbtest::ExpectedMessage>{
           Sent("owner", WM_ENABLE, FALSE),
           Sent("dlg", WM_SETFONT),
           Sent("dlg", WM_INITDIALOG),
           Sent("dlg", WM_SHOWWINDOW, TRUE),
           Sent("dlg", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)),
           Sent("owner", WM_ENABLE, TRUE),
           Sent("dlg", WM_DESTROY),
           Sent("dlg", WM_NCDESTROY)};
     }},
};

TEST_P(MessageSequence, MatchesExpected) {
  static bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RefusingProc;
    wc.hInstance = TestModule();
    wc.lpszClassName = u"Refusing";
    return RegisterClassW(&wc) != 0;
  }();
  ASSERT_TRUE(registered);
  HWND top = MakeTop();
  auto want = GetParam().run(*this, top);
  ExpectSequence(want, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Windows, MessageSequence, ::testing::ValuesIn(kCases));

}  // namespace

namespace {

LRESULT CountingHook(int code, WPARAM wParam, LPARAM lParam) {
  static int calls = 0;
  if (lParam == 0) return calls;  // asked for the count
  ++calls;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The hooks see what the windows' own procedures cannot report: the messages of a system
// control, sent and posted apart, in the order they reach it; hooks chain and come off again.
TEST_F(UiTest, HooksSeeSentAndPostedMessagesOfAnyWindow) {
  HWND top = Top();
  HWND label = CreateWindowExW(0, u"STATIC", u"", WS_CHILD, 0, 0, 10, 10, top, nullptr,
                               TestModule(), nullptr);
  auto& r = Recorder::Get();
  r.Name(label, "label");
  {
    HHOOK inner = SetWindowsHookExW(WH_CALLWNDPROC, CountingHook, nullptr, 0);
    ASSERT_NE(inner, nullptr);
    HookRecorder hooks;
    ASSERT_TRUE(hooks.Installed());
    r.Clear();
    PostMessageW(label, WM_USER + 2, 2, 0);
    SendMessageW(label, WM_USER + 1, 1, 0);
    platform::ui::PumpMessages();
    ExpectSequence({Sent("label", WM_USER + 1, 1), Posted("label", WM_USER + 2, 2)}, "hooked");
    // The recorder passed the sent message on to the hook installed before it.
    EXPECT_EQ(CountingHook(0, 0, 0), 1);
    EXPECT_TRUE(UnhookWindowsHookEx(inner));
    EXPECT_FALSE(UnhookWindowsHookEx(inner));
  }
  r.Clear();
  SendMessageW(label, WM_USER + 3, 0, 0);
  EXPECT_TRUE(r.Seen_().empty());
  // Another thread's hooks cannot be set from here.
  EXPECT_EQ(SetWindowsHookExW(WH_CALLWNDPROC, CountingHook, nullptr, GetCurrentThreadId() + 1),
            nullptr);
}

}  // namespace

#include <gtest/gtest-spi.h>

namespace {

using nbtest::ExpectedMessage;
using nbtest::SeenMessage;

// The comparison itself: what it lets pass, and what it reports, with names and the caller's line.
TEST(ExpectMessages, PassesOnlyWhatWasExpected) {
  const SeenMessage create{"w", WM_CREATE};
  const SeenMessage move{"w", WM_MOVE, 0, 0, false, true};
  const SeenMessage posted{"w", WM_USER + 3, 5, 0, true};
  struct Case {
    const char* name;
    std::vector<SeenMessage> got;
    std::vector<ExpectedMessage> want;
    const char* failure;  // a part of the report, or null where it passes
  } const cases[] = {
      {"the same",
       {create, move, posted},
       {Sent("w", WM_CREATE), DefProc("w", WM_MOVE), Posted("w", WM_USER + 3, 5)},
       nullptr},
      {"optional entries left out",
       {create, posted},
       {Optional(Sent("w", WM_SIZE)), Sent("w", WM_CREATE), Optional(DefProc("w", WM_MOVE)),
        Posted("w", WM_USER + 3), Optional(Sent("w", WM_CLOSE))},
       nullptr},
      {"an optional entry that came",
       {create, move},
       {Sent("w", WM_CREATE), Optional(DefProc("w", WM_MOVE))},
       nullptr},
      {"names, not numbers",
       {create},
       {Sent("w", WM_DESTROY)},
       "expected w:WM_DESTROY (sent), got w:WM_CREATE"},
      {"another window", {create}, {Sent("v", WM_CREATE)}, "another message"},
      {"one too many", {create, move}, {Sent("w", WM_CREATE)}, "unexpected w:WM_MOVE"},
      {"one missing", {create}, {Sent("w", WM_CREATE), Sent("w", WM_SIZE)}, "missing w:WM_SIZE"},
      {"sent, not posted", {create}, {Posted("w", WM_CREATE)}, "arrived another way"},
      {"posted, not sent",
       {posted},
       {Sent("w", WM_USER + 3)},
       "got w:WM_USER+3 wParam=0x5 (posted)"},
      {"from the default procedure", {move}, {Sent("w", WM_MOVE)}, "arrived another way"},
      {"not from the default procedure",
       {create},
       {DefProc("w", WM_CREATE)},
       "arrived another way"},
      {"another wParam", {posted}, {Posted("w", WM_USER + 3, 6)}, "another wParam"},
      {"an optional entry is still checked",
       {posted},
       {Optional(Sent("w", WM_USER + 3))},
       "arrived another way"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::testing::TestPartResultArray results;
    int line = 0;
    {
      ::testing::ScopedFakeTestPartResultReporter reporter(
          ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
      line = __LINE__ + 1;
      nbtest::ExpectMessages(c.got, c.want, "case");
    }
    if (!c.failure) {
      EXPECT_EQ(results.size(), 0);
      continue;
    }
    ASSERT_EQ(results.size(), 1);
    const auto& r = results.GetTestPartResult(0);
    EXPECT_TRUE(r.nonfatally_failed());
    EXPECT_NE(std::string(r.message()).find(c.failure), std::string::npos) << r.message();
    EXPECT_EQ(r.line_number(), line) << "the caller's line";
    EXPECT_NE(std::string(r.file_name()).find("message_sequence_test.cpp"), std::string::npos);
  }
}

}  // namespace
