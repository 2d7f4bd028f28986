#include "platform/mshtml/css/stylesheet.h"

#include <memory>

#include "platform/display/screen.h"

namespace platform::mshtml::css {

namespace {

constexpr int kMaxBlockNesting = 16;

bool IsOpener(TokenType k) {
  return k == TokenType::Function || k == TokenType::LeftParen || k == TokenType::LeftBracket ||
         k == TokenType::LeftBrace;
}
TokenType CloserOf(TokenType k) {
  switch (k) {
    case TokenType::LeftBracket:
      return TokenType::RightBracket;
    case TokenType::LeftBrace:
      return TokenType::RightBrace;
    default:
      return TokenType::RightParen;
  }
}

// From an opener, the position of its closer (or end). Iterative, so nesting costs no stack.
const Token* BlockEnd(const Token* t, const Token* end) {
  std::vector<TokenType> want{CloserOf(t->type)};
  for (++t; t < end; ++t) {
    if (IsOpener(t->type)) {
      want.push_back(CloserOf(t->type));
    } else if (t->type == want.back()) {
      want.pop_back();
      if (want.empty()) return t;
    }
  }
  return end;
}

// The first token at nesting depth 0 that is one of the stops, or end.
const Token* Until(const Token* t, const Token* end, TokenType stop1, TokenType stop2) {
  while (t < end && t->type != stop1 && t->type != stop2) {
    if (IsOpener(t->type)) {
      t = BlockEnd(t, end);
      if (t < end) ++t;
    } else {
      ++t;
    }
  }
  return t;
}

const Token* SkipSpace(const Token* t, const Token* end) {
  while (t < end && t->type == TokenType::Whitespace) ++t;
  return t;
}

double LengthInPx(const Token& t) {
  if (t.type == TokenType::Number) return t.number;
  if (t.type != TokenType::Dimension) return -1;
  std::string u = Lower(t.unit);
  if (u == "px") return t.number;
  if (u == "em" || u == "rem") return t.number * 16;
  if (u == "pt") return t.number * 96 / 72;
  if (u == "pc") return t.number * 16;
  if (u == "in") return t.number * 96;
  if (u == "cm") return t.number * 96 / 2.54;
  if (u == "mm") return t.number * 96 / 25.4;
  if (u == "dpi") return t.number;
  if (u == "dppx" || u == "x") return t.number * 96;
  return -1;
}

// One media feature in parentheses: (name), (name: value), (name op value).
bool FeatureApplies(const Token* begin, const Token* end) {
  std::vector<const Token*> ts;
  for (const Token* t = begin; t < end; ++t) {
    if (t->type != TokenType::Whitespace) ts.push_back(t);
  }
  if (ts.empty() || ts[0]->type != TokenType::Ident) return false;
  std::string name = Lower(ts[0]->value);
  std::string prefix;
  if (name.rfind("min-", 0) == 0 || name.rfind("max-", 0) == 0) {
    prefix = name.substr(0, 3);
    name = name.substr(4);
  }
  if (name.rfind("-webkit-", 0) == 0) name = name.substr(8);
  if (name.rfind("min-", 0) == 0 || name.rfind("max-", 0) == 0) {
    prefix = name.substr(0, 3);
    name = name.substr(4);
  }
  double actual;
  bool numeric = true;
  std::string keyword;
  if (name == "width" || name == "device-width") {
    actual = display::kScreen.width;
  } else if (name == "height" || name == "device-height") {
    actual = display::kScreen.height;
  } else if (name == "color") {
    actual = 8;
  } else if (name == "monochrome" || name == "grid") {
    actual = 0;
  } else if (name == "resolution") {
    actual = 96;
  } else if (name == "device-pixel-ratio") {
    actual = 1;
  } else if (name == "orientation") {
    numeric = false, keyword = "landscape", actual = 0;
  } else if (name == "prefers-color-scheme") {
    numeric = false, keyword = "light", actual = 0;
  } else if (name == "prefers-reduced-motion" || name == "prefers-contrast") {
    numeric = false, keyword = "no-preference", actual = 0;
  } else if (name == "hover" || name == "any-hover") {
    numeric = false, keyword = "hover", actual = 0;
  } else if (name == "pointer" || name == "any-pointer") {
    numeric = false, keyword = "fine", actual = 0;
  } else if (name == "scan") {
    numeric = false, keyword = "progressive", actual = 0;
  } else {
    return false;
  }
  if (ts.size() == 1) return prefix.empty() && (numeric ? actual != 0 : true);
  if (ts.size() < 3) return false;
  std::string op;
  std::size_t v = 2;
  if (ts[1]->type == TokenType::Colon) {
    op = prefix == "min" ? ">=" : prefix == "max" ? "<=" : "=";
  } else {
    if (!prefix.empty() || ts[1]->type != TokenType::Delim) return false;
    op = std::string(ts[1]->value);
    if (ts.size() > 3 && ts[2]->type == TokenType::Delim && ts[2]->value == "=") {
      op += "=";
      v = 3;
    }
  }
  if (v + 1 != ts.size()) return false;
  const Token& value = *ts[v];
  if (!numeric) {
    return op == "=" && value.type == TokenType::Ident && EqualsIgnoreCase(value.value, keyword);
  }
  double want =
      name == "color" || name == "monochrome" || name == "grid" || name == "device-pixel-ratio"
          ? (value.type == TokenType::Number ? value.number : -1)
          : LengthInPx(value);
  if (want < 0) return false;
  if (op == ">=") return actual >= want;
  if (op == "<=") return actual <= want;
  if (op == ">") return actual > want;
  if (op == "<") return actual < want;
  if (op == "=") return actual == want;
  return false;
}

bool QueryApplies(const Token* begin, const Token* end) {
  const Token* t = SkipSpace(begin, end);
  if (t == end) return false;
  bool negate = false;
  if (t->type == TokenType::Ident && EqualsIgnoreCase(t->value, "not")) {
    negate = true;
    t = SkipSpace(t + 1, end);
  } else if (t->type == TokenType::Ident && EqualsIgnoreCase(t->value, "only")) {
    t = SkipSpace(t + 1, end);
  }
  bool result = true;
  bool expectAnd = false;
  if (t < end && t->type == TokenType::Ident) {
    std::string type = Lower(t->value);
    result = type == "all" || type == "screen";
    if (type == "and" || type == "or" || type == "not" || type == "only") return false;
    t = SkipSpace(t + 1, end);
    expectAnd = true;
  }
  while (t < end) {
    if (expectAnd) {
      if (t->type != TokenType::Ident || !EqualsIgnoreCase(t->value, "and")) return false;
      t = SkipSpace(t + 1, end);
    }
    if (t == end || t->type != TokenType::LeftParen) return false;
    const Token* close = BlockEnd(t, end);
    if (close == end) return false;
    if (!FeatureApplies(t + 1, close)) result = false;
    t = SkipSpace(close + 1, end);
    expectAnd = true;
  }
  if (!expectAnd) return false;  // nothing in the query
  return negate ? !result : result;
}

bool MediaListApplies(const Token* begin, const Token* end) {
  if (SkipSpace(begin, end) == end) return true;
  const Token* t = begin;
  while (t < end) {
    const Token* comma = Until(t, end, TokenType::Comma, TokenType::Comma);
    if (QueryApplies(t, comma)) return true;
    t = comma < end ? comma + 1 : end;
  }
  return false;
}

void ParseDeclarationList(const Token* t, const Token* end, std::vector<Declaration>& out) {
  while (t < end) {
    if (t->type == TokenType::Whitespace || t->type == TokenType::Semicolon) {
      ++t;
      continue;
    }
    const Token* stop = Until(t, end, TokenType::Semicolon, TokenType::Semicolon);
    if (t->type == TokenType::Ident) {
      std::string_view name = t->value;
      const Token* v = SkipSpace(t + 1, stop);
      if (v < stop && v->type == TokenType::Colon) {
        ++v;
        const Token* valueEnd = stop;
        while (valueEnd > v && (valueEnd - 1)->type == TokenType::Whitespace) --valueEnd;
        bool important = false;
        if (valueEnd > v && (valueEnd - 1)->type == TokenType::Ident &&
            EqualsIgnoreCase((valueEnd - 1)->value, "important")) {
          const Token* bang = valueEnd - 2;
          while (bang >= v && bang->type == TokenType::Whitespace) --bang;
          if (bang >= v && bang->type == TokenType::Delim && bang->value == "!") {
            important = true;
            valueEnd = bang;
          }
        }
        bool custom = name.size() > 2 && name[0] == '-' && name[1] == '-';
        PropId id = custom ? PropId::Custom : LookupProperty(Lower(name));
        AddDeclaration(id, name, v, valueEnd, important, out);
      }
    }
    t = stop;
  }
}

}  // namespace

class SheetParser {
 public:
  explicit SheetParser(ParsedStyleSheet& sheet) : sheet_(sheet) {}

