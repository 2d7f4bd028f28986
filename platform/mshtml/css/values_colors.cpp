// Colours: hexadecimal, rgb()/hsl(), the named and system colours, and the legacy attribute form.
#include <cmath>
#include <cstdio>

#include "platform/mshtml/css/values_parts.h"
#include "platform/text/colors.h"

namespace platform::mshtml::css::parts {

namespace {

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

bool IsColorName(std::string_view lower) {
  return text::LookupColorName(lower).has_value();
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

}  // namespace

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

}  // namespace platform::mshtml::css::parts

namespace platform::mshtml::css {

using namespace parts;

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
