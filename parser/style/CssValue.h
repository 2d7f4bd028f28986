// Computed CSS values as the browser reports them ("12pt", "1.5em", "x-small", "bold") turned
// into the writer library's numbers. Sizes are in its font-size unit, in which medium is 100.
// None of these fail: text that is not recognised gives a fixed default.
#pragma once

#include "platform/com/types.h"

// A font size or line height; base is the style stack's base font size.
WORD ParseLength(const WCHAR* text, WORD base);
// A margin: the integer the text begins with (units are not converted); a percentage is
// multiplied by percentFactor. Text of fewer than two characters gives 0.
WORD ParseMargin(const WCHAR* text, WORD percentFactor);
// A font weight: only "bold" and the weights 500 and above count as 500 or more.
WORD ParseFontWeight(const WCHAR* text);