  void RuleList(const Token* t, const Token* end, bool topLevel, int depth) {
    while (t < end && sheet_.rules_.size() < ParsedStyleSheet::kMaxRules) {
      TokenType k = t->type;
      if (k == TokenType::Whitespace ||
          (topLevel && (k == TokenType::Cdo || k == TokenType::Cdc))) {
        ++t;
        continue;
      }
      if (k == TokenType::AtKeyword) {
        t = AtRule(t, end, depth);
        continue;
      }
      // A qualified rule: prelude up to "{", then the block.
      const Token* open = Until(t, end, TokenType::LeftBrace, TokenType::LeftBrace);
      if (open == end) return;  // a rule without a block is dropped
      const Token* close = BlockEnd(open, end);
      StyleRule rule;
      if (ParseSelectorList(t, open, rule.selectors)) {
        ParseDeclarationList(open + 1, close, rule.declarations);
        if (!rule.declarations.empty()) sheet_.rules_.push_back(std::move(rule));
      }
      seenRule_ = true;
      t = close < end ? close + 1 : end;
    }
  }

 private:
  const Token* AtRule(const Token* t, const Token* end, int depth) {
    std::string name = Lower(t->value);
    const Token* preludeBegin = t + 1;
    const Token* stop = Until(preludeBegin, end, TokenType::Semicolon, TokenType::LeftBrace);
    if (stop == end || stop->type == TokenType::Semicolon) {
      if (name == "import" && !seenRule_) Import(preludeBegin, stop);
      if (name != "charset" && name != "import" && name != "layer" && name != "namespace") {
        seenRule_ = true;
      }
      return stop < end ? stop + 1 : end;
    }
    const Token* close = BlockEnd(stop, end);
    seenRule_ = true;
    if (depth < kMaxBlockNesting) {
      if (name == "media") {
        if (MediaListApplies(preludeBegin, stop)) RuleList(stop + 1, close, false, depth + 1);
      } else if (name == "layer") {
        // Layer order is not modelled; the rules count as unlayered.
        RuleList(stop + 1, close, false, depth + 1);
      }
    }
    return close < end ? close + 1 : end;
  }

