// The one header the system's code includes for the Windows platform, as it would include
// <windows.h>: COM, kernel services, code pages, files, the C runtime's file calls, the
// registry, shell folders and path helpers, the class library's file classes, and the window system
// when it is present.
#pragma once

#include "platform/com/com.h"
#include "platform/win32/codepage.h"
#include "platform/win32/crt.h"
#include "platform/win32/file.h"
#include "platform/win32/format.h"
#include "platform/win32/kernel.h"
#include "platform/win32/mfc/afx.h"
#include "platform/win32/path.h"
#include "platform/win32/registry.h"
#include "platform/win32/shell.h"

#if __has_include("platform/win32/ui/ui.h")
#include "platform/win32/ui/ui.h"
#endif
