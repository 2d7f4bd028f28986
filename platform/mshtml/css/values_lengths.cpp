// Lengths and percentages as reported: units checked, numbers written back as given.
#include "platform/mshtml/css/values_parts.h"

namespace platform::mshtml::css::parts {

namespace {

constexpr std::string_view kLengthUnits[] = {"px", "em",  "ex", "pt", "pc", "cm",   "mm",  "in",
                                             "q",  "rem", "ch", "vw", "vh", "vmin", "vmax"};

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

}  // namespace

std::string NumberText(std::string_view num) {
  if (!num.empty() && num[0] == '+') num.remove_prefix(1);
  std::string s(num);
  if (!s.empty() && s[0] == '.') s.insert(0, "0");
  if (s.size() > 1 && s[0] == '-' && s[1] == '.') s.insert(1, "0");
  return s;
}

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

std::optional<std::string> MarginText(const Component& c) {
  if (c.end - c.begin == 1 && c.Type() == TokenType::Ident &&
      EqualsIgnoreCase(c.First().value, "auto")) {
    return std::string("auto");
  }
  return LengthText(c, Sign::Any, true);
}

bool IsBorderWidth(const Component& c) {
  if (c.end - c.begin == 1 && c.Type() == TokenType::Ident) {
    std::string v = Lower(c.First().value);
    return v == "thin" || v == "medium" || v == "thick";
  }
  return LengthText(c, Sign::NonNegative, false).has_value();
}

}  // namespace platform::mshtml::css::parts
