// Dialogs from templates: DialogBoxParamW with its nested modal loop, EndDialog, the dialog
// class's default procedure, and the dialog-item helpers.
#include <cstdio>

#include "platform/com/com.h"
#include "platform/win32/ui/internal.h"

namespace platform::ui::detail {
namespace {

struct ModalState {
  bool ended = false;
  INT_PTR result = 0;
};

struct DialogData : ControlData {
  std::shared_ptr<ModalState> modal;
  HFONT font = nullptr;
};

// Base units of the dialog font, in pixels per 4 horizontal and 8 vertical dialog units.
constexpr LONG kBaseX = 6;
constexpr LONG kBaseY = 12;

HWND FirstTabStop(HWND dlg) {
  for (HWND child : Children(dlg)) {
    LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) return child;
  }
  return nullptr;
}

HWND RootOf(HWND hwnd) {
  for (auto w = Find(hwnd); w && w->parent; w = Find(w->parent)) hwnd = w->parent;
  return hwnd;
}

}  // namespace

RECT DialogUnitsToPixels(short x, short y, short cx, short cy) {
  LONG left = x * kBaseX / 4, top = y * kBaseY / 8;
  return RECT{left, top, left + cx * kBaseX / 4, top + cy * kBaseY / 8};
}

LRESULT DialogClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefDlgProcW(hwnd, msg, wParam, lParam);
}

}  // namespace platform::ui::detail

using namespace platform::ui::detail;

// The dialog procedure answers TRUE for what it handled; the message's own result is then in
// DWLP_MSGRESULT, except for WM_INITDIALOG, whose result is the procedure's answer.
LRESULT DefDlgProcW(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dlg, DWLP_DLGPROC));
  if (proc) {
    SetWindowLongPtrW(dlg, DWLP_MSGRESULT, 0);
    INT_PTR handled = proc(dlg, msg, wParam, lParam);
    if (handled || !IsWindow(dlg))
      return msg == WM_INITDIALOG ? handled : GetWindowLongPtrW(dlg, DWLP_MSGRESULT);
  }
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CLOSE:
      SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDCANCEL)));
      return 0;
    case WM_SETFONT: {
      if (auto* d = DataOf<DialogData>(dlg)) d->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    }
    case WM_GETFONT: {
      auto* d = DataOf<DialogData>(dlg);
      return d ? reinterpret_cast<LRESULT>(d->font) : 0;
    }
    default:
      return DefWindowProcW(dlg, msg, wParam, lParam);
  }
}

