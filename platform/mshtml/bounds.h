// Limits that keep hostile pages from costing more than linear time or unbounded stack.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::mshtml {

// Element nesting depth, as browsers cap it: deeper elements become siblings at the cap.
constexpr std::size_t kMaxNestingDepth = 512;
// Attributes kept per tag; the rest of a tag's attributes are dropped.
constexpr std::size_t kMaxAttributesPerTag = 256;

// Rewrites markup before it reaches the HTML parser so that the parser's own per-tag work
// stays bounded: drops the attributes of a tag past kMaxAttributesPerTag and, where a cheap
// model of the open elements reaches the nesting cap, closes the innermost element before a
// new one opens. The model only approximates tree construction; the tree builder enforces the
// exact cap afterwards. Returns false, leaving bounded alone, when the page is within the
// limits and needs no change.
bool BoundMarkup(std::string_view html, std::string& bounded);

}  // namespace platform::mshtml
