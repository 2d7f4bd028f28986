// The class library's pieces the system uses: strings, exceptions, files, text files and file
// finding.
#pragma once

#include "platform/win32/mfc/cstring.h"
#include "platform/win32/mfc/exception.h"
#include "platform/win32/mfc/file.h"
#include "platform/win32/mfc/file_find.h"
#include "platform/win32/mfc/stdio_file.h"
