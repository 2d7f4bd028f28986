// The toolbar control ("ToolbarWindow32"), its tooltip window and the common-controls entry.
#include <algorithm>

#include "platform/win32/ui/commctrl.h"
#include "platform/win32/ui/internal.h"

namespace platform::ui::detail {
namespace {

// A button is its bitmap plus this padding unless TB_SETBUTTONSIZE says otherwise.
constexpr int kPadX = 7;
constexpr int kPadY = 6;
constexpr int kDefaultSeparator = 8;

struct ToolbarData : ControlData {
  std::vector<TBBUTTON> buttons;
  SIZE bitmap{16, 15};
  SIZE button{0, 0};
  UINT structSize = sizeof(TBBUTTON);
  int images = 0;
  std::vector<TBADDBITMAP> bitmaps;
  HWND notify = nullptr;
  HWND tooltip = nullptr;
  HFONT font = nullptr;
};

SIZE ButtonSize(const ToolbarData* d) {
  if (d->button.cx > 0 && d->button.cy > 0) return d->button;
  return SIZE{d->bitmap.cx + kPadX, d->bitmap.cy + kPadY};
}

// Buttons sit side by side from the left; a separator is as wide as its iBitmap says.
bool ItemRect(const ToolbarData* d, size_t index, RECT* rc) {
  if (index >= d->buttons.size()) return false;
  SIZE size = ButtonSize(d);
  LONG x = 0;
  for (size_t i = 0; i <= index; ++i) {
    const TBBUTTON& b = d->buttons[i];
    if (b.fsState & TBSTATE_HIDDEN) {
      if (i == index) return false;
      continue;
    }
    LONG width =
        (b.fsStyle & TBSTYLE_SEP) ? (b.iBitmap > 0 ? b.iBitmap : kDefaultSeparator) : size.cx;
    if (i == index) {
      *rc = RECT{x, 0, x + width, size.cy};
      return true;
    }
    x += width;
  }
  return false;
}

int IndexOf(const ToolbarData* d, WPARAM command) {
  for (size_t i = 0; i < d->buttons.size(); ++i)
    if (!(d->buttons[i].fsStyle & TBSTYLE_SEP) &&
        d->buttons[i].idCommand == static_cast<int>(command))
      return static_cast<int>(i);
  return -1;
}

// The button structure size a caller declares is recorded, but arrays are always read as this
// platform's TBBUTTON: a size written for another platform must not make the control read past
// the caller's array.
void Append(ToolbarData* d, const TBBUTTON* buttons, size_t count, size_t at) {
  at = std::min(at, d->buttons.size());
  d->buttons.insert(d->buttons.begin() + static_cast<std::ptrdiff_t>(at), buttons, buttons + count);
}

}  // namespace

LRESULT ToolTipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT ToolbarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = DataOf<ToolbarData>(hwnd);
  if (!d) {
    SetData(hwnd, std::make_unique<ToolbarData>());
    d = DataOf<ToolbarData>(hwnd);
  }
  switch (msg) {
    case WM_CREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
      d->notify = cs->hwndParent;
      if (cs->style & TBSTYLE_TOOLTIPS)
        d->tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, hwnd,
                                     nullptr, nullptr, nullptr);
      return 0;
    }
    case TB_BUTTONSTRUCTSIZE:
      d->structSize = static_cast<UINT>(wParam);
      return 0;
    case TB_SETBITMAPSIZE:
      d->bitmap = SIZE{LOWORD(lParam), HIWORD(lParam)};
      return TRUE;
    case TB_SETBUTTONSIZE:
      d->button = SIZE{LOWORD(lParam), HIWORD(lParam)};
      return TRUE;
    case TB_GETBUTTONSIZE: {
      SIZE s = ButtonSize(d);
      return MAKELONG(s.cx, s.cy);
    }
    case TB_ADDBITMAP: {
      auto* add = reinterpret_cast<const TBADDBITMAP*>(lParam);
      if (!add) return -1;
      int first = d->images;
      d->images += static_cast<int>(wParam);
      d->bitmaps.push_back(*add);
      return first;
    }
    case TB_ADDBUTTONSW:
      if (!lParam) return FALSE;
      Append(d, reinterpret_cast<const TBBUTTON*>(lParam), wParam, d->buttons.size());
      return TRUE;
    case TB_INSERTBUTTONW: {
      if (!lParam) return FALSE;
      INT_PTR at = static_cast<INT_PTR>(wParam);
      Append(d, reinterpret_cast<const TBBUTTON*>(lParam), 1,
             at < 0 ? d->buttons.size() : static_cast<size_t>(at));
      return TRUE;
    }
    case TB_DELETEBUTTON:
      if (wParam >= d->buttons.size()) return FALSE;
      d->buttons.erase(d->buttons.begin() + static_cast<std::ptrdiff_t>(wParam));
      return TRUE;
    case TB_GETBUTTON:
      if (wParam >= d->buttons.size() || !lParam) return FALSE;
      *reinterpret_cast<TBBUTTON*>(lParam) = d->buttons[wParam];
      return TRUE;
    case TB_BUTTONCOUNT:
      return static_cast<LRESULT>(d->buttons.size());
    case TB_COMMANDTOINDEX:
      return IndexOf(d, wParam);
    case TB_GETITEMRECT:
      return lParam && ItemRect(d, wParam, reinterpret_cast<RECT*>(lParam)) ? TRUE : FALSE;
    case TB_ENABLEBUTTON:
    case TB_CHECKBUTTON:
    case TB_PRESSBUTTON:
    case TB_HIDEBUTTON: {
      int i = IndexOf(d, wParam);
      if (i < 0) return FALSE;
      BYTE bit = msg == TB_ENABLEBUTTON  ? TBSTATE_ENABLED
                 : msg == TB_CHECKBUTTON ? TBSTATE_CHECKED
                 : msg == TB_PRESSBUTTON ? TBSTATE_PRESSED
                                         : TBSTATE_HIDDEN;
      BYTE& state = d->buttons[static_cast<size_t>(i)].fsState;
      state = LOWORD(lParam) ? static_cast<BYTE>(state | bit) : static_cast<BYTE>(state & ~bit);
      return TRUE;
    }
    case TB_ISBUTTONENABLED: {
      int i = IndexOf(d, wParam);
      return i >= 0 && (d->buttons[static_cast<size_t>(i)].fsState & TBSTATE_ENABLED);
    }
    case TB_GETSTATE: {
      int i = IndexOf(d, wParam);
      return i < 0 ? -1 : d->buttons[static_cast<size_t>(i)].fsState;
    }
    case TB_SETSTATE: {
      int i = IndexOf(d, wParam);
      if (i < 0) return FALSE;
      d->buttons[static_cast<size_t>(i)].fsState = static_cast<BYTE>(LOWORD(lParam));
      return TRUE;
    }
    case TB_AUTOSIZE:
      return 0;
    case TB_GETTOOLTIPS:
      return reinterpret_cast<LRESULT>(d->tooltip);
    case TB_SETPARENT: {
      HWND old = d->notify;
      d->notify = reinterpret_cast<HWND>(wParam);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_NOTIFY: {
      // The tooltip asks the toolbar, which asks its owner.
      auto* hdr = reinterpret_cast<NMHDR*>(lParam);
      if (hdr && hdr->hwndFrom == d->tooltip && hdr->code == TTN_NEEDTEXTW)
        return SendMessageW(d->notify, WM_NOTIFY, wParam, lParam);
      return 0;
    }
    case WM_SETFONT:
      d->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(d->font);
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

bool ToolbarPersonClick(HWND toolbar, int commandId) {
  auto w = Find(toolbar);
  auto* d = DataOf<ToolbarData>(toolbar);
  if (!w || !d || (w->style & WS_DISABLED)) return false;
  int i = IndexOf(d, static_cast<WPARAM>(commandId));
  if (i < 0) return false;
  TBBUTTON b = d->buttons[static_cast<size_t>(i)];
  if (!(b.fsState & TBSTATE_ENABLED) || (b.fsState & TBSTATE_HIDDEN)) return false;
  if (b.fsStyle & TBSTYLE_CHECK) d->buttons[static_cast<size_t>(i)].fsState ^= TBSTATE_CHECKED;
  RECT rc{};
  ItemRect(d, static_cast<size_t>(i), &rc);
  POINT pt{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  POINT screen = pt;
  ClientToScreen(toolbar, &screen);
  SetCursorPos(screen.x, screen.y);
  HWND notify = d->notify;
  NMMOUSE click{};
  click.hdr.idFrom = static_cast<UINT_PTR>(w->id);
  click.hdr.code = NM_CLICK;
  click.dwItemSpec = static_cast<DWORD_PTR>(commandId);
  click.dwItemData = b.dwData;
  click.pt = pt;
  SendNotify(toolbar, notify, &click.hdr);
  if (!IsWindow(toolbar)) return true;
  SendMessageW(notify, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(commandId), BN_CLICKED),
               reinterpret_cast<LPARAM>(toolbar));
  return true;
}

std::u16string ToolbarToolTip(HWND toolbar, int commandId) {
  auto* d = DataOf<ToolbarData>(toolbar);
  if (!d || !d->tooltip || IndexOf(d, static_cast<WPARAM>(commandId)) < 0) return {};
  NMTTDISPINFOW info{};
  info.hdr.hwndFrom = d->tooltip;
  info.hdr.idFrom = static_cast<UINT_PTR>(commandId);
  info.hdr.code = TTN_NEEDTEXTW;
  info.lpszText = info.szText;
  SendMessageW(toolbar, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
  if (!info.lpszText || info.lpszText == LPSTR_TEXTCALLBACKW) return {};
  if (IS_INTRESOURCE(info.lpszText)) {
    std::u16string text;
    FindString(info.hinst, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(info.lpszText)), &text);
    return text;
  }
  if (info.lpszText == info.szText) {
    info.szText[79] = 0;  // a reply that filled the buffer is cut at its end
    return std::u16string(info.szText);
  }
  return std::u16string(info.lpszText);
}

}  // namespace platform::ui::detail

