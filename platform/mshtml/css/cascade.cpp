#include "platform/mshtml/css/cascade.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "platform/mshtml/css/font_size.h"
#include "platform/mshtml/css/selector.h"
#include "platform/mshtml/css/stylesheet.h"
#include "platform/mshtml/css/user_agent.h"
#include "platform/mshtml/css/values.h"

namespace platform::mshtml::css {

namespace {

// Where a declaration comes from, lowest priority first; important declarations rank above
// all normal ones, the user agent's important ones highest.
enum class Origin : std::uint8_t { UserAgent, Hint, Author, StyleAttribute };

std::uint64_t Level(Origin origin, bool important) {
  if (!important) return static_cast<std::uint64_t>(origin);
  switch (origin) {
    case Origin::Author:
    case Origin::Hint:
      return 4;
    case Origin::StyleAttribute:
      return 5;
    case Origin::UserAgent:
      return 6;
  }
  return 4;
}

std::uint64_t Key(Origin origin, bool important, std::uint32_t specificity, std::uint32_t order) {
  return (Level(origin, important) << 56) | (static_cast<std::uint64_t>(specificity) << 32) | order;
}

using Filter = std::array<std::uint64_t, 8>;

void FilterAdd(Filter& f, std::uint32_t h) {
  f[(h & 511) >> 6] |= std::uint64_t{1} << (h & 63);
  std::uint32_t h2 = h >> 9;
  f[(h2 & 511) >> 6] |= std::uint64_t{1} << (h2 & 63);
}
bool FilterMayHave(const Filter& f, std::uint32_t h) {
  std::uint32_t h2 = h >> 9;
  return (f[(h & 511) >> 6] & (std::uint64_t{1} << (h & 63))) &&
         (f[(h2 & 511) >> 6] & (std::uint64_t{1} << (h2 & 63)));
}

// Class names of an element, split as the class attribute lists them.
std::vector<std::string_view> ClassNames(const ElementView& e) {
  std::vector<std::string_view> out;
  const std::string* attr = e.Attribute("class");
  if (!attr) return out;
  std::string_view v = *attr;
  std::size_t i = 0;
  while (i < v.size()) {
    std::size_t start = v.find_first_not_of(" \t\n\r\f", i);
    if (start == std::string_view::npos) break;
    std::size_t end = v.find_first_of(" \t\n\r\f", start);
    if (end == std::string_view::npos) end = v.size();
    out.push_back(v.substr(start, end - start));
    i = end;
  }
  if (out.size() > 1) {
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
  }
  return out;
}

struct Entry {
  const ComplexSelector* selector;
  const StyleRule* rule;
  std::uint32_t order;
  Origin origin;
  bool positional;       // whether matching depends on the subject's siblings
  bool looksAtSiblings;  // or on the siblings of any element it walks to
  int firstLastDepth;    // FirstLastDepth of the selector
};

struct StringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using Buckets = std::unordered_map<std::string, std::vector<Entry>, StringHash, std::equal_to<>>;

struct Winner {
  std::uint64_t key = 0;
  const Declaration* decl = nullptr;
};

struct CustomWinner {
  std::string_view name;
  std::uint64_t key;
  const Declaration* decl;
  std::uint32_t seq;
};

constexpr std::size_t kMaxSubstitutedBytes = 64 * 1024;
constexpr int kMaxVarDepth = 32;

// Resolves var() against custom properties: those declared on the element (resolved on demand,
// cycles detected) and the inherited ones.
class VarResolver {
 public:
  VarResolver(const std::vector<CustomWinner>& declared, const CustomProperties* inherited)
      : declared_(declared),
        inherited_(inherited),
        state_(declared.size(), State::Pending),
        resolved_(declared.size()) {}

