// Colour texts of computed styles ("#ff0000", "#f00", "red") as 32-bit values 0x00RRGGBB,
// and the byte form in which colours are handed to the writer library.
#pragma once

#include "platform/com/types.h"

// No colour (a transparent background).
constexpr DWORD kNoColor = 0xFF000000;

// 0 (black) for every text that is not recognised.
DWORD ParseColor(const WCHAR* text);
// The colour of a named colour (any case) from the platform's table of names, 0 when the name
// is not in it.
DWORD LookupColorName(const WCHAR* name);
// Four bytes, most significant first: 0x00RRGGBB gives 00 RR GG BB.
void ColorToBytes(DWORD colour, BYTE bytes[4]);
