#include "platform/mshtml/css/values.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace platform::mshtml::css {

namespace {

struct NamedProperty {
  std::string_view name;
  PropId id;
};

constexpr NamedProperty kProperties[] = {
    {"font-size", ToPropId(Property::FontSize)},
    {"line-height", ToPropId(Property::LineHeight)},
    {"color", ToPropId(Property::Color)},
    {"background-color", ToPropId(Property::BackgroundColor)},
    {"font-weight", ToPropId(Property::FontWeight)},
    {"margin-top", ToPropId(Property::MarginTop)},
    {"margin-bottom", ToPropId(Property::MarginBottom)},
    {"text-align", ToPropId(Property::TextAlign)},
    {"border-top-style", ToPropId(Property::BorderStyle)},
    {"page-break-after", ToPropId(Property::PageBreakAfter)},
    {"display", ToPropId(Property::Display)},
    {"white-space", ToPropId(Property::WhiteSpace)},
    {"margin", PropId::Margin},
    {"font", PropId::Font},
    {"background", PropId::Background},
    {"border", PropId::Border},
    {"border-top", PropId::Border},
    {"border-style", PropId::BorderStyle},
    {"break-after", PropId::BreakAfter},
};

// CSS colour keywords (the extended set, both gray spellings), sorted for binary search.
constexpr std::string_view kColorNames[] = {
    "aliceblue",
    "antiquewhite",
    "aqua",
    "aquamarine",
    "azure",
    "beige",
    "bisque",
    "black",
    "blanchedalmond",
    "blue",
    "blueviolet",
    "brown",
    "burlywood",
    "cadetblue",
    "chartreuse",
    "chocolate",
    "coral",
    "cornflowerblue",
    "cornsilk",
    "crimson",
    "cyan",
    "darkblue",
    "darkcyan",
    "darkgoldenrod",
    "darkgray",
    "darkgreen",
    "darkgrey",
    "darkkhaki",
    "darkmagenta",
    "darkolivegreen",
    "darkorange",
    "darkorchid",
    "darkred",
    "darksalmon",
    "darkseagreen",
    "darkslateblue",
    "darkslategray",
    "darkslategrey",
    "darkturquoise",
    "darkviolet",
    "deeppink",
    "deepskyblue",
    "dimgray",
    "dimgrey",
    "dodgerblue",
    "firebrick",
    "floralwhite",
    "forestgreen",
    "fuchsia",
    "gainsboro",
    "ghostwhite",
    "gold",
    "goldenrod",
    "gray",
    "green",
    "greenyellow",
    "grey",
    "honeydew",
    "hotpink",
    "indianred",
    "indigo",
    "ivory",
    "khaki",
    "lavender",
    "lavenderblush",
    "lawngreen",
    "lemonchiffon",
    "lightblue",
    "lightcoral",
    "lightcyan",
    "lightgoldenrodyellow",
    "lightgray",
    "lightgreen",
    "lightgrey",
    "lightpink",
    "lightsalmon",
    "lightseagreen",
    "lightskyblue",
    "lightslategray",
    "lightslategrey",
    "lightsteelblue",
    "lightyellow",
    "lime",
    "limegreen",
    "linen",
    "magenta",
    "maroon",
    "mediumaquamarine",
    "mediumblue",
    "mediumorchid",
    "mediumpurple",
    "mediumseagreen",
    "mediumslateblue",
    "mediumspringgreen",
    "mediumturquoise",
    "mediumvioletred",
    "midnightblue",
    "mintcream",
    "mistyrose",
    "moccasin",
    "navajowhite",
    "navy",
    "oldlace",
    "olive",
    "olivedrab",
    "orange",
    "orangered",
    "orchid",
    "palegoldenrod",
    "palegreen",
    "paleturquoise",
    "palevioletred",
    "papayawhip",
    "peachpuff",
    "peru",
    "pink",
    "plum",
    "powderblue",
    "purple",
    "rebeccapurple",
    "red",
    "rosybrown",
    "royalblue",
    "saddlebrown",
    "salmon",
    "sandybrown",
    "seagreen",
    "seashell",
    "sienna",
    "silver",
    "skyblue",
    "slateblue",
    "slategray",
    "slategrey",
    "snow",
    "springgreen",
    "steelblue",
    "tan",
    "teal",
    "thistle",
    "tomato",
    "turquoise",
    "violet",
    "wheat",
    "white",
    "whitesmoke",
    "yellow",
    "yellowgreen",
};

// System colours are reported as the values of a default desktop theme: the consumers know
// only hexadecimal and named colours, and a "window" background must not turn black.
struct SystemColor {
  std::string_view name;
  std::string_view hex;
};
constexpr SystemColor kSystemColors[] = {
    {"activeborder", "#b4b4b4"},
    {"activecaption", "#99b4d1"},
    {"activetext", "#ff0000"},
    {"appworkspace", "#ababab"},
    {"background", "#000000"},
    {"buttonborder", "#767676"},
    {"buttonface", "#f0f0f0"},
    {"buttonhighlight", "#ffffff"},
    {"buttonshadow", "#a0a0a0"},
    {"buttontext", "#000000"},
    {"canvas", "#ffffff"},
    {"canvastext", "#000000"},
    {"captiontext", "#000000"},
    {"field", "#ffffff"},
    {"fieldtext", "#000000"},
    {"graytext", "#6d6d6d"},
    {"highlight", "#0078d7"},
    {"highlighttext", "#ffffff"},
    {"inactiveborder", "#f4f7fc"},
    {"inactivecaption", "#bfcddb"},
    {"inactivecaptiontext", "#000000"},
    {"infobackground", "#ffffe1"},
    {"infotext", "#000000"},
    {"linktext", "#0000ee"},
    {"mark", "#ffff00"},
    {"marktext", "#000000"},
    {"menu", "#f0f0f0"},
    {"menutext", "#000000"},
    {"scrollbar", "#c8c8c8"},
    {"threeddarkshadow", "#696969"},
    {"threedface", "#f0f0f0"},
    {"threedhighlight", "#ffffff"},
    {"threedlightshadow", "#e3e3e3"},
    {"threedshadow", "#a0a0a0"},
    {"visitedtext", "#551a8b"},
    {"window", "#ffffff"},
    {"windowframe", "#646464"},
    {"windowtext", "#000000"},
};

constexpr std::string_view kLengthUnits[] = {"px", "em",  "ex", "pt", "pc", "cm",   "mm",  "in",
                                             "q",  "rem", "ch", "vw", "vh", "vmin", "vmax"};
constexpr std::string_view kBorderStyles[] = {"none",   "hidden", "dotted", "dashed", "solid",
                                              "double", "groove", "ridge",  "inset",  "outset"};
constexpr std::string_view kDisplays[] = {"block",
                                          "inline",
                                          "inline-block",
                                          "list-item",
                                          "none",
                                          "table",
                                          "inline-table",
                                          "table-row",
                                          "table-cell",
                                          "table-row-group",
                                          "table-header-group",
                                          "table-footer-group",
                                          "table-column",
                                          "table-column-group",
                                          "table-caption",
                                          "flex",
                                          "inline-flex",
                                          "grid",
                                          "inline-grid",
                                          "contents",
                                          "flow-root",
                                          "run-in",
                                          "ruby",
                                          "ruby-base",
                                          "ruby-text",
                                          "ruby-base-container",
                                          "ruby-text-container",
                                          "inline-list-item",
                                          "-webkit-box",
                                          "-webkit-inline-box",
                                          "-moz-box",
                                          "-ms-flexbox",
                                          "-ms-inline-flexbox",
                                          "compact",
                                          "marker"};
constexpr std::string_view kTextAligns[] = {"left",  "right", "center",       "justify",
                                            "start", "end",   "match-parent", "justify-all"};
constexpr std::string_view kWhiteSpaces[] = {"normal",   "pre",      "nowrap",
                                             "pre-wrap", "pre-line", "break-spaces"};
constexpr std::string_view kPageBreaks[] = {"auto", "always", "avoid", "left", "right"};
constexpr std::string_view kFontSizeKeywords[] = {"xx-small", "x-small", "small",    "medium",
                                                  "large",    "x-large", "xx-large", "xxx-large",
                                                  "larger",   "smaller"};

template <std::size_t N>
bool In(const std::string_view (&list)[N], std::string_view s) {
  return std::find(std::begin(list), std::end(list), s) != std::end(list);
}

bool IsColorName(std::string_view lower) {
  return std::binary_search(std::begin(kColorNames), std::end(kColorNames), lower);
}

// One component of a value: a token, or a function with its arguments.
struct Component {
  const Token* begin;
  const Token* end;
  const Token& First() const { return *begin; }
  TokenType Type() const { return begin->type; }
};

// Splits a value into components, dropping white space. Functions and blocks nest.
std::vector<Component> Components(const Token* begin, const Token* end) {
  std::vector<Component> out;
  for (const Token* t = begin; t < end;) {
    if (t->type == TokenType::Whitespace) {
      ++t;
      continue;
    }
    const Token* start = t;
    if (t->type == TokenType::Function || t->type == TokenType::LeftParen ||
        t->type == TokenType::LeftBracket || t->type == TokenType::LeftBrace) {
      int depth = 0;
      do {
        TokenType k = t->type;
        if (k == TokenType::Function || k == TokenType::LeftParen || k == TokenType::LeftBracket ||
            k == TokenType::LeftBrace) {
          ++depth;
        } else if (k == TokenType::RightParen || k == TokenType::RightBracket ||
                   k == TokenType::RightBrace) {
          --depth;
        }
        ++t;
      } while (t < end && depth > 0);
    } else {
      ++t;
    }
    out.push_back({start, t});
  }
  return out;
}

std::string NumberText(std::string_view num) {
  if (!num.empty() && num[0] == '+') num.remove_prefix(1);
  std::string s(num);
  if (!s.empty() && s[0] == '.') s.insert(0, "0");
  if (s.size() > 1 && s[0] == '-' && s[1] == '.') s.insert(1, "0");
  return s;
}

// Text of a function component: name lower-cased, arguments as written with white space runs
// collapsed.
std::string FunctionText(const Component& c) {
  std::string out = Lower(c.First().value) + "(";
  for (const Token* t = c.begin + 1; t < c.end; ++t) {
    if (t->type == TokenType::Whitespace) {
      out += ' ';
    } else {
      out += t->raw;
    }
  }
  return out;
}

bool IsMathFunction(const Component& c) {
  if (c.Type() != TokenType::Function) return false;
  std::string name = Lower(c.First().value);
  return name == "calc" || name == "min" || name == "max" || name == "clamp" ||
         name == "-webkit-calc" || name == "-moz-calc";
}

enum class Sign : std::uint8_t { Any, NonNegative };

// A length or percentage ("0" alone counts as "0px"), as reported.
std::optional<std::string> LengthText(const Component& c, Sign sign, bool allowPercent) {
  const Token& t = c.First();
  if (IsMathFunction(c)) return FunctionText(c);
  if (c.end - c.begin != 1) return std::nullopt;
  if (sign == Sign::NonNegative && t.number < 0) {
    if (t.type == TokenType::Dimension || t.type == TokenType::Percentage ||
        t.type == TokenType::Number) {
      return std::nullopt;
    }
  }
  if (t.type == TokenType::Dimension) {
    std::string unit = Lower(t.unit);
    if (!In(kLengthUnits, unit)) return std::nullopt;
    return NumberText(t.numText) + unit;
  }
  if (t.type == TokenType::Percentage && allowPercent) return NumberText(t.numText) + "%";
  if (t.type == TokenType::Number && t.number == 0) return std::string("0px");
  return std::nullopt;
}

std::optional<std::string> IdentIn(const Component& c, const std::string_view* begin,
                                   const std::string_view* end) {
  if (c.end - c.begin != 1 || c.Type() != TokenType::Ident) return std::nullopt;
  std::string v = Lower(c.First().value);
  if (std::find(begin, end, v) == end) return std::nullopt;
  return v;
}
template <std::size_t N>
std::optional<std::string> IdentIn(const Component& c, const std::string_view (&list)[N]) {
  return IdentIn(c, std::begin(list), std::end(list));
}

std::string Hex(int r, int g, int b) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", r & 0xFF, g & 0xFF, b & 0xFF);
  return buf;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> HashColor(std::string_view h) {
  for (char c : h) {
    if (HexDigit(c) < 0) return std::nullopt;
  }
  auto d = [&](std::size_t i) { return HexDigit(h[i]); };
  switch (h.size()) {
    case 3:
    case 4:
      if (h.size() == 4 && d(3) == 0) return std::string("transparent");
      return Hex(d(0) * 17, d(1) * 17, d(2) * 17);
    case 6:
    case 8:
      if (h.size() == 8 && d(6) == 0 && d(7) == 0) return std::string("transparent");
      return Hex(d(0) * 16 + d(1), d(2) * 16 + d(3), d(4) * 16 + d(5));
    default:
      return std::nullopt;
  }
}

int Clamp255(double v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<int>(std::lround(v));
}

double HueToRgb(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

// rgb(), rgba(), hsl(), hsla() in comma or space syntax.
std::optional<std::string> FunctionColor(const Component& c) {
  std::string name = Lower(c.First().value);
  bool hsl = name == "hsl" || name == "hsla";
  if (!hsl && name != "rgb" && name != "rgba") return std::nullopt;
  std::vector<const Token*> args;
  for (const Token* t = c.begin + 1; t < c.end; ++t) {
    switch (t->type) {
      case TokenType::Whitespace:
      case TokenType::Comma:
      case TokenType::RightParen:
        break;
      case TokenType::Delim:
        if (t->value != "/") return std::nullopt;
        break;
      case TokenType::Number:
      case TokenType::Percentage:
      case TokenType::Dimension:
        args.push_back(t);
        break;
      default:
        return std::nullopt;
    }
  }
  if (args.size() != 3 && args.size() != 4) return std::nullopt;
  double alpha = 1;
  if (args.size() == 4) {
    const Token* a = args[3];
    if (a->type == TokenType::Dimension) return std::nullopt;
    alpha = a->type == TokenType::Percentage ? a->number / 100 : a->number;
  }
  if (alpha <= 0) return std::string("transparent");
  if (!hsl) {
    int rgb[3];
    for (int i = 0; i < 3; ++i) {
      const Token* a = args[i];
      if (a->type == TokenType::Dimension) return std::nullopt;
      rgb[i] = Clamp255(a->type == TokenType::Percentage ? a->number * 255 / 100 : a->number);
    }
    return Hex(rgb[0], rgb[1], rgb[2]);
  }
  const Token* h = args[0];
  double hue = h->number;
  if (h->type == TokenType::Dimension) {
    std::string u = Lower(h->unit);
    if (u == "rad") {
      hue = hue * 180 / 3.14159265358979323846;
    } else if (u == "grad") {
      hue = hue * 0.9;
    } else if (u == "turn") {
      hue = hue * 360;
    } else if (u != "deg") {
      return std::nullopt;
    }
  } else if (h->type == TokenType::Percentage) {
    return std::nullopt;
  }
  if (args[1]->type == TokenType::Dimension || args[2]->type == TokenType::Dimension) {
    return std::nullopt;
  }
  hue = std::fmod(hue, 360);
  if (hue < 0) hue += 360;
  double s = std::clamp(args[1]->number / 100, 0.0, 1.0);
  double l = std::clamp(args[2]->number / 100, 0.0, 1.0);
  double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
  double p = 2 * l - q;
  double hh = hue / 360;
  return Hex(Clamp255(HueToRgb(p, q, hh + 1.0 / 3) * 255), Clamp255(HueToRgb(p, q, hh) * 255),
             Clamp255(HueToRgb(p, q, hh - 1.0 / 3) * 255));
}

std::optional<std::string> ColorOf(const Component& c) {
  const Token& t = c.First();
  if (t.type == TokenType::Function) return FunctionColor(c);
  if (c.end - c.begin != 1) return std::nullopt;
  if (t.type == TokenType::Hash) return HashColor(t.value);
  if (t.type != TokenType::Ident) return std::nullopt;
  std::string v = Lower(t.value);
  if (v == "transparent" || v == "currentcolor" || IsColorName(v)) return v;
  for (const SystemColor& s : kSystemColors) {
    if (s.name == v) return std::string(s.hex);
  }
  return std::nullopt;
}

std::optional<std::string> MarginText(const Component& c) {
  if (c.end - c.begin == 1 && c.Type() == TokenType::Ident &&
      EqualsIgnoreCase(c.First().value, "auto")) {
    return std::string("auto");
  }
  return LengthText(c, Sign::Any, true);
}

std::optional<std::string> FontSizeText(const Component& c) {
  if (auto k = IdentIn(c, kFontSizeKeywords)) return k;
  return LengthText(c, Sign::NonNegative, true);
}

std::optional<std::string> LineHeightText(const Component& c) {
  const Token& t = c.First();
  if (c.end - c.begin == 1 && t.type == TokenType::Ident && EqualsIgnoreCase(t.value, "normal")) {
    return std::string("normal");
  }
  if (c.end - c.begin == 1 && t.type == TokenType::Number) {
    if (t.number < 0) return std::nullopt;
    return NumberText(t.numText);
  }
  return LengthText(c, Sign::NonNegative, true);
}

std::optional<std::string> FontWeightText(const Component& c) {
  const Token& t = c.First();
  if (c.end - c.begin != 1) return std::nullopt;
  if (t.type == TokenType::Ident) {
    std::string v = Lower(t.value);
    if (v == "normal" || v == "bold" || v == "bolder" || v == "lighter") return v;
    return std::nullopt;
  }
  if (t.type == TokenType::Number && t.number >= 1 && t.number <= 1000) {
    return NumberText(t.numText);
  }
  return std::nullopt;
}

std::optional<std::string> BreakAfterText(const Component& c) {
  if (c.end - c.begin != 1 || c.Type() != TokenType::Ident) return std::nullopt;
  std::string v = Lower(c.First().value);
  if (v == "page" || v == "always" || v == "all") return std::string("always");
  if (v == "left" || v == "verso") return std::string("left");
  if (v == "right" || v == "recto") return std::string("right");
  if (v == "avoid" || v == "avoid-page" || v == "avoid-column" || v == "avoid-region") {
    return std::string("avoid");
  }
  if (v == "auto" || v == "column" || v == "region") return std::string("auto");
  return std::nullopt;
}

bool IsBorderWidth(const Component& c) {
  if (c.end - c.begin == 1 && c.Type() == TokenType::Ident) {
    std::string v = Lower(c.First().value);
    return v == "thin" || v == "medium" || v == "thick";
  }
  return LengthText(c, Sign::NonNegative, false).has_value();
}

// A shorthand that sets one longhand from one of several components (border, background).
bool ExpandBorder(const std::vector<Component>& cs,
                  std::vector<std::pair<Property, std::string>>& out) {
  if (cs.empty() || cs.size() > 3) return false;
  bool width = false, color = false;
  std::optional<std::string> style;
  for (const Component& c : cs) {
    if (auto s = IdentIn(c, kBorderStyles)) {
      if (style) return false;
      style = s;
    } else if (!width && IsBorderWidth(c)) {
      width = true;
    } else if (!color && ColorOf(c)) {
      color = true;
    } else {
      return false;
    }
  }
  out.emplace_back(Property::BorderStyle, style ? *style : "none");
  return true;
}

bool ExpandBackground(const std::vector<Component>& cs,
                      std::vector<std::pair<Property, std::string>>& out) {
  if (cs.empty()) return false;
  // The colour may only be in the last layer.
  std::size_t lastLayer = 0;
  for (std::size_t i = 0; i < cs.size(); ++i) {
    if (cs[i].Type() == TokenType::Comma) lastLayer = i + 1;
  }
  std::optional<std::string> color;
  for (std::size_t i = 0; i < cs.size(); ++i) {
    const Component& c = cs[i];
    if (c.Type() == TokenType::BadUrl || c.Type() == TokenType::BadString) return false;
    if (c.Type() == TokenType::Function && EqualsIgnoreCase(c.First().value, "url")) continue;
    auto col = ColorOf(c);
    if (!col) continue;
    if (i < lastLayer || color) return false;
    color = col;
  }
  out.emplace_back(Property::BackgroundColor, color ? *color : "transparent");
  return true;
}

bool ExpandFont(const std::vector<Component>& cs,
                std::vector<std::pair<Property, std::string>>& out) {
  std::size_t i = 0;
  std::string weight = "normal";
  int prefix = 0;
  for (; i < cs.size() && prefix < 4; ++i, ++prefix) {
    const Component& c = cs[i];
    if (c.Type() == TokenType::Ident) {
      std::string v = Lower(c.First().value);
      if (v == "normal" || v == "italic" || v == "oblique" || v == "small-caps" ||
          v == "ultra-condensed" || v == "extra-condensed" || v == "condensed" ||
          v == "semi-condensed" || v == "semi-expanded" || v == "expanded" ||
          v == "extra-expanded" || v == "ultra-expanded") {
        continue;
      }
      if (v == "bold" || v == "bolder" || v == "lighter") {
        weight = v;
        continue;
      }
      break;
    }
    if (c.Type() == TokenType::Number) {
      auto w = FontWeightText(c);
      if (!w) return false;
      weight = *w;
      continue;
    }
    break;
  }
  if (i >= cs.size()) return false;
  auto size = FontSizeText(cs[i]);
  if (!size) return false;
  ++i;
  std::string lineHeight = "normal";
  if (i < cs.size() && cs[i].Type() == TokenType::Delim && cs[i].First().value == "/") {
    ++i;
    if (i >= cs.size()) return false;
    auto lh = LineHeightText(cs[i]);
    if (!lh) return false;
    lineHeight = *lh;
    ++i;
  }
  // A family is required.
  if (i >= cs.size()) return false;
  for (; i < cs.size(); ++i) {
    TokenType k = cs[i].Type();
    if (k != TokenType::Ident && k != TokenType::String && k != TokenType::Comma) return false;
  }
  out.emplace_back(Property::FontSize, *size);
  out.emplace_back(Property::LineHeight, lineHeight);
  out.emplace_back(Property::FontWeight, weight);
  return true;
}

bool HasVar(const Token* begin, const Token* end) {
  for (const Token* t = begin; t < end; ++t) {
    if (t->type == TokenType::Function && EqualsIgnoreCase(t->value, "var")) return true;
  }
  return false;
}

}  // namespace

PropId LookupProperty(std::string_view lowerName) {
  if (lowerName.size() > 2 && lowerName[0] == '-' && lowerName[1] == '-') return PropId::Custom;
  for (const NamedProperty& p : kProperties) {
    if (p.name == lowerName) return p.id;
  }
  return PropId::Unknown;
}

std::span<const Property> LonghandsOf(PropId id) {
  static constexpr Property kMargin[] = {Property::MarginTop, Property::MarginBottom};
  static constexpr Property kFont[] = {Property::FontSize, Property::LineHeight,
                                       Property::FontWeight};
  static constexpr Property kBackground[] = {Property::BackgroundColor};
  static constexpr Property kBorder[] = {Property::BorderStyle};
  static constexpr Property kBreak[] = {Property::PageBreakAfter};
  static constexpr std::array<Property, kLonghandCount> kAll = [] {
    std::array<Property, kLonghandCount> a{};
    for (std::size_t i = 0; i < kLonghandCount; ++i) a[i] = static_cast<Property>(i);
    return a;
  }();
  switch (id) {
    case PropId::Margin:
      return kMargin;
    case PropId::Font:
      return kFont;
    case PropId::Background:
      return kBackground;
    case PropId::Border:
    case PropId::BorderStyle:
      return kBorder;
    case PropId::BreakAfter:
      return kBreak;
    case PropId::Custom:
    case PropId::Unknown:
      return {};
    default:
      return std::span<const Property>(&kAll[static_cast<std::size_t>(id)], 1);
  }
}

bool IsInherited(Property p) {
  switch (p) {
    case Property::FontSize:
    case Property::LineHeight:
    case Property::Color:
    case Property::FontWeight:
    case Property::TextAlign:
    case Property::WhiteSpace:
      return true;
    default:
      return false;
  }
}

const std::string& InitialValue(Property p) {
  static const std::array<std::string, kLonghandCount> kInitial = [] {
    std::array<std::string, kLonghandCount> v;
    auto set = [&](Property q, const char* s) { v[static_cast<std::size_t>(q)] = s; };
    set(Property::FontSize, "medium");
    set(Property::LineHeight, "normal");
    set(Property::Color, "#000000");
    set(Property::BackgroundColor, "transparent");
    set(Property::FontWeight, "400");
    set(Property::MarginTop, "0px");
    set(Property::MarginBottom, "0px");
    set(Property::TextAlign, "left");
    set(Property::BorderStyle, "none");
    set(Property::PageBreakAfter, "auto");
    set(Property::Display, "inline");
    set(Property::WhiteSpace, "normal");
    return v;
  }();
  return kInitial[static_cast<std::size_t>(p)];
}

bool ExpandValue(PropId id, const Token* begin, const Token* end,
                 std::vector<std::pair<Property, std::string>>& out) {
  std::vector<Component> cs = Components(begin, end);
  if (cs.empty()) return false;
  auto one = [&](Property p, std::optional<std::string> v) {
    if (cs.size() != 1 || !v) return false;
    out.emplace_back(p, std::move(*v));
    return true;
  };
  switch (id) {
    case PropId::Margin: {
      if (cs.size() > 4) return false;
      std::vector<std::string> v;
      for (const Component& c : cs) {
        auto m = MarginText(c);
        if (!m) return false;
        v.push_back(std::move(*m));
      }
      out.emplace_back(Property::MarginTop, v[0]);
      out.emplace_back(Property::MarginBottom, v.size() >= 3 ? v[2] : v[0]);
      return true;
    }
    case PropId::Font:
      return ExpandFont(cs, out);
    case PropId::Background:
      return ExpandBackground(cs, out);
    case PropId::Border:
      return ExpandBorder(cs, out);
    case PropId::BorderStyle: {
      if (cs.size() > 4) return false;
      for (const Component& c : cs) {
        if (!IdentIn(c, kBorderStyles)) return false;
      }
      out.emplace_back(Property::BorderStyle, *IdentIn(cs[0], kBorderStyles));
      return true;
    }
    case PropId::BreakAfter:
      return one(Property::PageBreakAfter, BreakAfterText(cs[0]));
    default:
      break;
  }
  if (!IsLonghand(id)) return false;
  Property p = static_cast<Property>(id);
  const Component& c = cs[0];
  switch (p) {
    case Property::FontSize:
      return one(p, FontSizeText(c));
    case Property::LineHeight:
      return one(p, LineHeightText(c));
    case Property::Color:
    case Property::BackgroundColor:
      return one(p, ColorOf(c));
    case Property::FontWeight:
      return one(p, FontWeightText(c));
    case Property::MarginTop:
    case Property::MarginBottom:
      return one(p, MarginText(c));
    case Property::TextAlign:
      return one(p, IdentIn(c, kTextAligns));
    case Property::BorderStyle:
      return one(p, IdentIn(c, kBorderStyles));
    case Property::PageBreakAfter: {
      return one(p, IdentIn(c, kPageBreaks));
    }
    case Property::Display:
      return one(p, IdentIn(c, kDisplays));
    case Property::WhiteSpace:
      return one(p, IdentIn(c, kWhiteSpaces));
    case Property::Count:
      break;
  }
  return false;
}

std::string RawText(const Token* begin, const Token* end) {
  while (begin < end && begin->type == TokenType::Whitespace) ++begin;
  while (end > begin && (end - 1)->type == TokenType::Whitespace) --end;
  std::string out;
  for (const Token* t = begin; t < end; ++t) out += t->raw;
  return out;
}

void AddDeclaration(PropId id, std::string_view name, const Token* begin, const Token* end,
                    bool important, std::vector<Declaration>& out) {
  if (id == PropId::Custom) {
    Declaration d;
    d.id = id;
    d.important = important;
    d.name = std::string(name);
    d.value = RawText(begin, end);
    d.hasVar = HasVar(begin, end);
    out.push_back(std::move(d));
    return;
  }
  if (id == PropId::Unknown) return;
  std::vector<Component> cs = Components(begin, end);
  if (cs.empty()) return;
  if (cs.size() == 1 && cs[0].Type() == TokenType::Ident && cs[0].end - cs[0].begin == 1) {
    std::string v = Lower(cs[0].First().value);
    CssWide wide = CssWide::None;
    if (v == "inherit") {
      wide = CssWide::Inherit;
    } else if (v == "initial") {
      wide = CssWide::Initial;
    } else if (v == "unset" || v == "revert" || v == "revert-layer") {
      wide = CssWide::Unset;
    }
    if (wide != CssWide::None) {
      for (Property p : LonghandsOf(id)) {
        Declaration d;
        d.id = ToPropId(p);
        d.important = important;
        d.wide = wide;
        out.push_back(std::move(d));
      }
      return;
    }
  }
  if (HasVar(begin, end)) {
    Declaration d;
    d.id = id;
    d.important = important;
    d.hasVar = true;
    d.value = RawText(begin, end);
    out.push_back(std::move(d));
    return;
  }
  std::vector<std::pair<Property, std::string>> values;
  if (!ExpandValue(id, begin, end, values)) return;
  for (auto& [p, v] : values) {
    Declaration d;
    d.id = ToPropId(p);
    d.important = important;
    d.value = std::move(v);
    out.push_back(std::move(d));
  }
}

std::optional<std::string> ParseColorText(std::string_view text) {
  Tokenizer tk;
  std::vector<Token> tokens = tk.Tokenize(text);
  std::vector<Component> cs = Components(tokens.data(), tokens.data() + tokens.size());
  if (cs.size() != 1) return std::nullopt;
  return ColorOf(cs[0]);
}

std::optional<std::string> ParseLegacyColor(std::string_view text) {
  auto isSpace = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
  };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  std::string lower = Lower(text);
  if (lower == "transparent") return std::nullopt;
  if (IsColorName(lower)) return lower;
  if (text.size() == 4 && text[0] == '#' && HexDigit(text[1]) >= 0 && HexDigit(text[2]) >= 0 &&
      HexDigit(text[3]) >= 0) {
    return HashColor(text.substr(1));
  }
  // The legacy rules: non-hex characters count as 0, the rest is split into three parts.
  std::string s;
  for (std::size_t i = 0; i < text.size() && s.size() < 128; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0xF0) {
      s += "00";
    } else if (c >= 0x80 && c < 0xC0) {
      continue;  // continuation byte
    } else if (c >= 0x80) {
      s += '0';
    } else {
      s += HexDigit(static_cast<char>(c)) >= 0 ? static_cast<char>(c) : '0';
    }
  }
  if (text[0] == '#' && !s.empty()) s.erase(0, 1);
  while (s.empty() || s.size() % 3 != 0) s += '0';
  std::size_t len = s.size() / 3;
  std::string part[3] = {s.substr(0, len), s.substr(len, len), s.substr(2 * len, len)};
  if (len > 8) {
    for (auto& p : part) p = p.substr(len - 8);
    len = 8;
  }
  while (len > 2 && part[0][0] == '0' && part[1][0] == '0' && part[2][0] == '0') {
    for (auto& p : part) p.erase(0, 1);
    --len;
  }
  if (len > 2) {
    for (auto& p : part) p.resize(2);
  }
  auto value = [](const std::string& p) {
    int v = 0;
    for (char c : p) v = v * 16 + HexDigit(c);
    return v;
  };
  return Hex(value(part[0]), value(part[1]), value(part[2]));
}

}  // namespace platform::mshtml::css
