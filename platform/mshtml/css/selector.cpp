#include "platform/mshtml/css/selector.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace platform::mshtml::css {

std::uint32_t KeyHash(HashKind kind, std::string_view s) {
  std::uint32_t h = 2166136261u ^ static_cast<std::uint32_t>(kind);
  for (char c : s) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return h | 1u;  // never 0, which marks an unused slot
}

namespace {

constexpr std::size_t kMaxSimples = 64;
constexpr int kMaxNesting = 3;

// Attributes whose values HTML compares without regard to case.
constexpr std::string_view kCaseInsensitiveAttributes[] = {
    "accept",     "accept-charset", "align",     "alink",    "axis",     "bgcolor", "charset",
    "checked",    "clear",          "codetype",  "color",    "compact",  "declare", "defer",
    "dir",        "direction",      "disabled",  "enctype",  "face",     "frame",   "hreflang",
    "http-equiv", "lang",           "language",  "link",     "media",    "method",  "multiple",
    "nohref",     "noresize",       "noshade",   "nowrap",   "readonly", "rel",     "rev",
    "rules",      "scope",          "scrolling", "selected", "shape",    "target",  "text",
    "type",       "valign",         "valuetype", "vlink"};

constexpr std::string_view kNeverPseudoClasses[] = {"visited",
                                                    "hover",
                                                    "active",
                                                    "focus",
                                                    "focus-within",
                                                    "focus-visible",
                                                    "target",
                                                    "target-within",
                                                    "checked",
                                                    "disabled",
                                                    "enabled",
                                                    "indeterminate",
                                                    "default",
                                                    "required",
                                                    "optional",
                                                    "valid",
                                                    "invalid",
                                                    "in-range",
                                                    "out-of-range",
                                                    "read-only",
                                                    "read-write",
                                                    "placeholder-shown",
                                                    "autofill",
                                                    "-webkit-autofill",
                                                    "playing",
                                                    "paused",
                                                    "fullscreen",
                                                    "modal",
                                                    "empty",
                                                    "blank",
                                                    "user-invalid",
                                                    "user-valid",
                                                    "local-link",
                                                    "current",
                                                    "past",
                                                    "future",
                                                    "open",
                                                    "closed",
                                                    "popover-open",
                                                    "scope",
                                                    "-moz-focusring",
                                                    "-moz-any-link",
                                                    "before",
                                                    "after",
                                                    "first-line",
                                                    "first-letter",
                                                    "selection",
                                                    "-moz-selection",
                                                    "-webkit-full-screen",
                                                    "-moz-full-screen",
                                                    "-ms-fullscreen",
                                                    "-ms-input-placeholder",
                                                    "-moz-placeholder",
                                                    "-moz-ui-invalid"};

constexpr std::string_view kNeverFunctions[] = {"has",   "host",    "host-context", "dir",
                                                "state", "nth-col", "nth-last-col"};

bool IsCaseInsensitiveAttribute(std::string_view lowerName) {
  return std::find(std::begin(kCaseInsensitiveAttributes), std::end(kCaseInsensitiveAttributes),
                   lowerName) != std::end(kCaseInsensitiveAttributes);
}

struct Specificity {
  std::uint32_t a = 0, b = 0, c = 0;
  std::uint32_t Packed() const {
    return (std::min(a, 255u) << 16) | (std::min(b, 255u) << 8) | std::min(c, 255u);
  }
  bool operator<(const Specificity& o) const { return Packed() < o.Packed(); }
};

// Parses "an+b" written without white space; false for anything else (including "of S").
bool ParseNth(std::string s, int& a, int& b) {
  s = Lower(s);
  if (s == "odd") {
    a = 2, b = 1;
    return true;
  }
  if (s == "even") {
    a = 2, b = 0;
    return true;
  }
  if (s.empty() || s.size() > 24) return false;
  auto digits = [](std::string_view v) {
    return !v.empty() &&
           std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  auto toInt = [](std::string_view v) {
    long x = std::strtol(std::string(v).c_str(), nullptr, 10);
    return static_cast<int>(std::clamp(x, -1000000L, 1000000L));
  };
  std::size_t n = s.find('n');
  if (n == std::string::npos) {
    std::string_view v = s;
    bool neg = false;
    if (v[0] == '+' || v[0] == '-') neg = v[0] == '-', v.remove_prefix(1);
    if (!digits(v)) return false;
    a = 0;
    b = neg ? -toInt(v) : toInt(v);
    return true;
  }
  std::string_view coef = std::string_view(s).substr(0, n);
  std::string_view rest = std::string_view(s).substr(n + 1);
  if (coef.empty() || coef == "+") {
    a = 1;
  } else if (coef == "-") {
    a = -1;
  } else {
    bool neg = false;
    if (coef[0] == '+' || coef[0] == '-') neg = coef[0] == '-', coef.remove_prefix(1);
    if (!digits(coef)) return false;
    a = neg ? -toInt(coef) : toInt(coef);
  }
  if (rest.empty()) {
    b = 0;
    return true;
  }
  if (rest[0] != '+' && rest[0] != '-') return false;
  bool neg = rest[0] == '-';
  rest.remove_prefix(1);
  if (!digits(rest)) return false;
  b = neg ? -toInt(rest) : toInt(rest);
  return true;
}

class SelectorParser {
 public:
  SelectorParser(const Token* begin, const Token* end, int nesting)
      : t_(begin), end_(end), nesting_(nesting) {}

  bool ParseList(std::vector<ComplexSelector>& out) {
    for (;;) {
      ComplexSelector s;
      if (!ParseComplex(s)) return false;
      out.push_back(std::move(s));
      SkipSpace();
      if (t_ == end_) return true;
      if (t_->type != TokenType::Comma) return false;
      ++t_;
    }
  }

  // A list of compound selectors, for :not() and :is().
  bool ParseCompoundList(std::vector<Compound>& out, Specificity& maxSpec, bool& neverAll) {
    neverAll = true;
    for (;;) {
      SkipSpace();
      Compound c;
      Specificity spec;
      bool never = false;
      if (!ParseCompound(c, spec, never)) return false;
      if (!never) neverAll = false;
      maxSpec = std::max(maxSpec, spec);
      out.push_back(std::move(c));
      SkipSpace();
      if (t_ == end_) return true;
      if (t_->type != TokenType::Comma) return false;
      ++t_;
    }
  }

 private:
  void SkipSpace() {
    while (t_ != end_ && t_->type == TokenType::Whitespace) ++t_;
  }
  bool IsDelim(char c) const {
    return t_ != end_ && t_->type == TokenType::Delim && t_->value.size() == 1 && t_->value[0] == c;
  }

  bool ParseComplex(ComplexSelector& s) {
    SkipSpace();
    Specificity total;
    for (;;) {
      Compound c;
      Specificity spec;
      bool never = false;
      if (!ParseCompound(c, spec, never)) return false;
      if (never) s.neverMatches = true;
      total.a += spec.a, total.b += spec.b, total.c += spec.c;
      s.compounds.push_back(std::move(c));
      if (s.compounds.size() > kMaxCompounds) return false;
      bool space = t_ != end_ && t_->type == TokenType::Whitespace;
      SkipSpace();
      if (t_ == end_ || t_->type == TokenType::Comma) break;
      Combinator comb = Combinator::Descendant;
      if (IsDelim('>')) {
        comb = Combinator::Child;
      } else if (IsDelim('+')) {
        comb = Combinator::NextSibling;
      } else if (IsDelim('~')) {
        comb = Combinator::SubsequentSibling;
      } else if (!space) {
        return false;
      }
      if (comb != Combinator::Descendant) {
        ++t_;
        SkipSpace();
      }
      s.combinators.push_back(comb);
    }
    std::reverse(s.compounds.begin(), s.compounds.end());
    std::reverse(s.combinators.begin(), s.combinators.end());
    s.specificity = total.Packed();
    // Keys the ancestors must carry: compounds reached through a descendant or child
    // combinator are ancestors of the subject.
    std::size_t k = 0;
    for (std::size_t i = 1; i < s.compounds.size() && k < s.ancestorHashes.size(); ++i) {
      Combinator rel = s.combinators[i - 1];
      if (rel != Combinator::Descendant && rel != Combinator::Child) continue;
      const Compound& c = s.compounds[i];
      for (const SimpleSelector& simple : c.simples) {
        if (k >= s.ancestorHashes.size()) break;
        if (simple.kind == SimpleKind::Id) {
          s.ancestorHashes[k++] = KeyHash(HashKind::Id, simple.value);
        } else if (simple.kind == SimpleKind::Class) {
          s.ancestorHashes[k++] = KeyHash(HashKind::Class, simple.value);
        }
      }
      if (!c.tag.empty() && k < s.ancestorHashes.size()) {
        s.ancestorHashes[k++] = KeyHash(HashKind::Tag, c.tag);
      }
    }
    return true;
  }

  bool ParseCompound(Compound& c, Specificity& spec, bool& never) {
    bool any = false;
    // Type selector, with an optional namespace prefix that is ignored ("*|p", "|p").
    if (t_ != end_ && (t_->type == TokenType::Ident || IsDelim('*'))) {
      const Token* save = t_;
      bool star = IsDelim('*');
      std::string name = star ? "" : Lower(t_->value);
      ++t_;
      if (IsDelim('|')) {
        if (!star) return false;  // named namespaces are never declared for HTML here
        ++t_;
        if (t_ != end_ && t_->type == TokenType::Ident) {
          name = Lower(t_->value);
          star = false;
        } else if (IsDelim('*')) {
          star = true;
        } else {
          t_ = save;
          return false;
        }
        ++t_;
      }
      c.tag = name;
      if (!star) ++spec.c;
      any = true;
    } else if (IsDelim('|')) {
      ++t_;
      if (t_ == end_ || t_->type != TokenType::Ident) return false;
      c.tag = Lower(t_->value);
      ++spec.c;
      ++t_;
      any = true;
    }
    while (t_ != end_) {
      if (c.simples.size() >= kMaxSimples) return false;
      if (t_->type == TokenType::Hash) {
        if (!t_->hashIsId) return false;
        SimpleSelector s;
        s.kind = SimpleKind::Id;
        s.value = std::string(t_->value);
        c.simples.push_back(std::move(s));
        ++spec.a;
        ++t_;
      } else if (IsDelim('.')) {
        ++t_;
        if (t_ == end_ || t_->type != TokenType::Ident) return false;
        SimpleSelector s;
        s.kind = SimpleKind::Class;
        s.value = std::string(t_->value);
        c.simples.push_back(std::move(s));
        ++spec.b;
        ++t_;
      } else if (t_->type == TokenType::LeftBracket) {
        SimpleSelector s;
        if (!ParseAttribute(s)) return false;
        c.simples.push_back(std::move(s));
        ++spec.b;
      } else if (t_->type == TokenType::Colon) {
        ++t_;
        if (t_ != end_ && t_->type == TokenType::Colon) {
          // A pseudo-element: valid, never matches an element.
          ++t_;
          if (t_ == end_) return false;
          if (t_->type == TokenType::Function) {
            if (!SkipFunction()) return false;
          } else if (t_->type == TokenType::Ident) {
            ++t_;
          } else {
            return false;
          }
          ++spec.c;
          never = true;
          c.simples.push_back(SimpleSelector{});
        } else {
          SimpleSelector s;
          if (!ParsePseudoClass(s, spec, never)) return false;
          c.simples.push_back(std::move(s));
        }
      } else {
        break;
      }
      any = true;
    }
    return any;
  }

  bool ParseAttribute(SimpleSelector& s) {
    ++t_;  // [
    SkipSpace();
    if (IsDelim('*') || IsDelim('|')) {
      // Namespace prefix "*|name" or "|name".
      if (IsDelim('*')) ++t_;
      if (!IsDelim('|')) return false;
      ++t_;
    }
    if (t_ == end_ || t_->type != TokenType::Ident) return false;
    s.kind = SimpleKind::Attribute;
    s.name = Lower(t_->value);
    ++t_;
    SkipSpace();
    if (t_ == end_) return false;
    if (t_->type == TokenType::RightBracket) {
      ++t_;
      s.op = AttrOp::Exists;
      return true;
    }
    if (IsDelim('=')) {
      s.op = AttrOp::Equals;
      ++t_;
    } else {
      if (t_->type != TokenType::Delim || t_->value.size() != 1) return false;
      switch (t_->value[0]) {
        case '~':
          s.op = AttrOp::Includes;
          break;
        case '|':
          s.op = AttrOp::DashMatch;
          break;
        case '^':
          s.op = AttrOp::Prefix;
          break;
        case '$':
          s.op = AttrOp::Suffix;
          break;
        case '*':
          s.op = AttrOp::Substring;
          break;
        default:
          return false;
      }
      ++t_;
      if (!IsDelim('=')) return false;
      ++t_;
    }
    SkipSpace();
    if (t_ == end_ || (t_->type != TokenType::Ident && t_->type != TokenType::String)) return false;
    s.value = std::string(t_->value);
    ++t_;
    SkipSpace();
    s.ignoreCase = IsCaseInsensitiveAttribute(s.name);
    if (t_ != end_ && t_->type == TokenType::Ident) {
      if (EqualsIgnoreCase(t_->value, "i")) {
        s.ignoreCase = true;
      } else if (EqualsIgnoreCase(t_->value, "s")) {
        s.ignoreCase = false;
      } else {
        return false;
      }
      ++t_;
      SkipSpace();
    }
    if (t_ == end_ || t_->type != TokenType::RightBracket) return false;
    ++t_;
    if (s.ignoreCase) s.value = Lower(s.value);
    return true;
  }

  // The tokens of a function's arguments; t_ ends after its ")".
  bool FunctionArgs(const Token*& argBegin, const Token*& argEnd) {
    ++t_;  // function token
    argBegin = t_;
    int depth = 1;
    for (; t_ != end_; ++t_) {
      TokenType k = t_->type;
      if (k == TokenType::Function || k == TokenType::LeftParen) {
        ++depth;
      } else if (k == TokenType::RightParen && --depth == 0) {
        argEnd = t_;
        ++t_;
        return true;
      }
    }
    return false;
  }
  bool SkipFunction() {
    const Token *b, *e;
    return FunctionArgs(b, e);
  }

  bool ParsePseudoClass(SimpleSelector& s, Specificity& spec, bool& never) {
    if (t_ == end_) return false;
    if (t_->type == TokenType::Ident) {
      std::string name = Lower(t_->value);
      ++t_;
      ++spec.b;
      s.kind = SimpleKind::NthChild;
      if (name == "first-child" || name == "first-of-type") {
        s.a = 0, s.b = 1;
        s.ofType = name == "first-of-type";
      } else if (name == "last-child" || name == "last-of-type") {
        s.a = 0, s.b = 1, s.fromEnd = true;
        s.ofType = name == "last-of-type";
      } else if (name == "only-child" || name == "only-of-type") {
        s.only = true;
        s.ofType = name == "only-of-type";
      } else if (name == "root") {
        s.kind = SimpleKind::Root;
      } else if (name == "link" || name == "any-link") {
        s.kind = SimpleKind::Link;
      } else if (std::find(std::begin(kNeverPseudoClasses), std::end(kNeverPseudoClasses), name) !=
                 std::end(kNeverPseudoClasses)) {
        s.kind = SimpleKind::Never;
        never = true;
      } else {
        return false;
      }
      return true;
    }
    if (t_->type != TokenType::Function) return false;
    std::string name = Lower(t_->value);
    const Token *argBegin, *argEnd;
    if (!FunctionArgs(argBegin, argEnd)) return false;
    if (name == "nth-child" || name == "nth-last-child" || name == "nth-of-type" ||
        name == "nth-last-of-type") {
      std::string text;
      for (const Token* t = argBegin; t < argEnd; ++t) {
        if (t->type != TokenType::Whitespace) text += t->raw;
      }
      s.kind = SimpleKind::NthChild;
      s.fromEnd = name.find("last") != std::string::npos;
      s.ofType = name.find("of-type") != std::string::npos;
      ++spec.b;
      return ParseNth(text, s.a, s.b);
    }
    if (name == "lang") {
      std::vector<const Token*> args;
      for (const Token* t = argBegin; t < argEnd; ++t) {
        if (t->type != TokenType::Whitespace) args.push_back(t);
      }
      if (args.size() != 1 ||
          (args[0]->type != TokenType::Ident && args[0]->type != TokenType::String)) {
        return false;
      }
      s.kind = SimpleKind::Lang;
      s.value = Lower(args[0]->value);
      ++spec.b;
      return true;
    }
    if (name == "not" || name == "is" || name == "where" || name == "matches" ||
        name == "-webkit-any" || name == "-moz-any") {
      if (nesting_ >= kMaxNesting) return false;
      SelectorParser inner(argBegin, argEnd, nesting_ + 1);
      Specificity innerSpec;
      bool neverAll = false;
      if (!inner.ParseCompoundList(s.list, innerSpec, neverAll)) return false;
      s.kind = name == "not" ? SimpleKind::Not : SimpleKind::Is;
      if (name != "where") {
        spec.a += innerSpec.a, spec.b += innerSpec.b, spec.c += innerSpec.c;
      }
      if (s.kind == SimpleKind::Is && neverAll) never = true;
      return true;
    }
    if (std::find(std::begin(kNeverFunctions), std::end(kNeverFunctions), name) !=
        std::end(kNeverFunctions)) {
      s.kind = SimpleKind::Never;
      never = true;
      ++spec.b;
      return true;
    }
    return false;
  }

  const Token* t_;
  const Token* end_;
  int nesting_;
};

// Matching

bool AttributeMatches(const SimpleSelector& s, const ElementView& e) {
  const std::string* v = e.Attribute(s.name);
  if (!v) return false;
  if (s.op == AttrOp::Exists) return true;
  std::string lowered;
  std::string_view value = *v;
  if (s.ignoreCase) {
    lowered = Lower(*v);
    value = lowered;
  }
  std::string_view want = s.value;
  switch (s.op) {
    case AttrOp::Equals:
      return value == want;
    case AttrOp::Includes: {
      if (want.empty() || want.find_first_of(" \t\n\r\f") != std::string_view::npos) return false;
      std::size_t i = 0;
      while (i < value.size()) {
        std::size_t j = value.find_first_of(" \t\n\r\f", i);
        if (j == std::string_view::npos) j = value.size();
        if (value.substr(i, j - i) == want) return true;
        i = j + 1;
      }
      return false;
    }
    case AttrOp::DashMatch:
      return value == want || (value.size() > want.size() && value.substr(0, want.size()) == want &&
                               value[want.size()] == '-');
    case AttrOp::Prefix:
      return !want.empty() && value.substr(0, want.size()) == want;
    case AttrOp::Suffix:
      return !want.empty() && value.size() >= want.size() &&
             value.substr(value.size() - want.size()) == want;
    case AttrOp::Substring:
      return !want.empty() && value.find(want) != std::string_view::npos;
    case AttrOp::Exists:
      break;
  }
  return true;
}

// Position (from 1) among siblings, counted from the start or the end, of all elements or of
// e's type. nullopt when the walk ran out of budget.
std::optional<long> SiblingPosition(const ElementView& e, bool fromEnd, bool ofType,
                                    MatchBudget& budget) {
  if (!ofType) {
    if (std::size_t index = e.ElementIndex()) {
      if (!fromEnd) return static_cast<long>(index);
      std::size_t count = e.SiblingCount();
      if (count >= index) return static_cast<long>(count - index + 1);
    }
  }
  long pos = 1;
  std::size_t walked = 0;
  const ElementView* s = fromEnd ? e.NextElement() : e.PreviousElement();
  while (s) {
    if (!budget.Spend() || ++walked > kMaxSiblingWalk) return std::nullopt;
    if (!ofType || s->LocalName() == e.LocalName()) ++pos;
    s = fromEnd ? s->NextElement() : s->PreviousElement();
  }
  return pos;
}

bool NthMatches(int a, int b, long pos) {
  if (a == 0) return pos == b;
  long diff = pos - b;
  if (diff % a != 0) return false;
  return diff / a >= 0;
}

bool LangMatches(const SimpleSelector& s, const ElementView& e, MatchBudget& budget) {
  for (const ElementView* p = &e; p; p = p->Parent()) {
    if (!budget.Spend()) return false;
    const std::string* lang = p->Attribute("lang");
    if (!lang) lang = p->Attribute("xml:lang");
    if (!lang) continue;
    std::string l = Lower(*lang);
    if (s.value.empty()) return false;
    return l == s.value || (l.size() > s.value.size() &&
                            l.compare(0, s.value.size(), s.value) == 0 && l[s.value.size()] == '-');
  }
  return false;
}

bool CompoundMatches(const Compound& c, const ElementView& e, MatchBudget& budget);

bool SimpleMatches(const SimpleSelector& s, const ElementView& e, MatchBudget& budget) {
  switch (s.kind) {
    case SimpleKind::Id:
      return e.Id() == s.value;
    case SimpleKind::Class:
      return e.HasClass(s.value);
    case SimpleKind::Attribute:
      return AttributeMatches(s, e);
    case SimpleKind::NthChild: {
      if (s.only) {
        for (bool fromEnd : {false, true}) {
          auto pos = SiblingPosition(e, fromEnd, s.ofType, budget);
          if (!pos || *pos != 1) return false;
        }
        return true;
      }
      if (s.a == 0 && s.b == 1 && !s.ofType) {
        return s.fromEnd ? e.NextElement() == nullptr : e.PreviousElement() == nullptr;
      }
      auto pos = SiblingPosition(e, s.fromEnd, s.ofType, budget);
      return pos && NthMatches(s.a, s.b, *pos);
    }
    case SimpleKind::Not:
      for (const Compound& c : s.list) {
        if (CompoundMatches(c, e, budget)) return false;
      }
      return true;
    case SimpleKind::Is:
      for (const Compound& c : s.list) {
        if (CompoundMatches(c, e, budget)) return true;
      }
      return false;
    case SimpleKind::Link: {
      std::string_view tag = e.LocalName();
      return (tag == "a" || tag == "area" || tag == "link") && e.Attribute("href");
    }
    case SimpleKind::Root:
      return e.Parent() == nullptr;
    case SimpleKind::Lang:
      return LangMatches(s, e, budget);
    case SimpleKind::Never:
      return false;
  }
  return false;
}

bool CompoundMatches(const Compound& c, const ElementView& e, MatchBudget& budget) {
  if (!c.tag.empty() && e.LocalName() != c.tag) return false;
  for (const SimpleSelector& s : c.simples) {
    if (!SimpleMatches(s, e, budget)) return false;
  }
  return true;
}

enum class Result : std::uint8_t { Matches, FailsLocally, FailsAllSiblings, FailsCompletely };

// Matches compounds[i..] with compounds[i] against e. A descendant combinator tries ancestors
// nearest first; a failure that no further ancestor can mend stops the whole walk.
Result MatchFrom(const ComplexSelector& s, std::size_t i, const ElementView& e,
                 MatchBudget& budget) {
  if (!budget.Spend()) return Result::FailsCompletely;
  if (!CompoundMatches(s.compounds[i], e, budget)) return Result::FailsLocally;
  if (i + 1 == s.compounds.size()) return Result::Matches;
  switch (s.combinators[i]) {
    case Combinator::Descendant:
      for (const ElementView* p = e.Parent(); p; p = p->Parent()) {
        Result r = MatchFrom(s, i + 1, *p, budget);
        if (r == Result::Matches || r == Result::FailsCompletely) return r;
        if (budget.steps > budget.limit) return Result::FailsCompletely;
      }
      return Result::FailsCompletely;
    case Combinator::Child: {
      const ElementView* p = e.Parent();
      if (!p) return Result::FailsCompletely;
      // Siblings share this parent, so none of them can do better.
      Result r = MatchFrom(s, i + 1, *p, budget);
      return r == Result::FailsLocally ? Result::FailsAllSiblings : r;
    }
    case Combinator::NextSibling: {
      const ElementView* p = e.PreviousElement();
      if (!p) return Result::FailsAllSiblings;
      return MatchFrom(s, i + 1, *p, budget);
    }
    case Combinator::SubsequentSibling: {
      std::size_t walked = 0;
      for (const ElementView* p = e.PreviousElement(); p; p = p->PreviousElement()) {
        if (++walked > kMaxSiblingWalk) return Result::FailsAllSiblings;
        Result r = MatchFrom(s, i + 1, *p, budget);
        if (r != Result::FailsLocally) return r;
        if (budget.steps > budget.limit) return Result::FailsCompletely;
      }
      return Result::FailsAllSiblings;
    }
  }
  return Result::FailsCompletely;
}

}  // namespace

bool ParseSelectorList(const Token* begin, const Token* end, std::vector<ComplexSelector>& out) {
  std::vector<ComplexSelector> list;
  SelectorParser parser(begin, end, 0);
  if (!parser.ParseList(list)) return false;
  for (auto& s : list) out.push_back(std::move(s));
  return true;
}

bool Matches(const ComplexSelector& s, const ElementView& e, MatchBudget& budget) {
  if (s.neverMatches || s.compounds.empty()) return false;
  return MatchFrom(s, 0, e, budget) == Result::Matches;
}

namespace {

bool SimplePositional(const SimpleSelector& s) {
  if (s.kind == SimpleKind::NthChild) return true;
  if (s.kind == SimpleKind::Not || s.kind == SimpleKind::Is) {
    for (const Compound& c : s.list) {
      for (const SimpleSelector& inner : c.simples) {
        if (SimplePositional(inner)) return true;
      }
    }
  }
  return false;
}

// A failure that spent no budget would be the same with any budget left, so it holds for
// every sibling whatever their own matching spent before it.
bool FailsWithoutSpending(const Compound& c, const ElementView& e) {
  MatchBudget budget;
  return !CompoundMatches(c, e, budget) && budget.steps == 0;
}

}  // namespace

bool DependsOnSiblings(const ComplexSelector& s) {
  if (s.compounds.empty()) return false;
  if (!s.combinators.empty() && (s.combinators.front() == Combinator::NextSibling ||
                                 s.combinators.front() == Combinator::SubsequentSibling)) {
    return true;
  }
  for (const SimpleSelector& simple : s.compounds.front().simples) {
    if (SimplePositional(simple)) return true;
  }
  return false;
}

// A part of c that does not look at siblings fails on e: the tag, or a simple selector that
// spent no budget.
bool FixedPartFails(const Compound& c, const ElementView& e) {
  if (!c.tag.empty() && e.LocalName() != c.tag) return true;
  for (const SimpleSelector& simple : c.simples) {
    if (SimplePositional(simple)) continue;
    MatchBudget budget;
    if (!SimpleMatches(simple, e, budget) && budget.steps == 0) return true;
  }
  return false;
}

bool FailsForLikeSiblings(const ComplexSelector& s, const ElementView& e) {
  if (s.neverMatches || s.compounds.empty()) return true;
  // The subject is a conjunction: one part that fails alike for like siblings fails it alike.
  if (FixedPartFails(s.compounds.front(), e)) return true;
  if (!s.combinators.empty() && s.combinators.front() == Combinator::Child) {
    const ElementView* parent = e.Parent();
    if (!parent || FailsWithoutSpending(s.compounds[1], *parent)) return true;
  }
  return false;
}

bool LooksAtSiblings(const ComplexSelector& s) {
  for (Combinator c : s.combinators) {
    if (c == Combinator::NextSibling || c == Combinator::SubsequentSibling) return true;
  }
  for (const Compound& c : s.compounds) {
    for (const SimpleSelector& simple : c.simples) {
      if (SimplePositional(simple)) return true;
    }
  }
  return false;
}

namespace {

// Whether all that a simple selector asks of siblings is whether there is one before or after.
bool AsksOnlyFirstOrLast(const SimpleSelector& s) {
  if (s.kind == SimpleKind::NthChild) return s.a == 0 && s.b == 1 && !s.ofType && !s.only;
  if (s.kind == SimpleKind::Not || s.kind == SimpleKind::Is) {
    for (const Compound& c : s.list) {
      for (const SimpleSelector& inner : c.simples) {
        if (SimplePositional(inner) && !AsksOnlyFirstOrLast(inner)) return false;
      }
    }
  }
  return true;
}

}  // namespace

int FirstLastDepth(const ComplexSelector& s) {
  for (Combinator c : s.combinators) {
    if (c == Combinator::NextSibling || c == Combinator::SubsequentSibling) {
      return kSiblingsAnywhere;
    }
  }
  int depth = -1;
  for (std::size_t i = 0; i < s.compounds.size(); ++i) {
    for (const SimpleSelector& simple : s.compounds[i].simples) {
      if (!SimplePositional(simple)) continue;
      if (!AsksOnlyFirstOrLast(simple)) return kSiblingsAnywhere;
      depth = static_cast<int>(i);
    }
  }
  if (depth > 1 || (depth == 1 && s.combinators.front() != Combinator::Child)) {
    return kSiblingsAnywhere;
  }
  return depth;
}

bool FailsForLikeCousins(const ComplexSelector& s, const ElementView& e) {
  if (s.neverMatches || s.compounds.empty()) return true;
  if (FixedPartFails(s.compounds.front(), e)) return true;
  if (!s.combinators.empty() && s.combinators.front() == Combinator::Child) {
    // A cousin's parent is like e's parent, and as deep.
    const ElementView* parent = e.Parent();
    if (!parent || FixedPartFails(s.compounds[1], *parent)) return true;
  }
  return false;
}

}  // namespace platform::mshtml::css
