#include "platform/mshtml/css/font_size.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <system_error>

#include "platform/display/screen.h"

namespace platform::mshtml::css {

namespace {

constexpr double kMedium = 100;
// Keyword sizes in size units, as the engine reads them.
struct KeywordSize {
  std::string_view name;
  double units;
};
constexpr KeywordSize kKeywords[] = {
    {"xx-small", 60}, {"x-small", 75},  {"small", 90},     {"medium", 100},
    {"large", 110},   {"x-large", 125}, {"xx-large", 140}, {"xxx-large", 140},
};
// A keyword step of "larger" and "smaller".
constexpr double kStep = 1.2;

struct Number {
  double value = 0;
  std::string_view unit;  // lower case as reported; empty for a bare number
};

std::optional<Number> SplitNumber(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = i;
  while (i < text.size() && ((text[i] >= '0' && text[i] <= '9') || text[i] == '.')) ++i;
  if (i == digits) return std::nullopt;
  // Exponents as the tokenizer keeps them ("1e1px" is rare but valid).
  if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E') &&
      ((text[i + 1] >= '0' && text[i + 1] <= '9') || text[i + 1] == '-' || text[i + 1] == '+')) {
    ++i;
    if (text[i] == '-' || text[i] == '+') ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  }
  Number n;
  std::string_view digitsText = text.substr(0, i);
  if (digitsText[0] == '+') digitsText.remove_prefix(1);
  if (std::from_chars(digitsText.data(), digitsText.data() + digitsText.size(), n.value).ec !=
      std::errc()) {
    return std::nullopt;
  }
  n.unit = text.substr(i);
  return n;
}

std::optional<SizeUnit> AbsoluteUnit(std::string_view unit) {
  if (unit == "px") return SizeUnit::Px;
  if (unit == "pt") return SizeUnit::Pt;
  if (unit == "pc") return SizeUnit::Pc;
  if (unit == "in") return SizeUnit::In;
  if (unit == "cm") return SizeUnit::Cm;
  if (unit == "mm") return SizeUnit::Mm;
  return std::nullopt;
}

// A size the text gives, in size units, against the parent's size and the root's; nullopt
// when the model cannot tell (calc() and the like): the element then keeps the parent's size.
// `written` says whether the engine reads the text as the model does, so it may be reported as
// written; `unit` is the unit an absolute result is written in.
struct Resolved {
  double units = kMedium;
  SizeUnit unit = SizeUnit::Px;
  bool written = true;
};

std::optional<Resolved> ResolveLength(std::string_view text, double parent, SizeUnit parentUnit,
                                      double root, double ownFont, bool lineHeight) {
  Resolved r;
  r.unit = parentUnit;
  for (const KeywordSize& k : kKeywords) {
    if (text == k.name) {
      r.units = k.units;
      r.unit = SizeUnit::Px;
      r.written = k.name != "xxx-large";
      return r;
    }
  }
  if (!lineHeight && text == "larger") {
    r.units = parent * kStep;
    return r;
  }
  if (!lineHeight && text == "smaller") {
    r.units = parent / kStep;
    return r;
  }
  std::optional<Number> n = SplitNumber(text);
  if (!n) return std::nullopt;
  // A <font size> hint: "3" is a keyword size, "+1" and "-1" a step of 10 units.
  if (!lineHeight && n->unit.empty() && !text.empty()) {
    if (text[0] == '+' || text[0] == '-') {
      r.units = parent + 10 * n->value;
      if (r.units <= 0) r.units = kMedium;
      return r;
    }
    static constexpr double kHtmlSizes[] = {100, 60, 75, 90, 100, 110, 125, 140};
    int size = static_cast<int>(n->value);
    r.units = size >= 1 && size <= 7 ? kHtmlSizes[size] : kMedium;
    r.unit = SizeUnit::Px;
    return r;
  }
  double base = lineHeight ? ownFont : parent;
  if (n->unit == "%") {
    r.units = base * n->value / 100;
  } else if (n->unit == "em") {
    r.units = base * n->value;
  } else if (n->unit == "ex") {
    r.units = base * n->value / 2;
  } else if (n->unit == "ch") {
    r.units = base * n->value / 2;
    r.written = false;
  } else if (n->unit == "rem") {
    r.units = root * n->value;
    r.written = false;
  } else if (n->unit == "q") {
    r.units = n->value / 4 * UnitsPer(SizeUnit::Mm);
    r.unit = SizeUnit::Mm;
    r.written = false;
  } else if (n->unit == "vw" || n->unit == "vh" || n->unit == "vmin" || n->unit == "vmax") {
    double side =
        n->unit == "vw" || n->unit == "vmax" ? display::kScreen.width : display::kScreen.height;
    r.units = n->value * side / 100 * UnitsPer(SizeUnit::Px);
    r.unit = SizeUnit::Px;
    r.written = false;
  } else if (std::optional<SizeUnit> u = AbsoluteUnit(n->unit)) {
    r.units = n->value * UnitsPer(*u);
    r.unit = *u;
  } else {
    return std::nullopt;
  }
  return r;
}

}  // namespace