  void Import(const Token* t, const Token* end) {
    t = SkipSpace(t, end);
    if (t == end) return;
    std::string url;
    if (t->type == TokenType::String || t->type == TokenType::Url) {
      url = std::string(t->value);
      ++t;
    } else if (t->type == TokenType::Function && EqualsIgnoreCase(t->value, "url")) {
      const Token* close = BlockEnd(t, end);
      const Token* arg = SkipSpace(t + 1, close);
      if (arg == close || arg->type != TokenType::String) return;
      url = std::string(arg->value);
      t = close < end ? close + 1 : end;
    } else {
      return;
    }
    // layer(...) and supports(...) conditions before the media list.
    t = SkipSpace(t, end);
    while (t < end && (t->type == TokenType::Function ||
                       (t->type == TokenType::Ident && EqualsIgnoreCase(t->value, "layer")))) {
      if (t->type == TokenType::Function) {
        if (EqualsIgnoreCase(t->value, "supports")) return;  // conditions are not evaluated
        const Token* close = BlockEnd(t, end);
        t = close < end ? close + 1 : end;
      } else {
        ++t;
      }
      t = SkipSpace(t, end);
    }
    if (MediaListApplies(t, end)) sheet_.imports_.push_back(std::move(url));
  }

  ParsedStyleSheet& sheet_;
  bool seenRule_ = false;
};

namespace {

// Where a rule of the top level ends, told token by token as RuleList would find it: an
// at-rule at its ";" or the end of its block, a qualified rule at the end of its block, with
// the nesting of blocks and parentheses counted the same way.
class TopLevelItem {
 public:
  // Whether t ends the item it belongs to (white space and <!-- --> between items end none).
  bool Ends(const Token& t) {
    if (state_ == State::Between) {
      if (t.type == TokenType::Whitespace || t.type == TokenType::Cdo || t.type == TokenType::Cdc) {
        return false;
      }
      if (t.type == TokenType::AtKeyword) {
        state_ = State::AtPrelude;
        return false;
      }
      state_ = State::Prelude;
    }
    if (want_.empty()) {
      if (state_ == State::AtPrelude && t.type == TokenType::Semicolon) return Done();
      if (state_ != State::Block && t.type == TokenType::LeftBrace) {
        state_ = State::Block;
        want_.push_back(TokenType::RightBrace);
        return false;
      }
      if (IsOpener(t.type)) want_.push_back(CloserOf(t.type));
      return false;
    }
    if (IsOpener(t.type)) {
      want_.push_back(CloserOf(t.type));
    } else if (t.type == want_.back()) {
      want_.pop_back();
      if (want_.empty() && state_ == State::Block) return Done();
    }
    return false;
  }

