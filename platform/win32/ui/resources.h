// The resources of modules: string tables, dialog templates, menus and images, found by module
// handle and identifier (LoadStringW, DialogBoxParamW, LoadMenuW, LoadImageW). A module
// declares them against its own HINSTANCE, typically once when it is loaded: one by one in C++,
// or all at once from the compiled resource file (.res) it embeds. Declaring the same
// identifier again replaces the earlier resource.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/win32/ui/defs.h"

namespace platform::ui {

// One control of a dialog template; position and size in dialog units. The dialog adds
// WS_CHILD to every control's style.
struct DialogItemTemplate {
  std::u16string windowClass{};  // "BUTTON", "EDIT", "STATIC", "COMBOBOX", "SysListView32", ...
  std::u16string text{};
  int id = 0;
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  DWORD exStyle = 0;
};

struct DialogTemplate {
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  std::u16string caption{};
  std::u16string fontName{};
  WORD pointSize = 9;
  std::vector<DialogItemTemplate> items{};
  DWORD exStyle = 0;
};

struct MenuItemTemplate {
  std::u16string text{};  // empty with MF_SEPARATOR
  UINT id = 0;
  UINT flags = MF_STRING;
  std::vector<MenuItemTemplate> popup{};  // the items of a pop-up (MF_POPUP is implied)
};

struct MenuTemplate {
  std::vector<MenuItemTemplate> items{};
};

void RegisterStringTable(HINSTANCE module,
                         const std::vector<std::pair<UINT, std::u16string>>& strings);
void RegisterDialogTemplate(HINSTANCE module, UINT id, DialogTemplate dialog);
void RegisterMenuTemplate(HINSTANCE module, UINT id, MenuTemplate menu);
// type is IMAGE_BITMAP, IMAGE_ICON or IMAGE_CURSOR; the size is what LoadImageW reports for
// LR_DEFAULTSIZE.
void RegisterImageResource(HINSTANCE module, UINT id, UINT type, int width, int height);
// Declares every string, dialog, menu, bitmap and icon or cursor group of a compiled resource
// file. A malformed file declares nothing: FALSE, with the reason in error when it is given.
BOOL RegisterResourceFile(HINSTANCE module, const void* data, size_t size,
                          std::string* error = nullptr);
// Forgets every resource of the module (a module that is unloaded, or a test that starts over).
void UnregisterResources(HINSTANCE module);

// What the stand-in knows of a GDI object handle (fonts, bitmaps, icons, cursors, brushes).
struct ImageInfo {
  UINT type = 0;  // IMAGE_BITMAP, IMAGE_ICON, IMAGE_CURSOR; or ~0u for fonts and brushes
  HINSTANCE module = nullptr;
  UINT id = 0;
  int width = 0, height = 0;
  bool shared = false;
};
// False when the handle is not a live object.
bool DescribeImage(const void* handle, ImageInfo* info);

}  // namespace platform::ui
