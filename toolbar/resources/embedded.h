// The toolbar library's compiled resources (ToolBar4N.res, made by windres from ToolBar4N.rc),
// embedded in the library. The module entry hands them to the platform's resource loader at
// process attach, so that LoadStringW, DialogBoxParamW, LoadMenuW and LoadImageW find them by
// the library's own instance handle, and takes them back at process detach.
#pragma once

#include <span>

#include "platform/win32/windows.h"

// The bytes of ToolBar4N.res.
std::span<const unsigned char> ToolBar4NResourceData();

// Declares every resource for module (the library's instance handle). FALSE when the embedded
// file cannot be read, which should make loading the library fail.
BOOL RegisterToolBar4NResources(HINSTANCE module);

// Forgets the resources of module.
void UnregisterToolBar4NResources(HINSTANCE module);