  // The value of a custom property, nullopt when it is unset or invalid (a cycle).
  std::optional<std::string_view> Lookup(std::string_view name, int depth) {
    auto it =
        std::lower_bound(declared_.begin(), declared_.end(), name,
                         [](const CustomWinner& w, std::string_view n) { return w.name < n; });
    if (it != declared_.end() && it->name == name) {
      std::size_t i = static_cast<std::size_t>(it - declared_.begin());
      switch (state_[i]) {
        case State::Done:
          return std::string_view(resolved_[i]);
        case State::Invalid:
        case State::Visiting:
          state_[i] = State::Invalid;  // a cycle: every member becomes invalid
          return std::nullopt;
        case State::Pending:
          break;
      }
      if (depth > kMaxVarDepth) return std::nullopt;
      state_[i] = State::Visiting;
      std::optional<std::string> v = ResolveDeclared(i, depth);
      if (state_[i] == State::Invalid || !v) {
        state_[i] = State::Invalid;
        return std::nullopt;
      }
      resolved_[i] = std::move(*v);
      state_[i] = State::Done;
      return std::string_view(resolved_[i]);
    }
    return Inherited(name);
  }

  std::optional<std::string> Substitute(std::string_view text, int depth) {
    if (depth > kMaxVarDepth) return std::nullopt;
    Tokenizer tokenizer;
    std::vector<Token> tokens = tokenizer.Tokenize(text);
    const Token* t = tokens.data();
    const Token* end = t + tokens.size();
    std::string out;
    while (t < end) {
      if (t->type != TokenType::Function || !EqualsIgnoreCase(t->value, "var")) {
        out += t->raw;
        ++t;
        continue;
      }
      // var( --name [, fallback] )
      const Token* close = t + 1;
      for (int nest = 1; close < end; ++close) {
        if (close->type == TokenType::Function || close->type == TokenType::LeftParen) ++nest;
        if (close->type == TokenType::RightParen && --nest == 0) break;
      }
      const Token* a = t + 1;
      while (a < close && a->type == TokenType::Whitespace) ++a;
      if (a == close || a->type != TokenType::Ident || a->value.size() < 3 ||
          a->value.substr(0, 2) != "--") {
        return std::nullopt;
      }
      std::string_view name = a->value;
      ++a;
      while (a < close && a->type == TokenType::Whitespace) ++a;
      bool hasFallback = a < close && a->type == TokenType::Comma;
      if (a < close && !hasFallback) return std::nullopt;
      std::optional<std::string_view> value = Lookup(name, depth + 1);
      if (value) {
        out += *value;
      } else if (hasFallback) {
        std::string fallback;
        for (const Token* f = a + 1; f < close; ++f) fallback += f->raw;
        std::optional<std::string> v = Substitute(fallback, depth + 1);
        if (!v) return std::nullopt;
        out += *v;
      } else {
        return std::nullopt;
      }
      if (out.size() > kMaxSubstitutedBytes) return std::nullopt;
      t = close < end ? close + 1 : end;
    }
    if (out.size() > kMaxSubstitutedBytes) return std::nullopt;
    return out;
  }

  // The element's custom properties: inherited ones overridden by those declared here.
  std::shared_ptr<const CustomProperties> Result() {
    CustomProperties out;
    if (inherited_) out = *inherited_;
    for (std::size_t i = 0; i < declared_.size(); ++i) {
      std::optional<std::string_view> v = Lookup(declared_[i].name, 0);
      auto it = std::lower_bound(out.begin(), out.end(), declared_[i].name,
                                 [](const auto& p, std::string_view n) { return p.first < n; });
      bool present = it != out.end() && it->first == declared_[i].name;
      if (v) {
        if (present) {
          it->second = std::string(*v);
        } else {
          out.insert(it, {std::string(declared_[i].name), std::string(*v)});
        }
      } else if (present) {
        out.erase(it);
      }
    }
    return std::make_shared<const CustomProperties>(std::move(out));
  }

 private:
  enum class State : std::uint8_t { Pending, Visiting, Done, Invalid };

  std::optional<std::string_view> Inherited(std::string_view name) const {
    if (!inherited_) return std::nullopt;
    auto it = std::lower_bound(inherited_->begin(), inherited_->end(), name,
                               [](const auto& p, std::string_view n) { return p.first < n; });
    if (it != inherited_->end() && it->first == name) return std::string_view(it->second);
    return std::nullopt;
  }

