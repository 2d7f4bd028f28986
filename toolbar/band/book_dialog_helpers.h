// Small pieces the two book management dialogs share: their resource strings, the caption of
// their message boxes and their placement on the desktop.
#pragma once

#include <string>

#include "platform/win32/windows.h"

namespace toolbar {

// String resource id of module; empty when there is none.
std::u16string ResourceString(HINSTANCE module, UINT id);
// A message box of the toolbar: the caption "Toolbar for Nubra", the text string resource
// textId of module.
int ToolbarMessageBox(HINSTANCE module, HWND owner, UINT textId, UINT type);
// Puts the window in the middle of the desktop, its size unchanged, and shows it.
void CentreOnDesktop(HWND window);

}  // namespace toolbar
