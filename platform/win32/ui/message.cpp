// Sending, posting and the per-thread message queue.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "platform/win32/kernel.h"
#include "platform/win32/ui/internal.h"

namespace platform::ui::detail {
namespace {

struct Queue {
  std::mutex m;
  std::condition_variable cv;
  std::deque<MSG> posted;
  bool quit = false;  // WM_QUIT is a flag, seen only once the queue holds nothing else
  int quitCode = 0;
};

std::shared_ptr<Queue> QueueOf(std::thread::id thread) {
  static std::mutex* m = new std::mutex;
  static auto* queues = new std::map<std::thread::id, std::shared_ptr<Queue>>;
  std::lock_guard lock(*m);
  auto& q = (*queues)[thread];
  if (!q) q = std::make_shared<Queue>();
  return q;
}

Queue& CurrentQueue() {
  thread_local std::shared_ptr<Queue> q = QueueOf(std::this_thread::get_id());
  return *q;
}

bool InRange(UINT msg, UINT lo, UINT hi) {
  return (lo == 0 && hi == 0) || (msg >= lo && msg <= hi);
}

bool ForWindow(HWND target, HWND filter) {
  return !filter || target == filter || IsChild(filter, target);
}

// Takes the first message that passes the filter; the caller holds q.m.
bool Take(Queue& q, MSG* msg, HWND hwnd, UINT lo, UINT hi, bool remove) {
  for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
    if (!InRange(it->message, lo, hi) || !ForWindow(it->hwnd, hwnd)) continue;
    *msg = *it;
    if (remove) q.posted.erase(it);
    return true;
  }
  if (q.quit && InRange(WM_QUIT, lo, hi)) {
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, 0, {0, 0}};
    if (remove) q.quit = false;
    return true;
  }
  return false;
}

void Push(Queue& q, const MSG& msg) {
  {
    std::lock_guard lock(q.m);
    q.posted.push_back(msg);
  }
  q.cv.notify_all();
}

struct Hook {
  int id;
  HOOKPROC proc;
  HHOOK handle;
};

// The calling thread's hooks, the newest first.
std::vector<Hook>& Hooks() {
  thread_local std::vector<Hook> hooks;
  return hooks;
}

// The newest hook of kind id installed before `after` (null: the newest of all), or nothing.
const Hook* NextHook(int id, HHOOK after) {
  auto& hooks = Hooks();
  auto it = hooks.begin();
  if (after) {
    while (it != hooks.end() && it->handle != after) ++it;
    if (it == hooks.end()) return nullptr;
    ++it;
  }
  for (; it != hooks.end(); ++it)
    if (it->id == id) return &*it;
  return nullptr;
}

void RunHooks(int id, WPARAM wParam, LPARAM lParam) {
  if (const Hook* first = NextHook(id, nullptr)) {
    HOOKPROC proc = first->proc;  // the hook may unhook itself
    proc(HC_ACTION, wParam, lParam);
  }
}

LRESULT CallProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto w = Find(hwnd);  // keeps the record alive while its procedure runs
  if (!w) return 0;
  WNDPROC proc = w->proc ? w->proc : DefWindowProcW;
  return proc(hwnd, msg, wParam, lParam);
}

}  // namespace
}  // namespace platform::ui::detail

using namespace platform::ui::detail;

HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE, DWORD threadId) {
  if (!proc || (idHook != WH_CALLWNDPROC && idHook != WH_GETMESSAGE)) return nullptr;
  if (threadId != 0 && threadId != GetCurrentThreadId()) return nullptr;
  static std::atomic<ULONG_PTR> next{1};
  auto handle = reinterpret_cast<HHOOK>(next.fetch_add(1));
  Hooks().insert(Hooks().begin(), Hook{idHook, proc, handle});
  return handle;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  auto& hooks = Hooks();
  for (auto it = hooks.begin(); it != hooks.end(); ++it) {
    if (it->handle == hook) {
      hooks.erase(it);
      return TRUE;
    }
  }
  return FALSE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  auto& hooks = Hooks();
  auto self =
      std::find_if(hooks.begin(), hooks.end(), [&](const Hook& h) { return h.handle == hook; });
  if (self == hooks.end()) return 0;
  const Hook* next = NextHook(self->id, hook);
  return next ? next->proc(code, wParam, lParam) : 0;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!Hooks().empty() && IsWindow(hwnd)) {
    CWPSTRUCT sent{lParam, wParam, msg, hwnd};
    RunHooks(WH_CALLWNDPROC, 0, reinterpret_cast<LPARAM>(&sent));
  }
  return CallProcedure(hwnd, msg, wParam, lParam);
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  POINT pt{};
  GetCursorPos(&pt);
  MSG m{hwnd, msg, wParam, lParam, 0, pt};
  if (!hwnd) {
    Push(CurrentQueue(), m);
    return TRUE;
  }
  auto w = Find(hwnd);
  if (!w) return FALSE;
  Push(*QueueOf(w->thread), m);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  Queue& q = CurrentQueue();
  {
    std::lock_guard lock(q.m);
    q.quit = true;
    q.quitCode = exitCode;
  }
  q.cv.notify_all();
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg) return -1;
  if (hwnd && !IsWindow(hwnd)) return -1;
  Queue& q = CurrentQueue();
  std::unique_lock lock(q.m);
  q.cv.wait(lock, [&] { return Take(q, msg, hwnd, filterMin, filterMax, true); });
  lock.unlock();
  if (!Hooks().empty()) RunHooks(WH_GETMESSAGE, PM_REMOVE, reinterpret_cast<LPARAM>(msg));
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) return FALSE;
  Queue& q = CurrentQueue();
  bool remove = (removeFlags & PM_REMOVE) != 0;
  {
    std::lock_guard lock(q.m);
    if (!Take(q, msg, hwnd, filterMin, filterMax, remove)) return FALSE;
  }
  if (remove && !Hooks().empty()) {
    RunHooks(WH_GETMESSAGE, PM_REMOVE, reinterpret_cast<LPARAM>(msg));
  }
  return TRUE;
}

// There is no keyboard, so there are no key messages to translate.
BOOL TranslateMessage(const MSG*) {
  return FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  // A posted message was seen by the WH_GETMESSAGE hooks as it was taken; it is not sent.
  return CallProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL IsDialogMessageW(HWND, MSG*) {
  return FALSE;
}
