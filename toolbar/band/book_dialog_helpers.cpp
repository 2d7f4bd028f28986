#include "toolbar/band/book_dialog_helpers.h"

#include "toolbar/resources/resource.h"

namespace toolbar {

std::u16string ResourceString(HINSTANCE module, UINT id) {
  WCHAR buffer[1024] = {};
  int n = LoadStringW(module, id, buffer, static_cast<int>(std::size(buffer)));
  return n > 0 ? std::u16string(buffer, static_cast<size_t>(n)) : std::u16string();
}

int ToolbarMessageBox(HINSTANCE module, HWND owner, UINT textId, UINT type) {
  std::u16string text = ResourceString(module, textId);
  std::u16string caption = ResourceString(module, IDS_CAPTION);
  return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

void CentreOnDesktop(HWND window) {
  RECT desktop{}, own{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(window, &own);
  int width = own.right - own.left;
  int height = own.bottom - own.top;
  SetWindowPos(window, nullptr, (desktop.right - width) / 2, (desktop.bottom - height) / 2, width,
               height, SWP_NOZORDER | SWP_SHOWWINDOW);
}

}  // namespace toolbar