using namespace platform::ui::detail;

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc) {
  if (!icc || icc->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  RegisterSystemClasses();
  return TRUE;
}

void InitCommonControls() {
  RegisterSystemClasses();
}

HWND CreateToolbarEx(HWND hwnd, DWORD ws, UINT wID, int nBitmaps, HINSTANCE hBMInst, UINT_PTR wBMID,
                     LPCTBBUTTON lpButtons, int iNumButtons, int dxButton, int dyButton,
                     int dxBitmap, int dyBitmap, UINT uStructSize) {
  RECT parent{};
  GetClientRect(hwnd, &parent);
  HWND tb = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, ws, 0, 0, parent.right, 0, hwnd,
                            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(wID)), hBMInst, nullptr);
  if (!tb) return nullptr;
  SendMessageW(tb, TB_BUTTONSTRUCTSIZE, uStructSize, 0);
  if (dxBitmap > 0 && dyBitmap > 0)
    SendMessageW(tb, TB_SETBITMAPSIZE, 0, MAKELPARAM(dxBitmap, dyBitmap));
  if (dxButton > 0 && dyButton > 0)
    SendMessageW(tb, TB_SETBUTTONSIZE, 0, MAKELPARAM(dxButton, dyButton));
  TBADDBITMAP bitmap{hBMInst, wBMID};
  SendMessageW(tb, TB_ADDBITMAP, static_cast<WPARAM>(std::max(0, nBitmaps)),
               reinterpret_cast<LPARAM>(&bitmap));
  if (lpButtons && iNumButtons > 0)
    SendMessageW(tb, TB_ADDBUTTONSW, static_cast<WPARAM>(iNumButtons),
                 reinterpret_cast<LPARAM>(lpButtons));
  // The control is as tall as its buttons.
  LRESULT size = SendMessageW(tb, TB_GETBUTTONSIZE, 0, 0);
  SetWindowPos(tb, nullptr, 0, 0, parent.right, HIWORD(size), SWP_NOZORDER | SWP_NOMOVE);
  return tb;
}
