// Small readers of UTF-16 text that behave like the C library's wide-character functions the
// engine was written against (_wtoi, wcstod, wcstol, iswspace), independent of the locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/types.h"

namespace nbparser {

// Leading white space, one optional sign, decimal digits; 0 without digits. Saturates at the
// limits of a 32-bit int instead of overflowing.
int WideToInt(std::u16string_view text);

// The floating-point number at the start of text (white space skipped), 0 when there is none.
double WideToDouble(std::u16string_view text);

// Like wcstol: white space, sign, an optional "0x" when base is 16, digits of the base. Results
// beyond a signed 32-bit value saturate at its limits.
std::int32_t WideToLong(std::u16string_view text, int base);

// White space as the wide-character classification counts it (ASCII blanks and controls, the
// no-break space, the Unicode space separators and the ideographic space).
bool IsWideSpace(char16_t c);

std::u16string_view TrimRight(std::u16string_view text);
std::u16string_view Trim(std::u16string_view text);

// Truncates toward zero and keeps the low 16 bits, as a 64-bit conversion of the processor
// would; values it cannot represent (infinities, NaN, |x| >= 2^63) give 0.
WORD DoubleToWord(double value);

// A null-safe view of a zero-terminated wide string.
inline std::u16string_view View(const WCHAR* text) {
  return text ? std::u16string_view(text) : std::u16string_view();
}

}  // namespace nbparser
