// CSS tokenizer (the syntax's token kinds, error recovery by construction: every byte sequence
// yields tokens). Tokens view the source or a string owned by the tokenizer (unescaped text).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::mshtml::css {

enum class TokenType : std::uint8_t {
  Ident,
  Function,  // value is the name, without "("
  AtKeyword,
  Hash,
  String,
  BadString,
  Url,
  BadUrl,
  Delim,
  Number,
  Percentage,
  Dimension,
  Whitespace,
  Cdo,
  Cdc,
  Colon,
  Semicolon,
  Comma,
  LeftBracket,
  RightBracket,
  LeftParen,
  RightParen,
  LeftBrace,
  RightBrace,
};

struct Token {
  TokenType type = TokenType::Delim;
  bool hashIsId = false;     // Hash: the text after "#" would start an identifier
  bool isInteger = false;    // Number, Percentage, Dimension
  std::string_view value;    // unescaped: ident, function name, hash, string, url, delim char
  std::string_view unit;     // Dimension: unescaped unit
  std::string_view numText;  // Number, Percentage, Dimension: the number as written
  std::string_view raw;      // the source text of the token
  double number = 0;
};

// Tokenizes css into tokens. Unescaped strings live in the tokenizer, so it must outlive them.
class Tokenizer {
 public:
  // Limits the token count; the rest of the input is dropped (a sheet's size is capped anyway).
  static constexpr std::size_t kMaxTokens = std::size_t{1} << 22;

  std::vector<Token> Tokenize(std::string_view css);

 private:
  std::deque<std::string> arena_;
};

// The same tokens one at a time, for a reader that keeps only a few at once. Unescaped
// strings live in the stream, so it must outlive the tokens.
class TokenStream {
 public:
  explicit TokenStream(std::string_view css);
  ~TokenStream();
  TokenStream(const TokenStream&) = delete;
  TokenStream& operator=(const TokenStream&) = delete;
  // False at the end, or once Tokenizer::kMaxTokens have been given.
  bool Next(Token& token);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// ASCII lower case, for identifiers compared case-insensitively.
std::string Lower(std::string_view s);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace platform::mshtml::css
