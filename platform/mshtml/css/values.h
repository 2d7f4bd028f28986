// Property values: which properties the cascade keeps, how each declaration's value is checked
// and written back as the text the document model reports ("12pt", "#ff0000", "bold").
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/mshtml/css/cascade.h"
#include "platform/mshtml/css/tokenizer.h"

namespace platform::mshtml::css {

constexpr std::size_t kLonghandCount = static_cast<std::size_t>(Property::Count);

// Longhands share their numbers with Property; shorthands and aliases follow.
enum class PropId : std::uint8_t {
  Margin = 32,
  Font,
  Background,
  Border,       // border and border-top: only the top style is kept
  BorderStyle,  // the 1-4 value border-style
  BreakAfter,   // break-after, reported through page-break-after
  Custom,       // --name
  Unknown,
};

static_assert(kLonghandCount <= static_cast<std::size_t>(PropId::Margin),
              "longhands and shorthands share the numbers");

constexpr PropId ToPropId(Property p) {
  return static_cast<PropId>(p);
}
constexpr bool IsLonghand(PropId id) {
  return static_cast<std::size_t>(id) < kLonghandCount;
}

enum class CssWide : std::uint8_t { None, Inherit, Initial, Unset };

struct Declaration {
  PropId id = PropId::Unknown;
  bool important = false;
  // The value holds var(): it stays as written and is parsed once substituted.
  bool hasVar = false;
  CssWide wide = CssWide::None;
  std::string value;  // a longhand's reported text, or the raw text when hasVar or Custom
  std::string name;   // Custom only: "--name"
};

// The property of a lower-case name, Unknown for properties nobody reads.
PropId LookupProperty(std::string_view lowerName);

// The longhands a property sets (one for a longhand).
std::span<const Property> LonghandsOf(PropId id);

bool IsInherited(Property p);
const std::string& InitialValue(Property p);

// Checks a declaration's value and appends what it sets (nothing when it is invalid).
void AddDeclaration(PropId id, std::string_view name, const Token* begin, const Token* end,
                    bool important, std::vector<Declaration>& out);

// Parses a value of property id (no var(), no CSS-wide keyword) into the longhands it sets.
bool ExpandValue(PropId id, const Token* begin, const Token* end,
                 std::vector<std::pair<Property, std::string>>& out);

// A colour value as reported: "#rrggbb", a lower-case name, "transparent", "currentcolor".
std::optional<std::string> ParseColorText(std::string_view text);

// Colour as an HTML attribute gives it (bgcolor, color, text): "#rrggbb" or a name.
std::optional<std::string> ParseLegacyColor(std::string_view text);

// The raw text between begin and end with surrounding white space removed.
std::string RawText(const Token* begin, const Token* end);

}  // namespace platform::mshtml::css