  std::optional<std::string> ResolveDeclared(std::size_t i, int depth) {
    const Declaration& d = *declared_[i].decl;
    std::string_view raw = d.value;
    if (EqualsIgnoreCase(raw, "initial")) return std::nullopt;
    if (EqualsIgnoreCase(raw, "inherit") || EqualsIgnoreCase(raw, "unset") ||
        EqualsIgnoreCase(raw, "revert")) {
      auto v = Inherited(declared_[i].name);
      if (!v) return std::nullopt;
      return std::string(*v);
    }
    if (!d.hasVar) return std::string(raw);
    return Substitute(raw, depth);
  }

  const std::vector<CustomWinner>& declared_;
  const CustomProperties* inherited_;
  std::vector<State> state_;
  std::vector<std::string> resolved_;
};

}  // namespace

struct Cascade::Impl {
  class Computation;
  std::vector<std::shared_ptr<const StyleSheet>> sheets;

  // Substituted and parsed var() declarations, by declaration and the custom properties they
  // were resolved against: elements mostly share both, and substitution means tokenizing.
  struct VarMemo {
    const Declaration* decl = nullptr;
    std::shared_ptr<const CustomProperties> custom;
    std::vector<Declaration> parsed;  // empty: invalid at computed-value time
  };
  static constexpr std::size_t kMemoSlots = 1024;
  mutable std::mutex memoMutex;
  mutable std::vector<VarMemo> memo = std::vector<VarMemo>(kMemoSlots);

  std::vector<Declaration> Substituted(const Declaration& d,
                                       const std::shared_ptr<const CustomProperties>& custom,
                                       VarResolver& vars, bool memoize) const {
    if (!memoize) return Parse(d, vars);
    std::size_t slot =
        (std::hash<const void*>{}(&d) * 31 + std::hash<const void*>{}(custom.get())) % kMemoSlots;
    {
      std::lock_guard<std::mutex> lock(memoMutex);
      const VarMemo& m = memo[slot];
      if (m.decl == &d && m.custom == custom) return m.parsed;
    }
    std::vector<Declaration> parsed = Parse(d, vars);
    std::lock_guard<std::mutex> lock(memoMutex);
    memo[slot] = VarMemo{&d, custom, parsed};
    return parsed;
  }

  static std::vector<Declaration> Parse(const Declaration& d, VarResolver& vars) {
    std::vector<Declaration> parsed;
    if (std::optional<std::string> text = vars.Substitute(d.value, 0)) {
      Tokenizer tokenizer;
      std::vector<Token> tokens = tokenizer.Tokenize(*text);
      // A substituted CSS-wide keyword acts as that keyword.
      AddDeclaration(d.id, "", tokens.data(), tokens.data() + tokens.size(), false, parsed);
    }
    return parsed;
  }

  Buckets byId, byClass, byTag;
  std::vector<Entry> universal;
  // The tag, id and class hashes some selector wants among the ancestors: only these go into
  // an element's ancestor filter, so elements that differ only in names no selector asks for
  // of ancestors get equal filters, and so equal records their descendants can share.
  std::unordered_set<std::uint32_t> ancestorKeys;
  // Names this set of keys, process-wide: a parent's filter made with other keys (another
  // cascade, or before a sheet came) may lack what is asked now, and is not used.
  std::uint32_t keysVersion = 0;

  // Attributes some selector reads, and ids some selector names (both of every sheet, the
  // user agent's too), for UseOf.
  std::unordered_set<std::string, StringHash, std::equal_to<>> selectorAttributes, selectorIds;

  // Rule-matching work across all elements (entries tried and selector steps taken).
  std::size_t workLimit = Cascade::kMatchWorkBase;
  mutable std::atomic<std::size_t> workSpent{0};
  mutable std::atomic<bool> cutShort{false};

