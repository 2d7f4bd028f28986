// The headless window system: every header of it, for code written against the Windows API.
#pragma once

#include "platform/win32/ui/automation.h"
#include "platform/win32/ui/commctrl.h"
#include "platform/win32/ui/defs.h"
#include "platform/win32/ui/resources.h"
#include "platform/win32/ui/user.h"
#include "platform/win32/ui/wrappers.h"
