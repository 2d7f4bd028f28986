// Path helpers. `\` and `/` both separate; joins insert `\` as Windows does (the file layer
// accepts either). Buffers are MAX_PATH characters, as the system passes them.
#pragma once

#include "platform/com/types.h"

// Cuts the last element and its separator: "a\b\c.txt" -> "a\b", "\x" -> "\". TRUE when
// something was removed.
BOOL PathRemoveFileSpecW(LPWSTR path);
// dir joined with file into dest (which may be dir); a file that is already absolute
// stands alone. "." and ".." elements are resolved. NULL (dest emptied) when the result
// would not fit.
LPWSTR PathCombineW(LPWSTR dest, LPCWSTR dir, LPCWSTR file);
// Appends more to path with one separator between them (a leading separator of more is
// dropped). FALSE when the result would not fit.
BOOL PathAppendW(LPWSTR path, LPCWSTR more);
// The element after the last separator ("a\b\" gives "b\"); the path itself when it has none.
LPWSTR PathFindFileNameW(LPCWSTR path);
// The last "." of the file name, or the terminating zero when there is none.
LPWSTR PathFindExtensionW(LPCWSTR path);
BOOL PathFileExistsW(LPCWSTR path);
// FILE_ATTRIBUTE_DIRECTORY (non-zero) for an existing folder, else FALSE.
BOOL PathIsDirectoryW(LPCWSTR path);
// Adds a trailing `\` unless there is a separator already; returns the new end, NULL when full.
LPWSTR PathAddBackslashW(LPWSTR path);