 private:
  enum class State : std::uint8_t { Between, AtPrelude, Prelude, Block };
  bool Done() {
    state_ = State::Between;
    return true;
  }
  State state_ = State::Between;
  std::vector<TokenType> want_;
};

}  // namespace

// The sheet is read one rule of the top level at a time, so only that rule's tokens are held:
// a sheet of many rules costs the rules, not every token of it at once.
ParsedStyleSheet::ParsedStyleSheet(std::string_view css) {
  if (css.size() > kMaxBytes) css = css.substr(0, kMaxBytes);
  TokenStream stream(css);
  SheetParser parser(*this);
  TopLevelItem item;
  std::vector<Token> tokens;
  Token t;
  while (stream.Next(t)) {
    tokens.push_back(t);
    if (item.Ends(t)) {
      parser.RuleList(tokens.data(), tokens.data() + tokens.size(), true, 0);
      tokens.clear();
    }
  }
  if (!tokens.empty()) parser.RuleList(tokens.data(), tokens.data() + tokens.size(), true, 0);
}

std::shared_ptr<const StyleSheet> StyleSheet::Parse(std::string_view css) {
  return std::make_shared<const ParsedStyleSheet>(css);
}

std::vector<Declaration> ParseStyleAttribute(std::string_view text) {
  if (text.size() > ParsedStyleSheet::kMaxBytes) text = text.substr(0, ParsedStyleSheet::kMaxBytes);
  Tokenizer tokenizer;
  std::vector<Token> tokens = tokenizer.Tokenize(text);
  std::vector<Declaration> out;
  ParseDeclarationList(tokens.data(), tokens.data() + tokens.size(), out);
  return out;
}

bool MediaApplies(std::string_view mediaList) {
  Tokenizer tokenizer;
  std::vector<Token> tokens = tokenizer.Tokenize(mediaList);
  return MediaListApplies(tokens.data(), tokens.data() + tokens.size());
}

}  // namespace platform::mshtml::css
