// A parsed style sheet: its style rules (selectors and the declarations the cascade keeps) and
// its @import addresses. Parsing follows CSS error recovery: a bad rule or declaration is
// skipped, the rest of the sheet stands.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mshtml/css/cascade.h"
#include "platform/mshtml/css/selector.h"
#include "platform/mshtml/css/values.h"

namespace platform::mshtml::css {

struct StyleRule {
  std::vector<ComplexSelector> selectors;
  std::vector<Declaration> declarations;
};

class ParsedStyleSheet final : public StyleSheet {
 public:
  // Larger sheets are cut at this size; the rule count is capped the same way.
  static constexpr std::size_t kMaxBytes = std::size_t{16} << 20;
  static constexpr std::size_t kMaxRules = std::size_t{1} << 18;

  explicit ParsedStyleSheet(std::string_view css);

  const std::vector<std::string>& Imports() const override { return imports_; }
  std::size_t RuleCount() const override { return rules_.size(); }
  const std::vector<StyleRule>& Rules() const { return rules_; }

 private:
  friend class SheetParser;
  std::vector<std::string> imports_;
  std::vector<StyleRule> rules_;
};

// The declarations of a style attribute (a declaration list without braces).
std::vector<Declaration> ParseStyleAttribute(std::string_view text);

}  // namespace platform::mshtml::css