  void Rebuild() {
    byId.clear();
    byClass.clear();
    byTag.clear();
    universal.clear();
    ancestorKeys.clear();
    selectorAttributes.clear();
    selectorIds.clear();
    static std::atomic<std::uint32_t> versions{0};
    keysVersion = ++versions;
    std::uint32_t order = 0;
    IndexSheet(*UserAgentSheet(), Origin::UserAgent, order);
    for (const auto& s : sheets) {
      if (const auto* parsed = dynamic_cast<const ParsedStyleSheet*>(s.get())) {
        IndexSheet(*parsed, Origin::Author, order);
      }
    }
  }

  void NoteAttributeUse(const Compound& c) {
    for (const SimpleSelector& s : c.simples) {
      if (s.kind == SimpleKind::Id) selectorIds.insert(s.value);
      if (s.kind == SimpleKind::Attribute) selectorAttributes.insert(s.name);
      for (const Compound& inner : s.list) NoteAttributeUse(inner);
    }
  }

  void IndexSheet(const ParsedStyleSheet& sheet, Origin origin, std::uint32_t& order) {
    for (const StyleRule& rule : sheet.Rules()) {
      std::uint32_t o = order++;
      for (const ComplexSelector& sel : rule.selectors) {
        if (sel.neverMatches) continue;
        Entry entry{&sel,
                    &rule,
                    o,
                    origin,
                    DependsOnSiblings(sel),
                    LooksAtSiblings(sel),
                    FirstLastDepth(sel)};
        for (std::uint32_t h : sel.ancestorHashes) {
          if (h) ancestorKeys.insert(h);
        }
        for (const Compound& c : sel.compounds) NoteAttributeUse(c);
        // The rightmost compound's most selective key picks the bucket.
        const Compound& subject = sel.compounds.front();
        const SimpleSelector* id = nullptr;
        const SimpleSelector* cls = nullptr;
        for (const SimpleSelector& s : subject.simples) {
          if (s.kind == SimpleKind::Id && !id) id = &s;
          if (s.kind == SimpleKind::Class && !cls) cls = &s;
        }
        if (id) {
          byId[id->value].push_back(entry);
        } else if (cls) {
          byClass[cls->value].push_back(entry);
        } else if (!subject.tag.empty()) {
          byTag[subject.tag].push_back(entry);
        } else {
          universal.push_back(entry);
        }
      }
    }
  }
};

Cascade::Cascade() : impl_(std::make_unique<Impl>()) {
  impl_->Rebuild();
}
Cascade::~Cascade() = default;

void Cascade::AddSheet(std::shared_ptr<const StyleSheet> sheet, int index) {
  if (!sheet) return;
  auto& sheets = impl_->sheets;
  if (index < 0 || static_cast<std::size_t>(index) >= sheets.size()) {
    sheets.push_back(std::move(sheet));
  } else {
    sheets.insert(sheets.begin() + index, std::move(sheet));
  }
  impl_->Rebuild();
  impl_->workSpent = 0;
  impl_->cutShort = false;
  std::lock_guard<std::mutex> lock(impl_->memoMutex);
  for (auto& m : impl_->memo) m = Impl::VarMemo{};
}

std::size_t Cascade::SheetCount() const {
  return impl_->sheets.size();
}

void Cascade::SetElementCount(std::size_t elements) {
  impl_->workLimit = kMatchWorkBase + kMatchWorkPerElement * elements;
}

bool Cascade::MatchingCutShort() const {
  return impl_->cutShort;
}

std::size_t Cascade::MatchWork() const {
  return impl_->workSpent;
}

Cascade::AttributeUse Cascade::UseOf(std::string_view name, std::string_view value) const {
  // The model reads style itself; class and id pick buckets and fill the ancestor filter; lang
  // is read by :lang() on every ancestor.
  if (name == "style" || name == "class" || name == "lang" || name == "xml:lang") {
    return AttributeUse::Value;
  }
  if (impl_->selectorAttributes.count(name)) return AttributeUse::Value;
  if (name == "id") {
    return impl_->selectorIds.count(value) ? AttributeUse::Value : AttributeUse::None;
  }
  for (std::string_view a : HintValueAttributes()) {
    if (name == a) return AttributeUse::Value;
  }
  // :link asks only whether there is an href.
  if (name == "href") return AttributeUse::Presence;
  for (std::string_view a : HintPresenceAttributes()) {
    if (name == a) return AttributeUse::Presence;
  }
  return AttributeUse::None;
}

// One element's style, worked out as the cascade orders it: the rules that match (the user
// agent's and the authors' share the buckets, their keys rank them), presentational hints, the
// style attribute, custom properties, then each property's value from its winner, its parent
// (inheritance) or its initial value, and last the computed sizes.
class Cascade::Impl::Computation {
 public:
  Computation(const Impl& impl, const ElementView& e, const ComputedStyle* parent)
      : impl_(impl), e_(e), parent_(parent) {}

