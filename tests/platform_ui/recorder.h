// Records the messages window procedures see, for comparison with expected sequences.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <source_location>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/win32/kernel.h"
#include "platform/win32/ui/ui.h"
#include "tests/support/message_sequence.h"

namespace uitest {

using nbtest::DefProc;
using nbtest::Optional;
using nbtest::Posted;
using nbtest::Sent;

struct Seen {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  bool posted = false;   // taken off the queue, not sent
  bool defProc = false;  // sent while a recording procedure's default procedure was at work
};

class Recorder {
 public:
  static Recorder& Get() {
    static Recorder r;
    return r;
  }
  void Clear() {
    seen_.clear();
    taken_.reset();
  }
  void Reset() {
    Clear();
    ignored_.clear();
  }
  void Name(HWND hwnd, std::string role) { names_[hwnd] = std::move(role); }
  // Messages left out of comparisons (by default the ones whose number depends on details
  // outside the sequence under test).
  void Ignore(UINT msg) { ignored_.insert(msg); }
  void Record(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool posted = false) {
    // A window procedure cannot tell a dispatched message from a sent one: the first message
    // recorded after one came off the queue is that message, if it is the same.
    if (taken_) {
      const MSG t = *taken_;
      taken_.reset();
      if (!posted && defDepth_ == 0 && t.hwnd == hwnd && t.message == msg && t.wParam == wParam &&
          t.lParam == lParam)
        posted = true;
    }
    if (!ignored_.count(msg))
      seen_.push_back(Seen{hwnd, msg, wParam, lParam, posted, !posted && defDepth_ > 0});
  }
  void Taken(const MSG& m) { taken_ = m; }
  // The default procedure, with what it sends marked as its own.
  LRESULT Default(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ++defDepth_;
    LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
    --defDepth_;
    return r;
  }
  const std::vector<Seen>& Seen_() const { return seen_; }
  std::string RoleOf(HWND hwnd) const {
    auto it = names_.find(hwnd);
    return it == names_.end() ? "?" : it->second;
  }
  // The recorded messages of named windows, for comparison.
  std::vector<nbtest::SeenMessage> Named() const {
    std::vector<nbtest::SeenMessage> got;
    for (const auto& s : seen_) {
      std::string role = RoleOf(s.hwnd);
      if (role != "?") got.push_back({role, s.msg, s.wParam, s.lParam, s.posted, s.defProc});
    }
    return got;
  }

 private:
  std::vector<Seen> seen_;
  std::map<HWND, std::string> names_;
  std::set<UINT> ignored_;
  std::optional<MSG> taken_;
  int defDepth_ = 0;
};

inline void ExpectSequence(const std::vector<nbtest::ExpectedMessage>& want, const char* what,
                           std::source_location where = std::source_location::current()) {
  nbtest::ExpectMessages(Recorder::Get().Named(), want, what, where);
}

// Tells the recorder which message came off this thread's queue, while it lives.
class QueueWatch {
 public:
  QueueWatch() : hook_(SetWindowsHookExW(WH_GETMESSAGE, Hook, nullptr, GetCurrentThreadId())) {
    Current() = hook_;
  }
  QueueWatch(const QueueWatch&) = delete;
  QueueWatch& operator=(const QueueWatch&) = delete;
  ~QueueWatch() {
    UnhookWindowsHookEx(hook_);
    Current() = nullptr;
  }

 private:
  static HHOOK& Current() {
    static HHOOK current = nullptr;
    return current;
  }
  static LRESULT Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* m = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && m->hwnd) Recorder::Get().Taken(*m);
    return CallNextHookEx(Current(), code, wParam, lParam);
  }
  HHOOK hook_;
};

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
  return Recorder::Get().Default(hwnd, msg, wParam, lParam);
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
    queue_ = std::make_unique<QueueWatch>();
  }
  void TearDown() override {
    for (HWND top : tops_) DestroyWindow(top);
    platform::ui::PumpMessages();
    queue_.reset();
    platform::ui::ResetAutomation();
  }
  HWND Top(const char16_t* title = u"top") {
    HWND h = MakeTopLevel(title);
    tops_.push_back(h);
    return h;
  }
  std::vector<HWND> tops_;
  std::unique_ptr<QueueWatch> queue_;
};

}  // namespace uitest
