// The window system's calls, as the system's code makes them.
//
// Headless: a window is a record (class, style, rectangle, text, parent, user data, procedure).
// SendMessageW calls the procedure at once; PostMessageW queues on the queue of the thread that
// made the window. A window is used on the thread that created it, as on Windows; SendMessageW
// from another thread calls the procedure on the calling thread.
#pragma once

#include "platform/win32/ui/defs.h"

// Window classes
ATOM RegisterClassW(const WNDCLASSW* wc);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE inst);
// Looks the class up for the module (its own classes, then global ones, then the system's).
BOOL GetClassInfoW(HINSTANCE inst, LPCWSTR className, WNDCLASSW* out);
int GetClassNameW(HWND hwnd, LPWSTR buf, int cch);

// Windows
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE inst,
                     LPVOID param);
inline HWND CreateWindowW(LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                          int width, int height, HWND parent, HMENU menu, HINSTANCE inst,
                          LPVOID param) {
  return CreateWindowExW(0, className, windowName, style, x, y, width, height, parent, menu, inst,
                         param);
}
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
BOOL ShowWindow(HWND hwnd, int cmd);
BOOL IsWindowVisible(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
BOOL UpdateWindow(HWND hwnd);
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND GetActiveWindow();
HWND GetParent(HWND hwnd);
HWND SetParent(HWND child, HWND newParent);
HWND GetWindow(HWND hwnd, UINT cmd);
HWND GetDesktopWindow();
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
HWND FindWindowExW(HWND parent, HWND childAfter, LPCWSTR className, LPCWSTR windowName);
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL ClientToScreen(HWND hwnd, POINT* pt);
BOOL ScreenToClient(HWND hwnd, POINT* pt);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
int GetSystemMetrics(int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
inline LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
  return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}
inline LONG GetWindowLongW(HWND hwnd, int index) {
  return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
int GetWindowTextW(HWND hwnd, LPWSTR buf, int cch);
int GetWindowTextLengthW(HWND hwnd);
int GetDlgCtrlID(HWND hwnd);
BOOL GetComboBoxInfo(HWND combo, COMBOBOXINFO* info);

// Messages
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Waits for a message; 0 on WM_QUIT, -1 on a bad argument, else non-zero.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
BOOL IsDialogMessageW(HWND dlg, MSG* msg);
// Hooks of the thread threadId (0: the calling thread), which must be the calling thread. A hook
// procedure calls CallNextHookEx to let the hooks installed before it see the message too.
HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// Dialogs
INT_PTR DialogBoxParamW(HINSTANCE inst, LPCWSTR templateName, HWND owner, DLGPROC proc,
                        LPARAM param);
inline INT_PTR DialogBoxW(HINSTANCE inst, LPCWSTR templateName, HWND owner, DLGPROC proc) {
  return DialogBoxParamW(inst, templateName, owner, proc, 0);
}
BOOL EndDialog(HWND dlg, INT_PTR result);
LRESULT DefDlgProcW(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
HWND GetDlgItem(HWND dlg, int id);
BOOL SetDlgItemTextW(HWND dlg, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dlg, int id, LPWSTR buf, int cch);
LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL CheckDlgButton(HWND dlg, int id, UINT check);
UINT IsDlgButtonChecked(HWND dlg, int id);
BOOL MapDialogRect(HWND dlg, RECT* rect);

// Message boxes: answered by the handler the host or a test installs
// (platform/win32/ui/automation.h).
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Menus
HMENU LoadMenuW(HINSTANCE inst, LPCWSTR name);
HMENU CreatePopupMenu();
HMENU CreateMenu();
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
HMENU GetSubMenu(HMENU menu, int pos);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int pos);
int GetMenuStringW(HMENU menu, UINT item, LPWSTR buf, int cch, UINT flags);
UINT EnableMenuItem(HMENU menu, UINT item, UINT enable);
// The choice comes from the menu handler; without TPM_RETURNCMD the chosen item is posted to
// the owner as WM_COMMAND.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* rect);

// Resources, fonts, cursors, images
int LoadStringW(HINSTANCE inst, UINT id, LPWSTR buf, int cch);
HANDLE LoadImageW(HINSTANCE inst, LPCWSTR name, UINT type, int cx, int cy, UINT flags);
HICON LoadIconW(HINSTANCE inst, LPCWSTR name);
HCURSOR LoadCursorW(HINSTANCE inst, LPCWSTR name);
HBITMAP LoadBitmapW(HINSTANCE inst, LPCWSTR name);
BOOL DestroyIcon(HICON icon);
BOOL DestroyCursor(HCURSOR cursor);
HGDIOBJ GetStockObject(int index);
BOOL DeleteObject(HGDIOBJ object);
HBRUSH GetSysColorBrush(int index);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
BOOL GetCursorPos(POINT* pt);
BOOL SetCursorPos(int x, int y);
