// Internals of value parsing shared by the values_*.cpp files: a value as components, and the
// checks of each family (lengths, colours, fonts) that properties and shorthands combine.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/mshtml/css/values.h"

namespace platform::mshtml::css::parts {

template <std::size_t N>
bool In(const std::string_view (&list)[N], std::string_view s) {
  return std::find(std::begin(list), std::end(list), s) != std::end(list);
}

// One component of a value: a token, or a function with its arguments.
struct Component {
  const Token* begin;
  const Token* end;
  const Token& First() const { return *begin; }
  TokenType Type() const { return begin->type; }
};

// Splits a value into components, dropping white space. Functions and blocks nest.
std::vector<Component> Components(const Token* begin, const Token* end);

// A single identifier among the given keywords, lower-cased.
std::optional<std::string> IdentIn(const Component& c, const std::string_view* begin,
                                   const std::string_view* end);
template <std::size_t N>
std::optional<std::string> IdentIn(const Component& c, const std::string_view (&list)[N]) {
  return IdentIn(c, std::begin(list), std::end(list));
}

// Lengths
enum class Sign : std::uint8_t { Any, NonNegative };

std::string NumberText(std::string_view num);
// A length or percentage ("0" alone counts as "0px"), as reported.
std::optional<std::string> LengthText(const Component& c, Sign sign, bool allowPercent);
std::optional<std::string> MarginText(const Component& c);
bool IsBorderWidth(const Component& c);

// Colours
// A colour as reported: "#rrggbb", a lower-case name, "transparent", "currentcolor".
std::optional<std::string> ColorOf(const Component& c);

// Fonts
std::optional<std::string> FontSizeText(const Component& c);
std::optional<std::string> LineHeightText(const Component& c);
std::optional<std::string> FontWeightText(const Component& c);
// The font shorthand: size, line height and weight; style, variant and stretch are checked.
bool ExpandFont(const std::vector<Component>& cs,
                std::vector<std::pair<Property, std::string>>& out);

}  // namespace platform::mshtml::css::parts
