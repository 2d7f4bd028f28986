// Fonts: the size keywords, line height, weight and the font shorthand.
#include "platform/mshtml/css/values_parts.h"

namespace platform::mshtml::css::parts {

namespace {

constexpr std::string_view kFontSizeKeywords[] = {"xx-small", "x-small", "small",    "medium",
                                                  "large",    "x-large", "xx-large", "xxx-large",
                                                  "larger",   "smaller"};

}  // namespace

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

}  // namespace platform::mshtml::css::parts
