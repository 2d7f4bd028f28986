// Records the messages window procedures see, for comparison with expected sequences.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/win32/kernel.h"
#include "platform/win32/ui/ui.h"

namespace uitest {

struct Seen {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  bool posted = false;  // taken off the queue (a hook saw it), not sent
};

// An expected message: the window by role name, the message, and optionally its wParam.
struct Want {
  std::string window;
  UINT msg;
  bool checkWParam = false;
  WPARAM wParam = 0;
  enum class How { kEither, kSent, kPosted } how = How::kEither;
};
inline Want W(std::string window, UINT msg) {
  return Want{std::move(window), msg};
}
inline Want W(std::string window, UINT msg, WPARAM wParam) {
  return Want{std::move(window), msg, true, wParam};
}
inline Want Sent(std::string window, UINT msg, WPARAM wParam) {
  return Want{std::move(window), msg, true, wParam, Want::How::kSent};
}
inline Want Posted(std::string window, UINT msg, WPARAM wParam) {
  return Want{std::move(window), msg, true, wParam, Want::How::kPosted};
}

class Recorder {
 public:
  static Recorder& Get() {
    static Recorder r;
    return r;
  }
  void Clear() { seen_.clear(); }
  void Reset() {
    seen_.clear();
    ignored_.clear();
  }
  void Name(HWND hwnd, std::string role) { names_[hwnd] = std::move(role); }
  // Messages left out of comparisons (by default the ones whose number depends on details
  // outside the sequence under test).
  void Ignore(UINT msg) { ignored_.insert(msg); }
  void Record(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool posted = false) {
    if (!ignored_.count(msg)) seen_.push_back(Seen{hwnd, msg, wParam, lParam, posted});
  }
  const std::vector<Seen>& Seen_() const { return seen_; }
  std::string RoleOf(HWND hwnd) const {
    auto it = names_.find(hwnd);
    return it == names_.end() ? "?" : it->second;
  }

 private:
  std::vector<Seen> seen_;
  std::map<HWND, std::string> names_;
  std::set<UINT> ignored_;
};

inline void ExpectSequence(const std::vector<Want>& want, const char* what) {
  SCOPED_TRACE(what);
  auto& r = Recorder::Get();
  std::vector<Seen> got;
  for (const auto& s : r.Seen_())
    if (r.RoleOf(s.hwnd) != "?") got.push_back(s);
  std::vector<std::string> gotText, wantText;
  for (const auto& s : got) gotText.push_back(r.RoleOf(s.hwnd) + ":" + std::to_string(s.msg));
  for (const auto& w : want) wantText.push_back(w.window + ":" + std::to_string(w.msg));
  ASSERT_EQ(gotText, wantText);
  for (size_t i = 0; i < want.size(); ++i) {
    if (want[i].checkWParam) {
      EXPECT_EQ(got[i].wParam, want[i].wParam) << "message " << i;
    }
    if (want[i].how != Want::How::kEither) {
      EXPECT_EQ(got[i].posted, want[i].how == Want::How::kPosted) << "message " << i;
    }
  }
}

// Records every message of this thread's windows, whatever their procedure, while it lives:
// the sent ones through a WH_CALLWNDPROC hook, the posted ones through WH_GETMESSAGE.
class HookRecorder {
 public:
  HookRecorder()
      : sent_(SetWindowsHookExW(WH_CALLWNDPROC, SentHook, nullptr, GetCurrentThreadId())),
        posted_(SetWindowsHookExW(WH_GETMESSAGE, PostedHook, nullptr, GetCurrentThreadId())) {
    Current() = this;
  }
  HookRecorder(const HookRecorder&) = delete;
  HookRecorder& operator=(const HookRecorder&) = delete;
  ~HookRecorder() {
    UnhookWindowsHookEx(sent_);
    UnhookWindowsHookEx(posted_);
    Current() = nullptr;
  }
  bool Installed() const { return sent_ && posted_; }

 private:
  static HookRecorder*& Current() {
    static HookRecorder* current = nullptr;
    return current;
  }
  static LRESULT SentHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION) Recorder::Get().Record(m->hwnd, m->message, m->wParam, m->lParam);
    return CallNextHookEx(Current() ? Current()->sent_ : nullptr, code, wParam, lParam);
  }
  static LRESULT PostedHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* m = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && m->hwnd) {
      Recorder::Get().Record(m->hwnd, m->message, m->wParam, m->lParam, true);
    }
    return CallNextHookEx(Current() ? Current()->posted_ : nullptr, code, wParam, lParam);
  }
  HHOOK sent_;
  HHOOK posted_;
};

// A window procedure that records and then does the default.
inline LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Recorder::Get().Record(hwnd, msg, wParam, lParam);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

inline HINSTANCE TestModule(int n = 1) {
  return reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x7000000 + 0x1000 * n));
}

// Registers the recording class once for the test module.
inline const char16_t* RecordingClass() {
  static bool done = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = TestModule();
    wc.lpszClassName = u"RecordingWindow";
    return RegisterClassW(&wc) != 0;
  }();
  (void)done;
  return u"RecordingWindow";
}

inline HWND MakeTopLevel(const char16_t* title = u"top") {
  return CreateWindowExW(0, RecordingClass(), title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 50, 400,
                         300, nullptr, nullptr, TestModule(), nullptr);
}

inline HWND MakeChild(HWND parent, int id, int x = 0, int y = 0, int w = 50, int h = 20) {
  return CreateWindowExW(0, RecordingClass(), u"", WS_CHILD | WS_VISIBLE, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<LONG_PTR>(id)), TestModule(), nullptr);
}

// Every test starts with no handlers, no records, and ends with no windows of its own.
class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ui::ResetAutomation();
    platform::ui::SetMessageBoxHandler([](const platform::ui::MessageBoxRecord&) { return IDOK; });
    Recorder::Get().Reset();
  }
  void TearDown() override {
    for (HWND top : tops_) DestroyWindow(top);
    platform::ui::PumpMessages();
    platform::ui::ResetAutomation();
  }
  HWND Top(const char16_t* title = u"top") {
    HWND h = MakeTopLevel(title);
    tops_.push_back(h);
    return h;
  }
  std::vector<HWND> tops_;
};

}  // namespace uitest
