// The named colours of CSS, one table for the document model and the engine, so that a name
// one accepts the other gives a colour for.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace platform::text {

struct NamedColor {
  std::string_view name;  // lower case ASCII
  std::uint32_t rgb;      // 0x00RRGGBB
};

// In alphabetical order.
std::span<const NamedColor> NamedColors();
// The colour of a name in any ASCII case; nothing for a name not in the table.
std::optional<std::uint32_t> LookupColorName(std::string_view name);

}  // namespace platform::text
