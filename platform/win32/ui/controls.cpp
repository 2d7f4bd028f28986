// The simple controls: "STATIC", "BUTTON" and "EDIT".
#include <algorithm>

#include "platform/win32/ui/internal.h"

namespace platform::ui::detail {
namespace {

struct StaticData : ControlData {
  HFONT font = nullptr;
};

struct ButtonData : ControlData {
  HFONT font = nullptr;
  WPARAM check = BST_UNCHECKED;
};

constexpr size_t kDefaultEditLimit = 32767;
constexpr size_t kMaxEditLimit = 0x7FFFFFFE;

struct EditData : ControlData {
  HFONT font = nullptr;
  size_t limit = kDefaultEditLimit;
};

template <typename T>
T* Ensure(HWND hwnd) {
  if (auto* d = DataOf<T>(hwnd)) return d;
  SetData(hwnd, std::make_unique<T>());
  return DataOf<T>(hwnd);
}

DWORD StyleOf(HWND hwnd) {
  return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
}

}  // namespace

LRESULT StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = Ensure<StaticData>(hwnd);
  switch (msg) {
    case WM_SETFONT:
      d->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(d->font);
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = Ensure<ButtonData>(hwnd);
  switch (msg) {
    case WM_SETFONT:
      d->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(d->font);
    case BM_GETCHECK:
      return static_cast<LRESULT>(d->check);
    case BM_SETCHECK:
      d->check = wParam;
      return 0;
    case BM_CLICK: {
      DWORD style = StyleOf(hwnd);
      if (style & WS_DISABLED) return 0;
      DWORD type = style & BS_TYPEMASK;
      if (type == BS_GROUPBOX) return 0;
      if (type == BS_AUTOCHECKBOX) d->check = d->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      if (type == BS_AUTORADIOBUTTON) d->check = BST_CHECKED;
      NotifyParentCommand(hwnd, BN_CLICKED);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

// WM_SETTEXT is not held to the limit (as on Windows); typing is.
LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = Ensure<EditData>(hwnd);
  switch (msg) {
    case WM_SETFONT:
      d->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(d->font);
    case EM_SETLIMITTEXT:
      d->limit = wParam == 0 ? kMaxEditLimit : static_cast<size_t>(wParam);
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(d->limit);
    case EM_SETREADONLY: {
      DWORD style = StyleOf(hwnd);
      style = wParam ? (style | ES_READONLY) : (style & ~ES_READONLY);
      SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(style));
      return TRUE;
    }
    case EM_REPLACESEL: {
      // No caret: the replacement goes at the end.
      auto w = Find(hwnd);
      std::u16string add = ToU16(reinterpret_cast<LPCWSTR>(lParam));
      size_t room = d->limit > w->text.size() ? d->limit - w->text.size() : 0;
      w->text += add.substr(0, room);
      NotifyParentCommand(hwnd, EN_UPDATE);
      NotifyParentCommand(hwnd, EN_CHANGE);
      return 0;
    }
    case EM_GETSEL:
      return 0;
    case EM_SETSEL:
      return 0;
    case WM_SETFOCUS:
      NotifyParentCommand(hwnd, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      NotifyParentCommand(hwnd, EN_KILLFOCUS);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

bool EditType(HWND edit, std::u16string_view text) {
  auto w = Find(edit);
  if (!w || !SameName(w->cls->name, u"EDIT")) return false;
  if (w->style & (ES_READONLY | WS_DISABLED)) return false;
  SetFocus(edit);
  auto* d = Ensure<EditData>(edit);
  std::u16string typed(text.substr(0, std::min(text.size(), d->limit)));
  w->text = typed;
  NotifyParentCommand(edit, EN_UPDATE);
  NotifyParentCommand(edit, EN_CHANGE);
  if (typed.size() < text.size()) NotifyParentCommand(edit, EN_MAXTEXT);
  return true;
}

}  // namespace platform::ui::detail
