// Window classes, window records, geometry, subclassing and the per-thread message queue.
#include <thread>

#include "tests/platform_ui/recorder.h"

using namespace uitest;

namespace {

LRESULT KeepParamProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  if (msg == WM_CREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    // The user data set in WM_NCCREATE is there; the parameter comes again.
    if (GetWindowLongPtrW(hwnd, GWLP_USERDATA) != reinterpret_cast<LONG_PTR>(cs->lpCreateParams))
      return -1;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

ATOM Register(const char16_t* name, HINSTANCE module, UINT style = 0, int extra = 0,
              WNDPROC proc = DefWindowProcW) {
  WNDCLASSW wc{};
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = extra;
  wc.hInstance = module;
  wc.lpszClassName = name;
  return RegisterClassW(&wc);
}

using WindowTest = UiTest;

TEST_F(WindowTest, ClassesAreFoundByModuleThenGlobalThenSystem) {
  HINSTANCE a = TestModule(10), b = TestModule(11);
  ASSERT_NE(Register(u"LocalClass", a), 0);
  EXPECT_EQ(Register(u"localclass", a), 0) << "same name twice in one module";
  EXPECT_NE(Register(u"LocalClass", b), 0) << "another module may use the name";
  ASSERT_NE(Register(u"SharedClass", a, CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW), 0);
  EXPECT_EQ(Register(u"SharedClass", b), 0) << "a global class takes the name everywhere";

  struct {
    HINSTANCE module;
    const char16_t* name;
    bool found;
    UINT style;
  } const cases[] = {
      {a, u"LocalClass", true, 0},
      {TestModule(12), u"LocalClass", false, 0},
      {b, u"SharedClass", true, CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW},
      {b, u"button", true, CS_GLOBALCLASS},
      {a, u"SysListView32", true, CS_GLOBALCLASS},
      {a, u"NoSuchClass", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::com::Utf16ToUtf8(c.name));
    WNDCLASSW wc{};
    EXPECT_EQ(GetClassInfoW(c.module, c.name, &wc) != 0, c.found);
    if (c.found) {
      EXPECT_EQ(wc.style, c.style);
    }
  }
  EXPECT_TRUE(UnregisterClassW(u"LocalClass", b));
  EXPECT_TRUE(UnregisterClassW(u"LocalClass", a));
  EXPECT_TRUE(UnregisterClassW(u"SharedClass", a));
}

TEST_F(WindowTest, CreationParameterReachesNcCreateAndCreate) {
  ASSERT_NE(Register(u"KeepParam", TestModule(), 0, 0, KeepParamProc), 0);
  int object = 0;
  HWND h = CreateWindowExW(0, u"KeepParam", u"title", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                           TestModule(), &object);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GetWindowLongPtrW(h, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&object));
  EXPECT_EQ(platform::ui::WindowText(h), u"title");
  DestroyWindow(h);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(DestroyWindow(h));
  EXPECT_EQ(SendMessageW(h, WM_GETTEXTLENGTH, 0, 0), 0);
  UnregisterClassW(u"KeepParam", TestModule());
}

TEST_F(WindowTest, ChildNeedsAParentAndAKnownClass) {
  EXPECT_EQ(CreateWindowExW(0, RecordingClass(), u"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr,
                            TestModule(), nullptr),
            nullptr);
  EXPECT_EQ(
      CreateWindowExW(0, u"Unknown", u"", 0, 0, 0, 1, 1, nullptr, nullptr, TestModule(), nullptr),
      nullptr);
}

WNDPROC g_super = nullptr;
LRESULT UpperCaseText(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SETTEXT) {
    std::u16string text = reinterpret_cast<LPCWSTR>(lParam);
    for (auto& c : text)
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return CallWindowProcW(g_super, hwnd, msg, wParam, reinterpret_cast<LPARAM>(text.c_str()));
  }
  return CallWindowProcW(g_super, hwnd, msg, wParam, lParam);
}

TEST_F(WindowTest, SubclassingThroughGwlpWndProcChainsToTheOldProcedure) {
  HWND top = Top();
  HWND edit = CreateWindowExW(0, u"EDIT", u"", WS_CHILD, 0, 0, 50, 20, top,
                              reinterpret_cast<HMENU>(3), nullptr, nullptr);
  g_super = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(UpperCaseText)));
  ASSERT_NE(g_super, nullptr);
  EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(UpperCaseText));
  SetDlgItemTextW(top, 3, u"abc");
  char16_t buf[16];
  EXPECT_EQ(GetDlgItemTextW(top, 3, buf, 16), 3u);
  EXPECT_EQ(std::u16string(buf), u"ABC");
  // The edit control's own procedure still runs behind the subclass.
  SendMessageW(edit, EM_SETLIMITTEXT, 2, 0);
  EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 2);
}