  ComputedStyle Run(std::string_view styleAttribute, Notes* notes) {
    MatchRules();
    if (notes) {
      notes->siblingIndependent = !positional_ && !cut_;
      notes->cousinIndependent = !looksAtSiblings_ && firstLastDepth_ < 0 && !cut_;
      notes->cousinFirstLastDepth = looksAtSiblings_ || cut_ ? -2 : firstLastDepth_;
      notes->work = work_ - workBefore_;
    }
    AddHints();
    AddStyleAttribute(styleAttribute);
    ResolveCustomProperties();
    ResolveValues();
    ResolveFontSize(out_, parent_, fromParent_[static_cast<std::size_t>(Property::FontSize)],
                    fromParent_[static_cast<std::size_t>(Property::LineHeight)]);
    ExtendAncestorFilter();
    return std::move(out_);
  }

 private:
  void Consider(const Declaration& d, std::uint64_t key) {
    if (d.id == PropId::Custom) {
      custom_.push_back({d.name, key, &d, static_cast<std::uint32_t>(custom_.size())});
      return;
    }
    auto apply = [&](Property p) {
      Winner& w = winners_[static_cast<std::size_t>(p)];
      if (!w.decl || key >= w.key) w.key = key, w.decl = &d;
    };
    if (IsLonghand(d.id)) {
      apply(static_cast<Property>(d.id));
    } else {
      for (Property p : LonghandsOf(d.id)) apply(p);
    }
  }

  // User-agent and author rules, by the buckets of the element's id, classes and tag, then the
  // universal ones. The work is counted locally and added once: the count is shared by every
  // element.
  void MatchRules() {
    static const Filter kEmpty{};
    if (parent_ && parent_->ancestorFilterValid &&
        parent_->ancestorFilterKeys == impl_.keysVersion) {
      ancestors_ = &parent_->ancestorFilter;
    } else if (!e_.Parent()) {
      ancestors_ = &kEmpty;
    }
    const std::size_t before = impl_.workSpent.load(std::memory_order_relaxed);
    workBefore_ = before;
    work_ = before;
    id_ = e_.Id();
    if (!id_.empty()) {
      if (auto it = impl_.byId.find(id_); it != impl_.byId.end()) TryEntries(it->second);
    }
    classes_ = ClassNames(e_);
    for (std::string_view c : classes_) {
      if (auto it = impl_.byClass.find(c); it != impl_.byClass.end()) TryEntries(it->second);
    }
    if (auto it = impl_.byTag.find(e_.LocalName()); it != impl_.byTag.end()) {
      TryEntries(it->second);
    }
    TryEntries(impl_.universal);
    impl_.workSpent.fetch_add(work_ - before, std::memory_order_relaxed);
    if (cut_) impl_.cutShort = true;
  }

