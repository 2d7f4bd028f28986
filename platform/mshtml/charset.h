// Turning a page's bytes into UTF-8 as a browser does: byte order mark, the transport's
// charset, the <meta> prescan, then UTF-8 when the bytes are valid UTF-8, else the system ANSI
// code page. Undecodable bytes become U+FFFD; the result is always valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace platform::mshtml {

// The iconv name for a charset label ("Shift_JIS" -> "CP932", "euc-jp" -> "EUC-JP-MS",
// "latin1" -> "CP1252"); empty when the label is unknown.
std::string IconvNameForLabel(std::string_view label);

// The charset parameter of a Content-Type value ("text/html; charset=UTF-8" -> "UTF-8").
std::string CharsetFromContentType(std::string_view contentType);

// The label declared by a <meta charset> or <meta http-equiv content> in the first 1024 bytes.
std::string PrescanMetaCharset(std::string_view bytes);

// The iconv name of the system ANSI code page (NUBRA_ACP, default 932).
std::string AnsiCodePageName();

bool IsValidUtf8(std::string_view bytes);

// Converts bytes in the iconv encoding `from` to UTF-8; false when iconv does not know it.
bool ConvertToUtf8(std::string_view bytes, const std::string& from, std::string& out);

// "UTF-16LE" or "UTF-16BE" when bytes without a byte order mark are UTF-16 by their pattern of
// zero bytes; empty otherwise.
std::string SniffUtf16(std::string_view bytes);

// The whole detection and decoding, as for a page. transportCharset may be empty.
std::string DecodePage(std::string_view bytes, std::string_view transportCharset);
// The same, sparing the copy of a page that is valid UTF-8 already: returns false, leaving
// out alone, when bytes can be used as they are.
bool DecodePage(std::string_view bytes, std::string_view transportCharset, std::string& out);

// A style sheet's bytes: byte order mark, then UTF-8 when valid, else the page's encoding.
std::string DecodeStyleSheet(std::string_view bytes, std::string_view fallbackIconvName);

// Replaces NUL and invalid UTF-8 with U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);

}  // namespace platform::mshtml