TEST_F(WindowTest, ExtraBytesAreBoundsChecked) {
  ASSERT_NE(Register(u"Extra", TestModule(), 0, 16), 0);
  HWND h =
      CreateWindowExW(0, u"Extra", u"", 0, 0, 0, 1, 1, nullptr, nullptr, TestModule(), nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(SetWindowLongPtrW(h, 8, 1234), 0);
  EXPECT_EQ(GetWindowLongPtrW(h, 8), 1234);
  EXPECT_EQ(SetWindowLongPtrW(h, 12, 5), 0) << "would reach past the extra bytes";
  EXPECT_EQ(GetWindowLongPtrW(h, 16), 0);
  DestroyWindow(h);
  UnregisterClassW(u"Extra", TestModule());
}

TEST_F(WindowTest, RectanglesAreRelativeToTheParentsClientArea) {
  HWND top = Top();  // at 100, 50, 400 x 300
  HWND child = MakeChild(top, 1, 10, 20, 200, 100);
  HWND grand = MakeChild(child, 2, 3, 4, 30, 40);
  RECT rc{};
  ASSERT_TRUE(GetWindowRect(grand, &rc));
  EXPECT_EQ(rc.left, 113);
  EXPECT_EQ(rc.top, 74);
  EXPECT_EQ(rc.right, 143);
  EXPECT_EQ(rc.bottom, 114);
  ASSERT_TRUE(GetClientRect(grand, &rc));
  EXPECT_EQ(rc.left, 0);
  EXPECT_EQ(rc.right, 30);
  EXPECT_EQ(rc.bottom, 40);
  POINT pt{1, 1};
  ClientToScreen(grand, &pt);
  EXPECT_EQ(pt.x, 114);
  EXPECT_EQ(pt.y, 75);
  POINT back = pt;
  MapWindowPoints(nullptr, child, &back, 1);
  EXPECT_EQ(back.x, 4);
  EXPECT_EQ(back.y, 5);
  SetWindowPos(child, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  GetWindowRect(grand, &rc);
  EXPECT_EQ(rc.left, 103);
  RECT desk{};
  GetWindowRect(GetDesktopWindow(), &desk);
  EXPECT_EQ(desk.right, GetSystemMetrics(SM_CXSCREEN));
}

TEST_F(WindowTest, FindingWindowsAndWalkingTheTree) {
  HWND top = Top(u"finder");
  HWND a = MakeChild(top, 11), b = MakeChild(top, 12);
  HWND inner = CreateWindowExW(0, u"STATIC", u"label", WS_CHILD, 0, 0, 1, 1, b,
                               reinterpret_cast<HMENU>(13), nullptr, nullptr);
  HWND popup = CreateWindowExW(0, RecordingClass(), u"owned", WS_POPUP, 0, 0, 1, 1, top, nullptr,
                               TestModule(), nullptr);
  EXPECT_EQ(FindWindowW(nullptr, u"finder"), top);
  EXPECT_EQ(FindWindowExW(top, nullptr, u"recordingwindow", nullptr), a);
  EXPECT_EQ(FindWindowExW(top, a, u"RecordingWindow", nullptr), b);
  EXPECT_EQ(platform::ui::FindControl(top, 13), inner);
  EXPECT_EQ(platform::ui::FindWindowByClass(u"static", top), inner);
  EXPECT_EQ(platform::ui::FindWindowByTitle(u"label"), inner);
  EXPECT_EQ(GetWindow(top, GW_CHILD), a);
  EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
  EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), nullptr);
  EXPECT_EQ(GetParent(inner), b);
  EXPECT_EQ(GetParent(popup), top) << "a pop-up's parent is its owner";
  EXPECT_TRUE(IsChild(top, inner));
  EXPECT_FALSE(IsChild(top, popup));
  DestroyWindow(top);
  EXPECT_FALSE(IsWindow(popup)) << "owned windows go with their owner";
  tops_.clear();
}

TEST_F(WindowTest, DescribesTheTreeForAHostsListing) {
  HWND top = Top(u"tree");
  HWND a = MakeChild(top, 4, 1, 2, 30, 40);
  CreateWindowExW(0, u"BUTTON", u"Go", WS_CHILD | WS_DISABLED, 5, 6, 7, 8, a,
                  reinterpret_cast<HMENU>(9), nullptr, nullptr);
  EXPECT_EQ(platform::ui::DescribeWindows(top),
            "RecordingWindow \"tree\" id=0 (100,50 400x300)\n"
            "  RecordingWindow \"\" id=4 (1,2 30x40)\n"
            "    BUTTON \"Go\" id=9 (5,6 7x8) hidden disabled\n");
}

TEST_F(WindowTest, QueueKeepsOrderFiltersAndHoldsQuitForLast) {
  HWND top = Top();
  PostMessageW(top, WM_USER + 1, 1, 0);
  PostQuitMessage(3);
  PostMessageW(top, WM_USER + 2, 2, 0);
  PostMessageW(nullptr, WM_USER + 3, 3, 0);
  EXPECT_FALSE(PostMessageW(reinterpret_cast<HWND>(0x999), WM_USER, 0, 0));

  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 2, WM_USER + 3, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER + 2u) << "the filter skips the first message";
  std::vector<UINT> order;
  while (GetMessageW(&msg, nullptr, 0, 0)) order.push_back(msg.message);
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, PostedMessagesGoToTheQueueOfTheWindowsThread) {
  HWND top = Top();
  Recorder::Get().Name(top, "top");
  std::thread other([&] {
    MSG msg{};
    // Nothing of the other thread's window lands here.
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    PostMessageW(top, WM_USER + 7, 0, 0);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  });
  other.join();
  Recorder::Get().Clear();
  MSG msg{};
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER + 7u);
  DispatchMessageW(&msg);
  ExpectSequence({Posted("top", WM_USER + 7)}, "dispatched to the window procedure");
}

TEST_F(WindowTest, WindowClosingItselfDuringAMessageIsSafe) {
  HWND top = MakeTopLevel(u"closing");
  PostMessageW(top, WM_CLOSE, 0, 0);
  EXPECT_EQ(platform::ui::PumpMessages(), 1);
  EXPECT_FALSE(IsWindow(top));
}

}  // namespace