double UnitsPer(SizeUnit unit) {
  switch (unit) {
    case SizeUnit::Px:
      return 6;
    case SizeUnit::Pt:
      return 7.5;
    case SizeUnit::Pc:
      return 120;
    case SizeUnit::In:
      return 720;
    case SizeUnit::Cm:
      return 720 * 0.39370078740157477;
    case SizeUnit::Mm:
      return 720 * 0.03937007874015748;
  }
  return 6;
}

std::string FormatLength(double units, SizeUnit unit) {
  static constexpr const char* kNames[] = {"px", "pt", "pc", "in", "cm", "mm"};
  double v = units / UnitsPer(unit);
  if (!(v > 0) || !std::isfinite(v) || v > 1e9) v = 0;
  // Written by hand: one is made for many elements, and snprintf cost more than the cascade.
  auto tenThousandths = static_cast<std::uint64_t>(std::ceil(v * 10000 - 1e-6));
  std::string s = std::to_string(tenThousandths / 10000);
  if (std::uint64_t fraction = tenThousandths % 10000; fraction != 0) {
    char digits[5] = {
        static_cast<char>('0' + fraction / 1000), static_cast<char>('0' + fraction / 100 % 10),
        static_cast<char>('0' + fraction / 10 % 10), static_cast<char>('0' + fraction % 10), 0};
    std::size_t n = 4;
    while (n > 0 && digits[n - 1] == '0') --n;
    s.push_back('.');
    s.append(digits, n);
  }
  s += kNames[static_cast<std::size_t>(unit)];
  return s;
}

bool IsRelativeSize(std::string_view text) {
  if (text == "larger" || text == "smaller") return true;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) return true;
  std::optional<Number> n = SplitNumber(text);
  if (!n) return false;
  return n->unit == "%" || n->unit == "em" || n->unit == "ex" || n->unit.empty();
}

void ResolveFontSize(ComputedStyle& out, const ComputedStyle* parent, bool fontSizeInherited,
                     bool lineHeightInherited) {
  const double parentSize = parent ? parent->fontSize : kMedium;
  const auto parentUnit = parent ? static_cast<SizeUnit>(parent->fontUnit) : SizeUnit::Px;
  const double root = parent ? parent->rootFontSize : kMedium;

  std::string& size = out.Set(Property::FontSize);
  if (fontSizeInherited && parent) {
    out.fontSize = parentSize;
    out.fontUnit = parent->fontUnit;
    if (IsRelativeSize(parent->Get(Property::FontSize)))
      size = FormatLength(parentSize, parentUnit);
  } else if (std::optional<Resolved> r =
                 ResolveLength(size, parentSize, parentUnit, root, 0, false);
             r && r->units > 0) {
    out.fontSize = r->units;
    out.fontUnit = static_cast<std::uint8_t>(r->unit);
    if (!r->written) size = FormatLength(r->units, r->unit);
  } else {
    // A size the model cannot work out keeps the parent's.
    out.fontSize = parentSize;
    out.fontUnit = static_cast<std::uint8_t>(parentUnit);
    size = FormatLength(parentSize, parentUnit);
  }
  out.rootFontSize = parent ? root : out.fontSize;

  const auto unit = static_cast<SizeUnit>(out.fontUnit);
  std::string& height = out.Set(Property::LineHeight);
  auto absolute = [&](double units) {
    out.lineKind = ComputedStyle::LineAbsolute;
    out.lineHeight = units;
  };
  if (lineHeightInherited && parent) {
    // A factor is inherited as a factor; every other height as the parent computed it.
    out.lineKind = parent->lineKind;
    out.lineHeight = parent->lineHeight;
    if (parent->lineKind == ComputedStyle::LineFactor) {
      height = FormatLength(parent->lineHeight * out.fontSize, unit);
    } else if (parent->lineKind == ComputedStyle::LineAbsolute &&
               IsRelativeSize(parent->Get(Property::LineHeight))) {
      height = FormatLength(parent->lineHeight, static_cast<SizeUnit>(parent->fontUnit));
    }
    return;
  }
  if (height == "normal") {
    out.lineKind = ComputedStyle::LineNormal;
    out.lineHeight = 0;
    return;
  }
  std::optional<Number> n = SplitNumber(height);
  if (n && n->unit.empty()) {
    out.lineKind = ComputedStyle::LineFactor;
    out.lineHeight = n->value;
    height = FormatLength(n->value * out.fontSize, unit);
    return;
  }
  if (std::optional<Resolved> r = ResolveLength(height, parentSize, unit, root, out.fontSize, true);
      r && r->units > 0) {
    absolute(r->units);
    if (!r->written) height = FormatLength(r->units, r->unit);
    return;
  }
  out.lineKind = ComputedStyle::LineNormal;
  out.lineHeight = 0;
  height = "normal";
}

}  // namespace platform::mshtml::css
