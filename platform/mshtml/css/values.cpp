#include "platform/mshtml/css/values.h"

#include <algorithm>
#include <array>

#include "platform/mshtml/css/values_parts.h"

namespace platform::mshtml::css {

using namespace parts;

namespace {

struct NamedProperty {
  std::string_view name;
  PropId id;
};

constexpr NamedProperty kProperties[] = {
#define NB_CSS_NAME(name, text, ...) {text, ToPropId(Property::name)},
    NB_CSS_LONGHANDS(NB_CSS_NAME)
#undef NB_CSS_NAME
    // Shorthands and aliases.
    {"margin", PropId::Margin},
    {"font", PropId::Font},
    {"background", PropId::Background},
    {"border", PropId::Border},
    {"border-top", PropId::Border},
    {"border-style", PropId::BorderStyle},
    {"break-after", PropId::BreakAfter},
};

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

std::optional<std::string> TextAlignText(const Component& c) {
  return IdentIn(c, kTextAligns);
}
std::optional<std::string> BorderStyleText(const Component& c) {
  return IdentIn(c, kBorderStyles);
}
std::optional<std::string> PageBreakText(const Component& c) {
  return IdentIn(c, kPageBreaks);
}
std::optional<std::string> DisplayText(const Component& c) {
  return IdentIn(c, kDisplays);
}
std::optional<std::string> WhiteSpaceText(const Component& c) {
  return IdentIn(c, kWhiteSpaces);
}

// A longhand's value of one component, checked and written as reported.
using LonghandParser = std::optional<std::string> (*)(const Component&);
constexpr LonghandParser kParsers[] = {
#define NB_CSS_PARSER(name, text, inherited, initial, parser, ...) parser,
    NB_CSS_LONGHANDS(NB_CSS_PARSER)
#undef NB_CSS_PARSER
};
static_assert(std::size(kParsers) == kLonghandCount);

}  // namespace

namespace parts {

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

std::optional<std::string> IdentIn(const Component& c, const std::string_view* begin,
                                   const std::string_view* end) {
  if (c.end - c.begin != 1 || c.Type() != TokenType::Ident) return std::nullopt;
  std::string v = Lower(c.First().value);
  if (std::find(begin, end, v) == end) return std::nullopt;
  return v;
}

}  // namespace parts

namespace {

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
  static constexpr bool kInherited[] = {
#define NB_CSS_INHERITED(name, text, inherited, ...) inherited,
      NB_CSS_LONGHANDS(NB_CSS_INHERITED)
#undef NB_CSS_INHERITED
  };
  static_assert(std::size(kInherited) == kLonghandCount);
  return kInherited[static_cast<std::size_t>(p)];
}

const std::string& InitialValue(Property p) {
  static const std::array<std::string, kLonghandCount> kInitial = {
#define NB_CSS_INITIAL(name, text, inherited, initial, ...) initial,
      NB_CSS_LONGHANDS(NB_CSS_INITIAL)
#undef NB_CSS_INITIAL
  };
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
  return one(static_cast<Property>(id), kParsers[static_cast<std::size_t>(id)](cs[0]));
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

}  // namespace platform::mshtml::css