INT_PTR DialogBoxParamW(HINSTANCE inst, LPCWSTR templateName, HWND owner, DLGPROC proc,
                        LPARAM param) {
  auto tpl = FindDialog(inst, templateName);
  if (!tpl) return -1;
  RegisterSystemClasses();
  // A child window cannot own a dialog: its top-level window does, as on Windows.
  if (owner == GetDesktopWindow() || !IsWindow(owner)) owner = nullptr;
  HWND root = owner ? RootOf(owner) : nullptr;
  HWND previousFocus = GetFocus();

  RECT rc = DialogUnitsToPixels(tpl->x, tpl->y, tpl->cx, tpl->cy);
  POINT base{0, 0};
  if (root) ClientToScreen(root, &base);
  if (tpl->style & DS_CENTER) {
    base = POINT{(GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2 - rc.left,
                 (GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2 - rc.top};
  }
  bool ownerDisabled = root && !EnableWindow(root, FALSE);
  HWND dlg =
      CreateWindowExW(tpl->exStyle, u"#32770", tpl->caption.c_str(),
                      tpl->style & ~WS_VISIBLE & ~WS_CHILD, rc.left + base.x, rc.top + base.y,
                      rc.right - rc.left, rc.bottom - rc.top, root, nullptr, inst, nullptr);
  if (!dlg) {
    if (ownerDisabled) EnableWindow(root, TRUE);
    return -1;
  }
  auto modal = std::make_shared<ModalState>();
  auto data = std::make_unique<DialogData>();
  data->modal = modal;
  SetData(dlg, std::move(data));
  SetWindowLongPtrW(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));

  auto font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  if (!tpl->fontName.empty()) SendMessageW(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  for (const auto& item : tpl->items) {
    RECT r = DialogUnitsToPixels(item.x, item.y, item.cx, item.cy);
    HWND control = CreateWindowExW(
        item.exStyle | WS_EX_NOPARENTNOTIFY, item.windowClass.c_str(), item.text.c_str(),
        (item.style | WS_CHILD) & ~WS_POPUP, r.left, r.top, r.right - r.left, r.bottom - r.top, dlg,
        reinterpret_cast<HMENU>(static_cast<LONG_PTR>(item.id)), inst, nullptr);
    if (!control) {
      std::fprintf(stderr, "dialog: cannot create control %d of class %s\n", item.id,
                   platform::com::Utf16ToUtf8(item.windowClass).c_str());
      DestroyWindow(dlg);
      if (ownerDisabled) EnableWindow(root, TRUE);
      return -1;
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }

  HWND focus = FirstTabStop(dlg);
  if (SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) && focus &&
      IsWindow(focus) && !modal->ended)
    SetFocus(focus);
  if (IsWindow(dlg) && !modal->ended) ShowWindow(dlg, SW_SHOW);
  if (IsWindow(dlg) && !modal->ended) RunDialogHandler(dlg);

  int idle = 0;
  while (IsWindow(dlg) && !modal->ended) {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      idle = 0;
      if (msg.message == WM_QUIT) {
        // The quit belongs to the outer loop: give it back and leave.
        PostQuitMessage(static_cast<int>(msg.wParam));
        modal->result = IDCANCEL;
        break;
      }
      if (!IsDialogMessageW(dlg, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      continue;
    }
    // Nobody is left to press anything: Escape first, then the dialog is closed for good.
    if (idle++ == 0) {
      SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDCANCEL)));
    } else {
      std::fprintf(stderr, "dialog \"%s\": no one answered; closed with IDCANCEL\n",
                   platform::com::Utf16ToUtf8(tpl->caption).c_str());
      modal->ended = true;
      modal->result = IDCANCEL;
    }
  }
  if (ownerDisabled) EnableWindow(root, TRUE);
  if (IsWindow(dlg)) DestroyWindow(dlg);
  if (previousFocus && IsWindow(previousFocus)) SetFocus(previousFocus);
  return modal->result;
}

BOOL EndDialog(HWND dlg, INT_PTR result) {
  auto* d = DataOf<DialogData>(dlg);
  if (!d || !d->modal) return FALSE;
  d->modal->ended = true;
  d->modal->result = result;
  return TRUE;
}

bool platform::ui::DialogEnded(HWND dlg) {
  auto* d = DataOf<DialogData>(dlg);
  return !d || !d->modal || d->modal->ended;
}

HWND GetDlgItem(HWND dlg, int id) {
  for (HWND child : Children(dlg))
    if (GetDlgCtrlID(child) == id) return child;
  return nullptr;
}

BOOL SetDlgItemTextW(HWND dlg, int id, LPCWSTR text) {
  HWND item = GetDlgItem(dlg, id);
  return item ? SetWindowTextW(item, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dlg, int id, LPWSTR buf, int cch) {
  if (buf && cch > 0) buf[0] = 0;
  HWND item = GetDlgItem(dlg, id);
  return item ? static_cast<UINT>(GetWindowTextW(item, buf, cch)) : 0;
}

LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(dlg, id);
  return item ? SendMessageW(item, msg, wParam, lParam) : 0;
}

BOOL CheckDlgButton(HWND dlg, int id, UINT check) {
  HWND item = GetDlgItem(dlg, id);
  if (!item) return FALSE;
  SendMessageW(item, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dlg, int id) {
  return static_cast<UINT>(SendDlgItemMessageW(dlg, id, BM_GETCHECK, 0, 0));
}

BOOL MapDialogRect(HWND dlg, RECT* rect) {
  if (!IsWindow(dlg) || !rect) return FALSE;
  RECT left =
      DialogUnitsToPixels(static_cast<short>(rect->left), static_cast<short>(rect->top), 0, 0);
  RECT right =
      DialogUnitsToPixels(static_cast<short>(rect->right), static_cast<short>(rect->bottom), 0, 0);
  *rect = RECT{left.left, left.top, right.left, right.top};
  return TRUE;
}