  void TryEntries(const std::vector<Entry>& entries) {
    const std::size_t limit = impl_.workLimit;
    for (const Entry& entry : entries) {
      // A bucket lists the user agent's rules first, so past the bound the rest are author
      // rules, all left out.
      if (entry.origin != Origin::UserAgent && work_ >= limit) {
        cut_ = true;
        break;
      }
      ++work_;
      const ComplexSelector& sel = *entry.selector;
      if (ancestors_ && !AncestorsMayMatch(sel)) continue;
      if (entry.positional && !positional_ && !FailsForLikeSiblings(sel, e_)) positional_ = true;
      if (entry.looksAtSiblings && !looksAtSiblings_ && !FailsForLikeCousins(sel, e_)) {
        if (entry.firstLastDepth == 0 || entry.firstLastDepth == 1) {
          firstLastDepth_ = std::max(firstLastDepth_, entry.firstLastDepth);
        } else {
          looksAtSiblings_ = true;
        }
      }
      // Each selector has its own budget, so one costly rule cannot starve the others.
      MatchBudget budget;
      bool matched = Matches(sel, e_, budget);
      // Steps weigh less than rules tried: a long sibling walk is a real page's cost, a vast
      // number of rules a hostile one's.
      work_ += budget.steps / 8;
      if (!matched) continue;
      for (const Declaration& d : entry.rule->declarations) {
        Consider(d, Key(entry.origin, d.important, sel.specificity, entry.order));
      }
    }
  }

  bool AncestorsMayMatch(const ComplexSelector& sel) const {
    for (std::uint32_t h : sel.ancestorHashes) {
      if (h && !FilterMayHave(*ancestors_, h)) return false;
    }
    return true;
  }

  void AddHints() {
    AddPresentationalHints(e_, hints_);
    for (std::size_t i = 0; i < hints_.size(); ++i) {
      Consider(hints_[i], Key(Origin::Hint, false, 0, static_cast<std::uint32_t>(i)));
    }
  }

  void AddStyleAttribute(std::string_view styleAttribute) {
    if (!styleAttribute.empty()) inlineStyle_ = ParseStyleAttribute(styleAttribute);
    for (std::size_t i = 0; i < inlineStyle_.size(); ++i) {
      Consider(inlineStyle_[i], Key(Origin::StyleAttribute, inlineStyle_[i].important, 0,
                                    static_cast<std::uint32_t>(i)));
    }
  }

  // Custom properties first: the others may refer to them.
  void ResolveCustomProperties() {
    // One winner per name: the highest key, and of equal keys (one rule) the last declared.
    std::sort(custom_.begin(), custom_.end(), [](const CustomWinner& a, const CustomWinner& b) {
      if (a.name != b.name) return a.name < b.name;
      if (a.key != b.key) return a.key < b.key;
      return a.seq < b.seq;
    });
    // Unique from the back keeps the last of each name, packed at the end.
    auto kept =
        std::unique(custom_.rbegin(), custom_.rend(),
                    [](const CustomWinner& a, const CustomWinner& b) { return a.name == b.name; });
    custom_.erase(custom_.begin(), kept.base());
    vars_.emplace(custom_, parent_ ? parent_->custom.get() : nullptr);
    if (custom_.empty()) {
      if (parent_) out_.custom = parent_->custom;
    } else {
      out_.custom = vars_->Result();
    }
  }

  const std::string& InheritedValue(Property p) const {
    return parent_ ? parent_->Get(p) : InitialValue(p);
  }
  const std::string& UnsetValue(Property p) const {
    return IsInherited(p) ? InheritedValue(p) : InitialValue(p);
  }
  const std::string& WideValue(CssWide wide, Property p) const {
    switch (wide) {
      case CssWide::Inherit:
        return InheritedValue(p);
      case CssWide::Initial:
        return InitialValue(p);
      case CssWide::Unset:
      case CssWide::None:
        break;
    }
    return UnsetValue(p);
  }

  // A declaration with var() is parsed once substituted; a shorthand's result serves all its
  // longhands.
  std::optional<std::string> VarValue(const Declaration& d, Property p) {
    auto it = std::find_if(substituted_.begin(), substituted_.end(),
                           [&](const auto& s) { return s.first == &d; });
    if (it == substituted_.end()) {
      std::optional<std::vector<std::pair<Property, std::string>>> result;
      // Style-attribute declarations live only for this call: their address says nothing.
      bool fromSheet = inlineStyle_.empty() || &d < inlineStyle_.data() ||
                       &d >= inlineStyle_.data() + inlineStyle_.size();
      std::vector<Declaration> wide = impl_.Substituted(d, out_.custom, *vars_, fromSheet);
      std::vector<std::pair<Property, std::string>> values;
      for (const Declaration& w : wide) {
        if (!IsLonghand(w.id)) continue;
        Property q = static_cast<Property>(w.id);
        values.emplace_back(q, w.wide == CssWide::None ? w.value : WideValue(w.wide, q));
      }
      if (!values.empty()) result = std::move(values);
      substituted_.emplace_back(&d, std::move(result));
      it = substituted_.end() - 1;
    }
    if (!it->second) return std::nullopt;
    for (const auto& [q, v] : *it->second) {
      if (q == p) return v;
    }
    return std::nullopt;
  }

