// Selectors: parsing into compounds (rightmost first) and matching against an ElementView.
// Matching walks from the subject leftwards and never backtracks past a descendant combinator
// that has already failed, so its cost is linear in the tree depth per rule.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/mshtml/css/cascade.h"
#include "platform/mshtml/css/tokenizer.h"

namespace platform::mshtml::css {

enum class Combinator : std::uint8_t { Descendant, Child, NextSibling, SubsequentSibling };

enum class SimpleKind : std::uint8_t {
  Id,
  Class,
  Attribute,
  NthChild,  // first-child, last-child, only-child and the of-type forms too
  Not,
  Is,
  Link,
  Root,
  Lang,
  Never,  // dynamic pseudo-classes, pseudo-elements: valid, but never match here
};

enum class AttrOp : std::uint8_t { Exists, Equals, Includes, DashMatch, Prefix, Suffix, Substring };

struct Compound;

struct SimpleSelector {
  SimpleKind kind = SimpleKind::Never;
  AttrOp op = AttrOp::Exists;
  bool ignoreCase = false;
  bool fromEnd = false;  // nth-last-*, last-*
  bool ofType = false;
  bool only = false;           // only-child, only-of-type
  int a = 0, b = 0;            // an+b
  std::string name;            // attribute name
  std::string value;           // id, class, attribute value, language
  std::vector<Compound> list;  // :not(), :is()
};

struct Compound {
  std::string tag;  // empty: any element
  std::vector<SimpleSelector> simples;
};

struct ComplexSelector {
  std::vector<Compound> compounds;      // rightmost (the subject) first
  std::vector<Combinator> combinators;  // combinators[i] joins compounds[i] and compounds[i+1]
  std::uint32_t specificity = 0;
  bool neverMatches = false;
  // Tags, ids and classes every matching element's ancestors must include (0: unused).
  std::array<std::uint32_t, 4> ancestorHashes{};
};

constexpr std::size_t kMaxCompounds = 64;

// Parses a selector list; false (and out untouched) when any selector in it is invalid.
bool ParseSelectorList(const Token* begin, const Token* end, std::vector<ComplexSelector>& out);

// Counts the steps matching takes through the tree; a walk stops when it runs out.
struct MatchBudget {
  std::size_t steps = 0;
  std::size_t limit = 1 << 12;
  bool Spend() { return ++steps <= limit; }
};

// One walk along siblings (:nth-child counting, "~") looks this far at most, so a list of many
// thousands of siblings costs linear, not quadratic, time.
constexpr std::size_t kMaxSiblingWalk = 1024;

bool Matches(const ComplexSelector& s, const ElementView& e, MatchBudget& budget);

// Whether matching s against an element may depend on the element's siblings: a position
// (:nth-child and the like) in its subject, or "+" or "~" next to the subject. What lies left
// of a descendant or child combinator is about ancestors, which siblings share.
bool DependsOnSiblings(const ComplexSelector& s);
// Whether s fails on e and on every sibling of e with e's name and attributes, as far as that
// shows without looking at siblings: a part of its subject that does not look at them fails
// on e, or e's parent fails the compound a child combinator joins to the subject. False means
// only that it cannot be told.
bool FailsForLikeSiblings(const ComplexSelector& s, const ElementView& e);
// Whether matching s may depend on the siblings of the subject or of any element it walks to.
bool LooksAtSiblings(const ComplexSelector& s);
// As FailsForLikeSiblings, for any element whose own and ancestors' names and attributes are
// e's (a cousin): a part of the subject that does not look at siblings fails on e, or such a
// part of the compound a child combinator joins to it fails on e's parent.
bool FailsForLikeCousins(const ComplexSelector& s, const ElementView& e);

// How far up the parts of s that look at siblings reach when all they ask is whether an
// element is its parent's first or last element child (:first-child, :last-child, also inside
// :not() and :is()): 0 for the subject alone, 1 for the subject and its parent through a child
// combinator. -1 when s looks at no siblings, kSiblingsAnywhere when it looks otherwise.
constexpr int kSiblingsAnywhere = 1 << 20;
int FirstLastDepth(const ComplexSelector& s);

// Hashes of tags, ids and classes as the ancestor filter stores them.
enum class HashKind : std::uint32_t { Tag = 0x9e3779b9u, Id = 0x85ebca6bu, Class = 0xc2b2ae35u };
std::uint32_t KeyHash(HashKind kind, std::string_view s);

}  // namespace platform::mshtml::css
