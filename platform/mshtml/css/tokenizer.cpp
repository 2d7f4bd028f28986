#include "platform/mshtml/css/tokenizer.h"

#include <cstdlib>

#include "platform/text/text.h"

namespace platform::mshtml::css {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

namespace {

bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool IsHex(unsigned char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int HexValue(unsigned char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}
bool IsNameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
bool IsName(unsigned char c) {
  return IsNameStart(c) || IsDigit(c) || c == '-';
}
bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool IsNonPrintable(unsigned char c) {
  return c <= 0x08 || c == 0x0B || (c >= 0x0E && c <= 0x1F) || c == 0x7F;
}

// CSS reads a NUL as U+FFFD too.
void AppendUtf8(std::string& out, std::uint32_t cp) {
  platform::text::AppendUtf8(out, cp == 0 ? char32_t{0xFFFD} : char32_t{cp});
}

class Lexer {
 public:
  Lexer(std::string_view s, std::deque<std::string>& arena) : s_(s), arena_(arena) {}

  bool AtEnd() const { return pos_ >= s_.size(); }

  Token Next() {
    SkipComments();
    Token t;
    std::size_t start = pos_;
    if (AtEnd()) return t;
    unsigned char c = At(0);
    if (IsSpace(c)) {
      while (!AtEnd() && IsSpace(At(0))) ++pos_;
      t.type = TokenType::Whitespace;
    } else if (c == '"' || c == '\'') {
      ConsumeString(t, static_cast<char>(c));
    } else if (c == '#') {
      if (IsName(At(1)) || ValidEscape(1)) {
        ++pos_;
        t.type = TokenType::Hash;
        t.hashIsId = StartsIdent(0);
        t.value = ConsumeName();
      } else {
        Delim(t);
      }
    } else if (c == '(') {
      Single(t, TokenType::LeftParen);
    } else if (c == ')') {
      Single(t, TokenType::RightParen);
    } else if (c == '[') {
      Single(t, TokenType::LeftBracket);
    } else if (c == ']') {
      Single(t, TokenType::RightBracket);
    } else if (c == '{') {
      Single(t, TokenType::LeftBrace);
    } else if (c == '}') {
      Single(t, TokenType::RightBrace);
    } else if (c == ',') {
      Single(t, TokenType::Comma);
    } else if (c == ':') {
      Single(t, TokenType::Colon);
    } else if (c == ';') {
      Single(t, TokenType::Semicolon);
    } else if (c == '+' || c == '.') {
      if (StartsNumber(0)) {
        ConsumeNumeric(t);
      } else {
        Delim(t);
      }
    } else if (c == '-') {
      if (StartsNumber(0)) {
        ConsumeNumeric(t);
      } else if (At(1) == '-' && At(2) == '>') {
        pos_ += 3;
        t.type = TokenType::Cdc;
      } else if (StartsIdent(0)) {
        ConsumeIdentLike(t);
      } else {
        Delim(t);
      }
    } else if (c == '<') {
      if (s_.substr(pos_, 4) == "<!--") {
        pos_ += 4;
        t.type = TokenType::Cdo;
      } else {
        Delim(t);
      }
    } else if (c == '@') {
      if (StartsIdent(1)) {
        ++pos_;
        t.type = TokenType::AtKeyword;
        t.value = ConsumeName();
      } else {
        Delim(t);
      }
    } else if (c == '\\') {
      if (ValidEscape(0)) {
        ConsumeIdentLike(t);
      } else {
        Delim(t);
      }
    } else if (IsDigit(c)) {
      ConsumeNumeric(t);
    } else if (IsNameStart(c)) {
      ConsumeIdentLike(t);
    } else {
      Delim(t);
    }
    t.raw = s_.substr(start, pos_ - start);
    return t;
  }

 private:
  unsigned char At(std::size_t k) const {
    return pos_ + k < s_.size() ? static_cast<unsigned char>(s_[pos_ + k]) : 0;
  }
  bool Has(std::size_t k) const { return pos_ + k < s_.size(); }

  void SkipComments() {
    while (Has(1) && s_[pos_] == '/' && s_[pos_ + 1] == '*') {
      std::size_t end = s_.find("*/", pos_ + 2);
      pos_ = end == std::string_view::npos ? s_.size() : end + 2;
    }
  }

  void Single(Token& t, TokenType type) {
    ++pos_;
    t.type = type;
  }
  void Delim(Token& t) {
    t.type = TokenType::Delim;
    t.value = s_.substr(pos_, 1);
    ++pos_;
  }

  bool ValidEscape(std::size_t k) const {
    return Has(k) && At(k) == '\\' && At(k + 1) != '\n' && Has(k + 1);
  }
  bool StartsIdent(std::size_t k) const {
    unsigned char c = At(k);
    if (!Has(k)) return false;
    if (c == '-')
      return (Has(k + 1) && (IsNameStart(At(k + 1)) || At(k + 1) == '-')) || ValidEscape(k + 1);
    if (IsNameStart(c)) return true;
    return ValidEscape(k);
  }
  bool StartsNumber(std::size_t k) const {
    unsigned char c = At(k);
    if (!Has(k)) return false;
    if (c == '+' || c == '-') {
      if (IsDigit(At(k + 1)) && Has(k + 1)) return true;
      return At(k + 1) == '.' && Has(k + 2) && IsDigit(At(k + 2));
    }
    if (c == '.') return Has(k + 1) && IsDigit(At(k + 1));
    return IsDigit(c);
  }

  // Consumes an escape after the backslash (pos_ at the backslash); appends the code point.
  void ConsumeEscape(std::string& out) {
    ++pos_;  // backslash
    if (AtEnd()) {
      AppendUtf8(out, 0xFFFD);
      return;
    }
    if (IsHex(At(0))) {
      std::uint32_t cp = 0;
      for (int i = 0; i < 6 && !AtEnd() && IsHex(At(0)); ++i)
        cp = cp * 16 + HexValue(At(0)), ++pos_;
      if (!AtEnd() && IsSpace(At(0))) {
        if (At(0) == '\r' && At(1) == '\n') ++pos_;
        ++pos_;
      }
      AppendUtf8(out, cp);
      return;
    }
    out += s_[pos_++];
  }

  // A name, viewing the source when it has no escapes.
  std::string_view ConsumeName() {
    std::size_t start = pos_;
    while (!AtEnd() && IsName(At(0))) ++pos_;
    if (!ValidEscape(0)) return s_.substr(start, pos_ - start);
    std::string out(s_.substr(start, pos_ - start));
    for (;;) {
      if (!AtEnd() && IsName(At(0))) {
        out += s_[pos_++];
      } else if (ValidEscape(0)) {
        ConsumeEscape(out);
      } else {
        break;
      }
    }
    arena_.push_back(std::move(out));
    return arena_.back();
  }

  void ConsumeString(Token& t, char quote) {
    ++pos_;
    std::size_t start = pos_;
    t.type = TokenType::String;
    // Fast path: no escapes.
    while (!AtEnd() && s_[pos_] != quote && s_[pos_] != '\\' && s_[pos_] != '\n') ++pos_;
    if (AtEnd() || s_[pos_] == quote) {
      t.value = s_.substr(start, pos_ - start);
      if (!AtEnd()) ++pos_;
      return;
    }
    std::string out(s_.substr(start, pos_ - start));
    while (!AtEnd()) {
      char c = s_[pos_];
      if (c == quote) {
        ++pos_;
        break;
      }
      if (c == '\n') {
        t.type = TokenType::BadString;  // the newline is not consumed
        break;
      }
      if (c == '\\') {
        if (!Has(1)) {
          ++pos_;
        } else if (At(1) == '\n') {
          pos_ += 2;
        } else {
          ConsumeEscape(out);
        }
        continue;
      }
      out += c;
      ++pos_;
    }
    arena_.push_back(std::move(out));
    t.value = arena_.back();
  }

  void ConsumeNumeric(Token& t) {
    std::size_t start = pos_;
    bool integer = true;
    if (At(0) == '+' || At(0) == '-') ++pos_;
    while (!AtEnd() && IsDigit(At(0))) ++pos_;
    if (At(0) == '.' && Has(1) && IsDigit(At(1))) {
      integer = false;
      ++pos_;
      while (!AtEnd() && IsDigit(At(0))) ++pos_;
    }
    if ((At(0) == 'e' || At(0) == 'E') &&
        ((Has(1) && IsDigit(At(1))) ||
         ((At(1) == '+' || At(1) == '-') && Has(2) && IsDigit(At(2))))) {
      integer = false;
      pos_ += 2;
      while (!AtEnd() && IsDigit(At(0))) ++pos_;
    }
    t.numText = s_.substr(start, pos_ - start);
    t.isInteger = integer;
    std::string num(t.numText);
    t.number = std::strtod(num.c_str(), nullptr);
    if (StartsIdent(0)) {
      t.type = TokenType::Dimension;
      t.unit = ConsumeName();
    } else if (At(0) == '%' && Has(0)) {
      ++pos_;
      t.type = TokenType::Percentage;
    } else {
      t.type = TokenType::Number;
    }
  }

  void ConsumeIdentLike(Token& t) {
    std::string_view name = ConsumeName();
    t.value = name;
    if (At(0) == '(' && Has(0)) {
      ++pos_;
      if (EqualsIgnoreCase(name, "url")) {
        std::size_t save = pos_;
        while (!AtEnd() && IsSpace(At(0))) ++pos_;
        if (!AtEnd() && (At(0) == '"' || At(0) == '\'')) {
          pos_ = save;
          t.type = TokenType::Function;
          return;
        }
        ConsumeUrl(t);
        return;
      }
      t.type = TokenType::Function;
      return;
    }
    t.type = TokenType::Ident;
  }

  void ConsumeUrl(Token& t) {
    t.type = TokenType::Url;
    std::string out;
    while (!AtEnd()) {
      unsigned char c = At(0);
      if (c == ')') {
        ++pos_;
        break;
      }
      if (IsSpace(c)) {
        while (!AtEnd() && IsSpace(At(0))) ++pos_;
        if (AtEnd()) break;
        if (At(0) == ')') {
          ++pos_;
          break;
        }
        BadUrl(t);
        return;
      }
      if (c == '"' || c == '\'' || c == '(' || IsNonPrintable(c)) {
        BadUrl(t);
        return;
      }
      if (c == '\\') {
        if (ValidEscape(0)) {
          ConsumeEscape(out);
          continue;
        }
        BadUrl(t);
        return;
      }
      out += static_cast<char>(c);
      ++pos_;
    }
    arena_.push_back(std::move(out));
    t.value = arena_.back();
  }

  void BadUrl(Token& t) {
    t.type = TokenType::BadUrl;
    while (!AtEnd()) {
      if (At(0) == ')') {
        ++pos_;
        return;
      }
      if (ValidEscape(0)) {
        pos_ += 2;
        continue;
      }
      ++pos_;
    }
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  std::deque<std::string>& arena_;
};

}  // namespace

std::vector<Token> Tokenizer::Tokenize(std::string_view css) {
  std::vector<Token> out;
  out.reserve(css.size() / 4 + 4);
  Lexer lexer(css, arena_);
  while (out.size() < kMaxTokens) {
    // Skip a trailing comment run before checking the end, so "a/**/" gives one token.
    Token t = lexer.Next();
    if (t.raw.empty()) break;
    out.push_back(t);
  }
  return out;
}

struct TokenStream::Impl {
  explicit Impl(std::string_view css) : lexer(css, arena) {}
  std::deque<std::string> arena;
  Lexer lexer;
  std::size_t given = 0;
};

TokenStream::TokenStream(std::string_view css) : impl_(std::make_unique<Impl>(css)) {}
TokenStream::~TokenStream() = default;

bool TokenStream::Next(Token& token) {
  if (impl_->given >= Tokenizer::kMaxTokens) return false;
  token = impl_->lexer.Next();
  if (token.raw.empty()) return false;
  ++impl_->given;
  return true;
}

}  // namespace platform::mshtml::css
