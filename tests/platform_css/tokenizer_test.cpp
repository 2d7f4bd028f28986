// Token kinds and values for the syntax corners the parser relies on.
#include "platform/mshtml/css/tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::mshtml::css::Token;
using platform::mshtml::css::Tokenizer;
using platform::mshtml::css::TokenType;

// One letter per token kind, values in brackets: "I[a] S D[.]".
std::string Describe(const std::vector<Token>& tokens) {
  std::string out;
  for (const Token& t : tokens) {
    if (!out.empty()) out += ' ';
    switch (t.type) {
      case TokenType::Ident:
        out += "I[" + std::string(t.value) + "]";
        break;
      case TokenType::Function:
        out += "F[" + std::string(t.value) + "]";
        break;
      case TokenType::AtKeyword:
        out += "@[" + std::string(t.value) + "]";
        break;
      case TokenType::Hash:
        out += std::string(t.hashIsId ? "#id[" : "#[") + std::string(t.value) + "]";
        break;
      case TokenType::String:
        out += "S[" + std::string(t.value) + "]";
        break;
      case TokenType::BadString:
        out += "BS";
        break;
      case TokenType::Url:
        out += "U[" + std::string(t.value) + "]";
        break;
      case TokenType::BadUrl:
        out += "BU";
        break;
      case TokenType::Delim:
        out += "D[" + std::string(t.value) + "]";
        break;
      case TokenType::Number:
        out += "N[" + std::string(t.numText) + "]";
        break;
      case TokenType::Percentage:
        out += "P[" + std::string(t.numText) + "]";
        break;
      case TokenType::Dimension:
        out += "X[" + std::string(t.numText) + "," + std::string(t.unit) + "]";
        break;
      case TokenType::Whitespace:
        out += "_";
        break;
      case TokenType::Cdo:
        out += "<!--";
        break;
      case TokenType::Cdc:
        out += "-->";
        break;
      case TokenType::Colon:
        out += ":";
        break;
      case TokenType::Semicolon:
        out += ";";
        break;
      case TokenType::Comma:
        out += ",";
        break;
      case TokenType::LeftBracket:
        out += "[";
        break;
      case TokenType::RightBracket:
        out += "]";
        break;
      case TokenType::LeftParen:
        out += "(";
        break;
      case TokenType::RightParen:
        out += ")";
        break;
      case TokenType::LeftBrace:
        out += "{";
        break;
      case TokenType::RightBrace:
        out += "}";
        break;
    }
  }
  return out;
}

std::string Describe(std::string_view css) {
  Tokenizer tk;
  return Describe(tk.Tokenize(css));
}

// The same tokens one at a time, as a sheet is read.
std::string DescribeStream(std::string_view css) {
  platform::mshtml::css::TokenStream stream(css);
  std::vector<Token> tokens;
  Token t;
  while (stream.Next(t)) tokens.push_back(t);
  return Describe(tokens);
}

TEST(Tokenizer, Kinds) {
  const std::pair<const char*, const char*> cases[] = {
      {"a-b _c -d --e", "I[a-b] _ I[_c] _ I[-d] _ I[--e]"},
      {"12px 1.5em -.5 +3 1e3 10%", "X[12,px] _ X[1.5,em] _ N[-.5] _ N[+3] _ N[1e3] _ P[10]"},
      {"2n+1 -n", "X[2,n] N[+1] _ I[-n]"},
      {"#abc #1x", "#id[abc] _ #[1x]"},
      {"'a\\'b' \"c", "S[a'b] _ S[c]"},
      {"'a\nb'", "BS _ I[b] S[]"},
      {"url( x.png ) url('y') url(a b)", "U[x.png] _ F[url] S[y] ) _ BU"},
      {"\\72 ed r\\e9sum\\E9", "I[red] _ I[r\xC3\xA9sum\xC3\xA9]"},
      {"a/**/b /* open", "I[a] I[b] _"},
      {"<!-- --> < -", "<!-- _ --> _ D[<] _ D[-]"},
      {"@media{}", "@[media] { }"},
      {"rgb(1,2)", "F[rgb] N[1] , N[2] )"},
      {"\\", "D[\\]"},
  };
  for (const auto& [in, out] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(Describe(in), out);
    EXPECT_EQ(DescribeStream(in), out);
  }
}

}  // namespace
