// The computed font size and line height of an element, and how currentStyle reports them.
//
// The engine reads a size relative to the size of the enclosing element ("2em", "90%"), so an
// element that only inherits its size must not report its parent's relative text again (a span
// inside an H1 would double once more). An element that declares a size reports it as written;
// one that inherits it reports the parent's text when that is absolute ("12pt", "small") and
// otherwise the size the parent really has, as an absolute length. A unitless line height
// ("1.5") is reported as the absolute height it stands for.
//
// Sizes are computed in the reader's size unit, in which the medium size is 100, with the
// conversions the engine applies to what it reads (one pixel 6 units, one point 7.5, the
// keywords xx-small ... xx-large 60 ... 140), so that an absolute length reported here reads
// back as the size the engine gave the parent. An absolute length is written in the unit of
// the absolute size the parent's relative one rests on ("24pt" under a "12pt" ancestor),
// pixels for sizes that rest on a keyword.
#pragma once

#include <string>
#include <string_view>

#include "platform/mshtml/css/cascade.h"

namespace platform::mshtml::css {

// Units an absolute size is written in.
enum class SizeUnit : std::uint8_t { Px, Pt, Pc, In, Cm, Mm };

// Size units (medium = 100) per one of unit.
double UnitsPer(SizeUnit unit);

// units as a length in unit, rounded up in the fourth decimal so that the engine, which
// truncates, reads the same whole number back ("33.3334px" for 200).
std::string FormatLength(double units, SizeUnit unit);

// Whether a reported font-size or line-height text depends on the enclosing size.
bool IsRelativeSize(std::string_view text);

// Fills the computed font size and line height of out (whose values hold the cascaded texts)
// and rewrites the two reported texts as the header says. parent is null for the root.
void ResolveFontSize(ComputedStyle& out, const ComputedStyle* parent, bool fontSizeInherited,
                     bool lineHeightInherited);

}  // namespace platform::mshtml::css
