// Internals of the headless window system, shared by its source files only.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/win32/ui/automation.h"
#include "platform/win32/ui/resources.h"
#include "platform/win32/ui/user.h"

namespace platform::ui::detail {

struct ClassRecord {
  std::u16string name;
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE inst = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  bool system = false;
};

// State a control keeps beside its window record; owned by the record.
struct ControlData {
  virtual ~ControlData() = default;
};

struct Window {
  HWND hwnd = nullptr;
  std::shared_ptr<ClassRecord> cls;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};  // in the parent's client coordinates; screen coordinates for top-level windows
  std::u16string text;
  HWND parent = nullptr;  // null for top-level windows
  HWND owner = nullptr;
  std::vector<HWND> children;  // creation order
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  WNDPROC proc = nullptr;
  HINSTANCE inst = nullptr;
  std::vector<unsigned char> extra;
  std::thread::id thread;
  bool destroying = false;
  std::unique_ptr<ControlData> control;
};

// The window table: records are shared so a procedure can destroy its own window safely.
std::shared_ptr<Window> Find(HWND hwnd);
std::vector<HWND> TopLevelWindows();
std::vector<HWND> Children(HWND hwnd);
std::vector<HWND> OwnedWindows(HWND hwnd);

// Control data of a given type, or null.
template <typename T>
T* DataOf(HWND hwnd) {
  auto w = Find(hwnd);
  return w ? dynamic_cast<T*>(w->control.get()) : nullptr;
}
void SetData(HWND hwnd, std::unique_ptr<ControlData> data);

// Class names compare without regard to ASCII case, as on Windows.
bool SameName(std::u16string_view a, std::u16string_view b);
std::u16string ToU16(LPCWSTR text);  // null gives ""

// Sends WM_COMMAND / WM_NOTIFY from a control to its parent.
LRESULT NotifyParentCommand(HWND control, WORD code);
LRESULT SendNotify(HWND from, HWND to, NMHDR* hdr);

void RegisterSystemClasses();
// The class a window of this module and name is made from: the module's own, a global one, or a
// system class; null when there is none.
std::shared_ptr<ClassRecord> FindClass(HINSTANCE inst, LPCWSTR name);

// Hiding or destroying the window that holds the focus moves the focus to its parent.
void MoveFocusAway(HWND hwnd);

// Procedures of the system classes.
LRESULT StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboListProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ToolbarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ToolTipProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListViewProc(HWND, UINT, WPARAM, LPARAM);
LRESULT DialogClassProc(HWND, UINT, WPARAM, LPARAM);

// Person-like actions the automation API drives, implemented beside each control.
bool EditType(HWND edit, std::u16string_view text);
bool ComboPersonSelect(HWND combo, int row);
bool ToolbarPersonClick(HWND toolbar, int commandId);
std::u16string ToolbarToolTip(HWND toolbar, int commandId);
bool ListPersonClick(HWND list, int row, bool right);

// Resources
std::shared_ptr<const DialogTemplate> FindDialog(HINSTANCE module, LPCWSTR name);
std::shared_ptr<const MenuTemplate> FindMenu(HINSTANCE module, LPCWSTR name);
bool FindString(HINSTANCE module, UINT id, std::u16string* out);
bool FindImage(HINSTANCE module, UINT id, UINT type, int* width, int* height);

// Automation hooks used by the calls they stand behind.
int AnswerMessageBox(MessageBoxRecord record);
UINT ChooseMenuItem(PopupMenuRecord record);
bool RunDialogHandler(HWND dialog);

// Dialog units to pixels for the dialog font (one base unit: 6 x 12 pixels).
RECT DialogUnitsToPixels(short x, short y, short cx, short cy);

}  // namespace platform::ui::detail