  // Each property from its winning declaration, else inherited or initial as the property is;
  // colour before background, which may refer to it as currentcolor.
  void ResolveValues() {
    for (std::size_t i = 0; i < kLonghandCount; ++i) {
      Property p = static_cast<Property>(i);
      const Declaration* d = winners_[i].decl;
      std::string& value = out_.Set(p);
      const bool inherits = parent_ && IsInherited(p);
      if (!d || d->wide == CssWide::Unset) {
        value = UnsetValue(p);
        fromParent_[i] = inherits;
      } else if (d->wide == CssWide::Inherit) {
        value = InheritedValue(p);
        fromParent_[i] = parent_ != nullptr;
      } else if (d->wide == CssWide::Initial) {
        value = InitialValue(p);
      } else if (d->hasVar) {
        std::optional<std::string> v = VarValue(*d, p);
        fromParent_[i] = !v && inherits;
        value = v ? std::move(*v) : UnsetValue(p);
      } else {
        value = d->value;
      }
      if (value == "currentcolor") {
        if (p == Property::Color) {
          value = InheritedValue(p);
          if (value == "currentcolor") value = InitialValue(p);
        } else if (p == Property::BackgroundColor) {
          value = out_.Get(Property::Color);
        }
      }
    }
  }

  void ExtendAncestorFilter() {
    if (!ancestors_) return;
    out_.ancestorFilter = *ancestors_;
    out_.ancestorFilterValid = true;
    out_.ancestorFilterKeys = impl_.keysVersion;
    auto add = [&](std::uint32_t h) {
      if (impl_.ancestorKeys.contains(h)) FilterAdd(out_.ancestorFilter, h);
    };
    add(KeyHash(HashKind::Tag, e_.LocalName()));
    if (!id_.empty()) add(KeyHash(HashKind::Id, id_));
    for (std::string_view c : classes_) add(KeyHash(HashKind::Class, c));
  }

  const Impl& impl_;
  const ElementView& e_;
  const ComputedStyle* parent_;
  ComputedStyle out_;
  const Filter* ancestors_ = nullptr;
  std::string_view id_;
  std::vector<std::string_view> classes_;
  std::size_t work_ = 0;
  std::size_t workBefore_ = 0;
  bool cut_ = false;
  bool positional_ = false;
  bool looksAtSiblings_ = false;
  int firstLastDepth_ = -1;
  std::array<Winner, kLonghandCount> winners_{};
  std::vector<CustomWinner> custom_;
  std::vector<Declaration> hints_;
  std::vector<Declaration> inlineStyle_;
  std::optional<VarResolver> vars_;
  std::vector<
      std::pair<const Declaration*, std::optional<std::vector<std::pair<Property, std::string>>>>>
      substituted_;
  std::array<bool, kLonghandCount> fromParent_{};
};

ComputedStyle Cascade::Compute(const ElementView& e, const ComputedStyle* parent,
                               std::string_view styleAttribute, Notes* notes) const {
  return Impl::Computation(*impl_, e, parent).Run(styleAttribute, notes);
}

bool Cascade::ChargeReuse(std::size_t work) const {
  // The computation checks the bound before each author rule, with at most work - 1 spent on
  // the element so far; staying below the bound with all of it means no check could fail.
  std::size_t spent = impl_->workSpent.load(std::memory_order_relaxed);
  do {
    if (spent >= impl_->workLimit || work >= impl_->workLimit - spent) return false;
  } while (!impl_->workSpent.compare_exchange_weak(spent, spent + work, std::memory_order_relaxed));
  return true;
}

}  // namespace platform::mshtml::css
