#include "platform/mshtml/tree.h"

#include <gumbo.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/com/com.h"
#include "platform/mshtml/bounds.h"
#include "platform/mshtml/parser_arena.h"
#include "platform/mshtml/url.h"
#include "platform/text/text.h"
#include "platform/text/unicode_space.h"

namespace platform::mshtml {
namespace {

bool IsHtmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The length and first letter turn nearly every entry away before a compare is called.
bool OneOf(std::string_view name, std::initializer_list<std::string_view> set) {
  for (std::string_view s : set)
    if (s.size() == name.size() && (s.empty() || s[0] == name[0]) && s == name) return true;
  return false;
}

// Elements whose text is never displayed. Asked for the container of every run of text, so the
// length picks the one or two names to compare.
bool IsHiddenText(const Node& n) {
  if (n.kind != NodeKind::Element) return false;
  switch (n.name.size()) {
    case 4:
      return n.name == "head";
    case 5:
      return n.name == "style" || n.name == "title";
    case 6:
      return n.name == "script";
    case 8:
      return n.name == "template" || n.name == "noframes";
    default:
      return false;
  }
}

bool IsBlockForText(std::string_view n) {
  return OneOf(
      n, {"address", "article", "aside",   "blockquote", "body",     "caption", "center",  "dd",
          "div",     "dl",      "dt",      "fieldset",   "figure",   "footer",  "form",    "h1",
          "h2",      "h3",      "h4",      "h5",         "h6",       "header",  "hr",      "html",
          "li",      "main",    "nav",     "ol",         "p",        "pre",     "section", "table",
          "tr",      "ul",      "listing", "xmp",        "plaintext"});
}

enum class Space { Collapse, PreserveBreaks, Preserve };

// Writes raw as collapsed to w, which has room for raw.size() characters; returns the end of
// what it wrote. With char16_t each byte is its character: raw must then be ASCII.
template <typename Ch>
Ch* WriteCollapsed(std::string_view raw, Space mode, Ch* w) {
  if (mode == Space::Preserve) {
    for (char c : raw) *w++ = static_cast<Ch>(c);
    return w;
  }
  bool inRun = false;
  bool runHasBreak = false;
  for (char c : raw) {
    if (IsHtmlSpace(c)) {
      inRun = true;
      runHasBreak |= c == '\n';
      continue;
    }
    if (inRun) *w++ = mode == Space::PreserveBreaks && runHasBreak ? Ch('\n') : Ch(' ');
    inRun = runHasBreak = false;
    *w++ = static_cast<Ch>(c);
  }
  if (inRun) *w++ = mode == Space::PreserveBreaks && runHasBreak ? Ch('\n') : Ch(' ');
  return w;
}

// Appends raw as collapsed to out: collapsing never gives more characters than it takes.
template <typename Out>
void AppendCollapsed(std::string_view raw, Space mode, Out& out) {
  const std::size_t base = out.size();
  out.resize(base + raw.size());
  auto* end = WriteCollapsed(raw, mode, out.data() + base);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

bool IsAscii(std::string_view s) {
  unsigned char any = 0;
  for (char c : s) any |= static_cast<unsigned char>(c);
  return any < 0x80;
}

}  // namespace

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

// ---------------------------------------------------------------------------------------------
bool Node::HasClass(std::string_view cls) const {
  const std::string* v = Attribute("class");
  if (!v || cls.empty()) return false;
  std::string_view s = *v;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsHtmlSpace(s[i])) ++i;
    std::size_t start = i;
    while (i < s.size() && !IsHtmlSpace(s[i])) ++i;
    if (i > start && s.substr(start, i - start) == cls) return true;
  }
  return false;
}

std::string_view Node::Id() const {
  if (kind != NodeKind::Element) return {};
  const std::string* v = tree->AttributeOf(*this, "id");
  return v ? std::string_view(*v) : std::string_view();
}

const std::string* Node::Attribute(std::string_view attr) const {
  return tree->AttributeOf(*this, attr);
}

const std::string* Tree::AttributeOf(const Node& n, std::string_view name) const {
  for (std::uint32_t i = 0; i < n.attrCount; ++i) {
    const auto& a = attrs_[n.attrBegin + i];
    if (a.name == name) return &a.value;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
std::shared_ptr<Tree> Tree::Parse(std::string_view html, std::string url) {
  std::shared_ptr<Tree> tree(new Tree());
  tree->url_ = std::move(url);
  std::string rewritten;
  std::string_view bounded = BoundMarkup(html, rewritten) ? std::string_view(rewritten) : html;
  ParserArena arena;
  GumboOptions options = arena.Options();
  GumboOutput* output = gumbo_parse_with_options(&options, bounded.data(), bounded.size());
  arena.EndParse();
  tree->Build(output, arena);
  tree->ResolveBase();
  return tree;
}

void Tree::Build(const void* gumboOutput, ParserArena& arena) {
  const auto* output = static_cast<const GumboOutput*>(gumboOutput);
  std::vector<Node*> open;              // the open elements of our tree, at most the cap
  std::vector<Node*> lastElementChild;  // per level of `open`
  std::vector<Node*> lastChild;         // per level of `open`
  std::uint32_t pendingStart = 0;       // the text gathered for open.back() starts here

  auto takePending = [&]() {
    TextSpan span{pendingStart, static_cast<std::uint32_t>(text_.size() - pendingStart)};
    pendingStart = static_cast<std::uint32_t>(text_.size());
    return span;
  };
  auto close = [&]() {
    open.back()->textEnd = takePending();
    open.pop_back();
    lastElementChild.pop_back();
    lastChild.pop_back();
  };
  auto append = [&](NodeKind kind) -> Node* {
    Node& n = nodes_.emplace_back();
    n.tree = this;
    n.kind = kind;
    n.order = static_cast<std::uint32_t>(nodes_.size() - 1);
    if (!open.empty()) {
      Node* p = open.back();
      n.parent = p;
      Node*& previous = lastChild.back();
      if (previous) {
        previous->next = &n;
      } else {
        p->firstChild = &n;
      }
      previous = &n;
      n.textBefore = takePending();
      if (kind == NodeKind::Element) {
        n.elementIndex = ++p->elementChildren;
        Node*& last = lastElementChild.back();
        n.prevElement = last;
        if (last) last->nextElement = &n;
        last = &n;
      }
    }
    return &n;
  };
  auto openElement = [&](GumboNode* g) -> Node* {
    // Past the cap, the element becomes a sibling of the innermost one instead of its child.
    if (open.size() >= kMaxNestingDepth) close();
    Node* n = append(NodeKind::Element);
    GumboElement& e = g->v.element;
    if (e.tag != GUMBO_TAG_UNKNOWN) {
      n->name = gumbo_normalized_tagname(e.tag);
    } else {
      GumboStringPiece piece = e.original_tag;
      gumbo_tag_from_original_text(&piece);
      std::string lower(piece.data, piece.length);
      for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      if (lower.empty()) lower = "unknown";
      n->name = names_.emplace_back(std::move(lower));
    }
    n->attrBegin = static_cast<std::uint32_t>(attrs_.size());
    for (unsigned i = 0; i < e.attributes.length; ++i) {
      auto* a = static_cast<GumboAttribute*>(e.attributes.data[i]);
      auto name = attributeNames_.find(std::string_view(a->name));
      if (name == attributeNames_.end()) name = attributeNames_.emplace(a->name).first;
      attrs_.push_back({*name, a->value});
      arena.Release(const_cast<char*>(a->name));
      arena.Release(const_cast<char*>(a->value));
      arena.Release(a);
    }
    arena.Release(e.attributes.data);
    n->attrCount = static_cast<std::uint32_t>(attrs_.size()) - n->attrBegin;
    if (!n->parent) n->elementIndex = 1;
    open.push_back(n);
    lastElementChild.push_back(nullptr);
    lastChild.push_back(nullptr);
    return n;
  };

  if (!output || !output->root) return;
  // An element's node is given back as soon as it is opened; the list of its children when it
  // ends.
  struct Frame {
    void** children;
    unsigned count;
    unsigned next;
    Node* node;
  };
  auto enter = [&](GumboNode* g) -> Frame {
    Frame f{g->v.element.children.data, g->v.element.children.length, 0, openElement(g)};
    arena.Release(g);
    return f;
  };
  std::vector<Frame> walk;
  walk.push_back(enter(output->root));
  root_ = walk.back().node;
  while (!walk.empty()) {
    Frame& f = walk.back();
    if (f.next >= f.count) {
      // The element ends; it may have been closed already by the nesting cap.
      if (!open.empty() && open.back() == f.node) close();
      arena.Release(f.children);
      walk.pop_back();
      continue;
    }
    auto* c = static_cast<GumboNode*>(f.children[f.next++]);
    switch (c->type) {
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_WHITESPACE:
      case GUMBO_NODE_CDATA:
        text_.append(c->v.text.text);
        arena.Release(const_cast<char*>(c->v.text.text));
        arena.Release(c);
        break;
      case GUMBO_NODE_COMMENT: {
        if (open.size() >= kMaxNestingDepth) close();
        Node* n = append(NodeKind::Comment);
        n->name = "!";
        auto offset = static_cast<std::uint32_t>(text_.size());
        text_.append(c->v.text.text);
        n->textEnd = {offset, static_cast<std::uint32_t>(text_.size() - offset)};
        pendingStart = static_cast<std::uint32_t>(text_.size());
        arena.Release(const_cast<char*>(c->v.text.text));
        arena.Release(c);
        break;
      }
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE:
        walk.push_back(enter(c));
        break;
      default:
        break;
    }
  }
  while (!open.empty()) close();
  // Grown by doubling; the model keeps them for as long as the page is open.
  text_.shrink_to_fit();
  attrs_.shrink_to_fit();
  styles_.resize(nodes_.size());
  cascade_.SetElementCount(nodes_.size());
}

void Tree::ResolveBase() {
  baseUrl_ = url_;
  for (const Node& n : nodes_) {
    if (!n.Is("base")) continue;
    if (const std::string* href = AttributeOf(n, "href")) {
      std::string base = ResolveUrl(url_, CleanUrlAttribute(*href));
      // A page from the web cannot point its relative references at the reader's own disk.
      if (IsWebAddress(url_) && !IsWebAddress(base)) break;
      baseUrl_ = std::move(base);
      break;
    }
  }
  fragmentBase_ = ResolveUrl(baseUrl_, "#");
}

std::string Tree::Resolve(std::string_view ref) const {
  std::string clean = CleanUrlAttribute(ref);
  // Links within the page are most of a page's links. A reference that is a fragment only
  // keeps the base up to its own fragment (or, for a base that is no hierarchy, the whole base)
  // and adds the fragment, which is what resolving "#" gave, followed by the fragment.
  if (!clean.empty() && clean[0] == '#') {
    std::string resolved;
    resolved.reserve(fragmentBase_.size() + clean.size() - 1);
    resolved.append(fragmentBase_).append(clean, 1);
    return resolved;
  }
  return ResolveUrl(baseUrl_, clean);
}

// ---------------------------------------------------------------------------------------------
Node* Tree::Body() const {
  if (!root_) return nullptr;
  for (Node* c = root_->firstChild; c; c = c->next) {
    if (c->Is("body") || c->Is("frameset")) return c;
  }
  return nullptr;
}

Node* Tree::Head() const {
  if (!root_) return nullptr;
  for (Node* c = root_->firstChild; c; c = c->next) {
    if (c->Is("head")) return c;
  }
  return nullptr;
}

std::string Tree::Title() const {
  for (const Node& n : nodes_) {
    if (!n.Is("title")) continue;
    std::string out;
    AppendCollapsed(Text(n.textEnd), Space::Collapse, out);
    std::string_view v = out;
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
    return std::string(v);
  }
  return {};
}

std::vector<Node*> Tree::Descendants(const Node* n) const {
  std::vector<Node*> out;
  if (!n) return out;
  // Document order is creation order, and a subtree is one contiguous stretch of it only
  // without the nesting cap; walking the links keeps it right either way.
  Node* c = n->firstChild;
  while (c) {
    out.push_back(c);
    if (c->firstChild) {
      c = c->firstChild;
      continue;
    }
    while (c && c != n && !c->next) c = c->parent;
    if (!c || c == n) break;
    c = c->next;
  }
  return out;
}

std::vector<Node*> Tree::Children(const Node* n) const {
  std::vector<Node*> out;
  if (!n) return out;
  for (Node* c = n->firstChild; c; c = c->next) out.push_back(c);
  return out;
}

// ---------------------------------------------------------------------------------------------
std::u16string Tree::Collapse(std::string_view raw, const Node& container) {
  std::u16string out;
  CollapseInto(raw, container, out);
  return out;
}

void Tree::CollapseInto(std::string_view raw, const Node& container, std::u16string& out) {
  if (raw.empty()) return;
  Space mode = Space::Collapse;
  const std::string& ws = StyleOf(container).Get(css::Property::WhiteSpace);
  if (ws == "pre" || ws == "pre-wrap" || ws == "break-spaces") {
    mode = Space::Preserve;
  } else if (ws == "pre-line") {
    mode = Space::PreserveBreaks;
  } else if (ws.empty()) {
    // No white-space from the cascade: the elements that preserve it by default.
    for (const Node* a = &container; a; a = a->parent) {
      if (a->Is("pre") || a->Is("textarea") || a->Is("listing") || a->Is("xmp") ||
          a->Is("plaintext")) {
        mode = Space::Preserve;
        break;
      }
    }
  }
  // Most runs are ASCII and go straight into UTF-16; collapsing never makes or splits a
  // multi-byte sequence, so the others may be collapsed first and decoded after.
  if (IsAscii(raw)) {
    AppendCollapsed(raw, mode, out);
    return;
  }
  std::string collapsed;
  AppendCollapsed(raw, mode, collapsed);
  text::DecodeUtf8(collapsed, out, text::OnInvalid::kReplace);
}

std::u16string Tree::AdjacentText(const Node& n, Where where) {
  std::u16string out;
  AdjacentText(n, where, out);
  return out;
}

void Tree::AdjacentText(const Node& n, Where where, std::u16string& out) {
  out.clear();
  const Node* container = nullptr;
  TextSpan span;
  switch (where) {
    case Where::BeforeBegin:
      container = n.parent;
      span = n.textBefore;
      break;
    case Where::AfterEnd:
      container = n.parent;
      if (n.next) {
        span = n.next->textBefore;
      } else if (n.parent) {
        span = n.parent->textEnd;
      }
      break;
    case Where::AfterBegin:
      if (n.IsComment()) return;
      container = &n;
      span = n.firstChild ? n.firstChild->textBefore : n.textEnd;
      break;
    case Where::BeforeEnd:
      if (n.IsComment()) return;
      container = &n;
      span = n.textEnd;
      break;
  }
  // Most elements stand next to another with nothing between.
  if (span.length == 0 || !container || IsHiddenText(*container)) return;
  CollapseInto(Text(span), *container, out);
}

std::u16string Tree::InnerText(const Node& n) {
  if (n.IsComment() || IsHiddenText(n)) return {};
  if (auto it = innerTexts_.find(&n); it != innerTexts_.end()) return it->second;
  std::u16string out;
  bool wantBreak = false;
  auto emit = [&](std::u16string s) {
    if (s.empty()) return;
    bool blank = s.find_first_not_of(u" ") == std::u16string::npos;
    if (wantBreak && !blank && !out.empty()) {
      while (!out.empty() && out.back() == u' ') out.pop_back();
      if (out.size() < 2 || out.compare(out.size() - 2, 2, u"\r\n") != 0) out += u"\r\n";
      wantBreak = false;
    }
    if (s.front() == u' ' && (out.empty() || out.back() == u' ' || out.back() == u'\n'))
      s.erase(0, 1);
    out += s;
    if (!blank) wantBreak = false;
  };
  struct Frame {
    const Node* node;
    const Node* next;
  };
  std::vector<Frame> stack{{&n, n.firstChild}};
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (!f.next) {
      emit(Collapse(Text(f.node->textEnd), *f.node));
      if (IsBlockForText(f.node->name)) wantBreak = true;
      stack.pop_back();
      continue;
    }
    const Node* c = f.next;
    f.next = c->next;
    emit(Collapse(Text(c->textBefore), *f.node));
    if (c->IsComment() || IsHiddenText(*c)) continue;
    if (c->Is("br")) {
      while (!out.empty() && out.back() == u' ') out.pop_back();
      out += u"\r\n";
      wantBreak = false;
      continue;
    }
    if (IsBlockForText(c->name)) wantBreak = true;
    stack.push_back({c, c->firstChild});
  }
  std::size_t start = out.find_first_not_of(u" \r\n");
  std::size_t end = out.find_last_not_of(u" \r\n");
  std::u16string text =
      start == std::u16string::npos ? std::u16string() : out.substr(start, end - start + 1);
  // Small texts are cheap to make again; large ones are kept while they fit the budget.
  if (text.size() > 256 && innerTextChars_ + text.size() <= 2 * text_.size() + 4096) {
    innerTextChars_ += text.size();
    innerTexts_.emplace(&n, text);
  }
  return text;
}

bool Tree::HasShownText(const Node& n) const {
  if (n.IsComment() || IsHiddenText(n)) return false;
  // Collapsing only turns HTML spaces into other HTML spaces and the breaks InnerText adds
  // are white space too, so the raw runs InnerText reads decide it.
  std::u16string decoded;
  auto shown = [&decoded](std::string_view raw) {
    for (std::size_t i = 0; i < raw.size(); ++i) {
      auto b = static_cast<unsigned char>(raw[i]);
      if (b >= 0x80) {
        decoded.clear();
        platform::text::DecodeUtf8(raw.substr(i), decoded, platform::text::OnInvalid::kReplace);
        for (char16_t c : decoded)
          if (!platform::text::IsUnicodeSpace(c)) return true;
        return false;
      }
      if (b != ' ' && (b < '\t' || b > '\r')) return true;
    }
    return false;
  };
  // Most elements asked have text of their own at their start: the walk below reads that run
  // first too, so the answer is the same without making its stack.
  if (shown(Text(n.firstChild ? n.firstChild->textBefore : n.textEnd))) return true;
  struct Frame {
    const Node* node;
    const Node* next;
  };
  std::vector<Frame> stack{{&n, n.firstChild}};
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (!f.next) {
      if (shown(Text(f.node->textEnd))) return true;
      stack.pop_back();
      continue;
    }
    const Node* c = f.next;
    f.next = c->next;
    if (shown(Text(c->textBefore))) return true;
    if (c->IsComment() || IsHiddenText(*c) || c->Is("br")) continue;
    stack.push_back({c, c->firstChild});
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
void Tree::InvalidateStyles() {
  ++generation_;
  innerTexts_.clear();
  innerTextChars_ = 0;
  records_.clear();
  recordIndex_.clear();
  cousins_.clear();
  warnedCutShort_ = false;
}

std::uint32_t Tree::Intern(css::ComputedStyle style) {
  std::size_t h = std::hash<const void*>()(style.custom.get());
  auto mix = [&h](std::size_t v) { h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2); };
  for (const std::string& v : style.values) mix(std::hash<std::string>()(v));
  for (std::uint64_t w : style.ancestorFilter) mix(static_cast<std::size_t>(w));
  mix(style.ancestorFilterValid ? 1 : 0);
  mix(std::hash<double>()(style.fontSize));
  mix(std::hash<double>()(style.lineHeight));
  auto [first, last] = recordIndex_.equal_range(h);
  for (auto it = first; it != last; ++it) {
    const css::ComputedStyle& r = records_[it->second];
    if (r.values == style.values && r.custom == style.custom &&
        r.ancestorFilter == style.ancestorFilter &&
        r.ancestorFilterValid == style.ancestorFilterValid &&
        r.ancestorFilterKeys == style.ancestorFilterKeys && r.SameSizes(style))
      return it->second;
  }
  static std::atomic<std::uint64_t> serials{0};
  style.serial = ++serials;
  records_.push_back(std::move(style));
  auto index = static_cast<std::uint32_t>(records_.size() - 1);
  recordIndex_.emplace(h, index);
  return index;
}

void Tree::NoteAttributeUse() {
  attrUse_.resize(attrs_.size());
  // Names are kept once per tree, so a name's use is looked up once; an id's depends on its value.
  std::unordered_map<const char*, css::Cascade::AttributeUse> byName;
  for (std::size_t i = 0; i < attrs_.size(); ++i) {
    const Attribute& a = attrs_[i];
    if (a.name == "id") {
      attrUse_[i] = cascade_.UseOf(a.name, a.value);
      continue;
    }
    auto [it, added] = byName.try_emplace(a.name.data());
    if (added) it->second = cascade_.UseOf(a.name, a.value);
    attrUse_[i] = it->second;
  }
  attrUseGeneration_ = generation_;
}

bool Tree::SameNameAndAttributes(const Node& a, const Node& b) const {
  using Use = css::Cascade::AttributeUse;
  if (a.kind != b.kind || a.name != b.name) return false;
  std::uint32_t i = 0, j = 0;
  for (;;) {
    while (i < a.attrCount && attrUse_[a.attrBegin + i] == Use::None) ++i;
    while (j < b.attrCount && attrUse_[b.attrBegin + j] == Use::None) ++j;
    if (i == a.attrCount || j == b.attrCount) return i == a.attrCount && j == b.attrCount;
    const Attribute& x = attrs_[a.attrBegin + i];
    const Attribute& y = attrs_[b.attrBegin + j];
    if (x.name != y.name) return false;
    if (attrUse_[a.attrBegin + i] == Use::Value && x.value != y.value) return false;
    ++i, ++j;
  }
}

// A previous element sibling, a few at most, whose style n would get from the cascade as well:
// the same parent (so the same ancestors), name and attributes, and no rule tried on it that
// looks at siblings. Lists, table rows and runs of paragraphs are mostly such siblings.
const Tree::StyleSlot* Tree::LikeSibling(const Node& n, std::uint64_t lineage) const {
  constexpr int kLookBack = 4;
  int looked = 0;
  for (const Node* s = n.prevElement; s && looked < kLookBack; s = s->prevElement, ++looked) {
    const StyleSlot& slot = styles_[s->order];
    // Siblings share their ancestors, so a like one has the same lineage hash.
    if (slot.generation == generation_ && slot.shareable && slot.lineage == lineage &&
        SameNameAndAttributes(*s, n))
      return &slot;
  }
  return nullptr;
}

namespace {

// Whether n and its parent are first and last element children, as two bits each.
std::uint64_t FirstLastBits(const Node& n) {
  auto bits = [](const Node& x) { return (x.prevElement ? 0u : 1u) | (x.nextElement ? 0u : 2u); };
  return bits(n) | (n.parent ? bits(*n.parent) << 2 : 0u);
}

// Where elements whose style depends on FirstLastBits are found as cousins.
std::uint64_t FirstLastKey(std::uint64_t key, const Node& n) {
  return (key ^ 0xC2B2AE3D27D4EB4Full) * 0x9E3779B97F4A7C15ull + FirstLastBits(n);
}

}  // namespace

// An element elsewhere whose style n would get as well: the same names and attributes on
// both up to a common ancestor (or both roots), parents with the same style, and no rule
// tried on it that looks at siblings anywhere, or only to ask whether it (and its parent) is a
// first or last child, which n must then be too. The spans and links of one kind of paragraph
// are mostly such cousins, and so are the paragraphs of table cells and list items.
const Tree::StyleSlot* Tree::LikeCousin(const Node& n, std::uint64_t key) const {
  auto it = cousins_.find(key);
  if (it == cousins_.end()) return nullptr;
  const Node* c = it->second;
  const StyleSlot& slot = styles_[c->order];
  if (slot.generation != generation_ || !slot.cousinShareable || !c->parent != !n.parent)
    return nullptr;
  if (n.parent && styles_[c->parent->order].record != styles_[n.parent->order].record)
    return nullptr;
  if (slot.cousinFirstLastDepth >= 0) {
    const std::uint64_t mask = slot.cousinFirstLastDepth == 0 ? 0x3 : 0xF;
    if ((FirstLastBits(n) & mask) != (FirstLastBits(*c) & mask)) return nullptr;
  }
  if (!SameNameAndAttributes(n, *c)) return nullptr;
  for (const Node *a = n.parent, *b = c->parent; a != b; a = a->parent, b = b->parent) {
    if (!a || !b) return nullptr;
    // Ancestors already found alike need not be compared up to where they meet.
    if (styles_[a->order].alike == styles_[b->order].alike) break;
    if (!SameNameAndAttributes(*a, *b)) return nullptr;
  }
  return &slot;
}

void Tree::ComputeStyle(const Node& x) {
  auto mix = [](std::uint64_t h, std::uint64_t v) {
    return h ^ (v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2));
  };
  std::uint64_t lineage = x.parent ? styles_[x.parent->order].lineage : 0x51ED270B27C1A3ull;
  lineage = mix(lineage, std::hash<std::string_view>()(x.name));
  for (std::uint32_t i = 0; i < x.attrCount; ++i) {
    const css::Cascade::AttributeUse use = attrUse_[x.attrBegin + i];
    if (use == css::Cascade::AttributeUse::None) continue;
    const Attribute& a = attrs_[x.attrBegin + i];
    lineage = mix(lineage, std::hash<std::string_view>()(a.name));
    if (use == css::Cascade::AttributeUse::Value) {
      lineage = mix(lineage, std::hash<std::string_view>()(a.value));
    }
  }
  const std::uint64_t key =
      mix(lineage, x.parent ? styles_[x.parent->order].record : 0xFFFFFFFFull);
  if (!x.IsComment()) {
    const StyleSlot* like = LikeSibling(x, lineage);
    if (!like) like = LikeCousin(x, key);
    if (!like) like = LikeCousin(x, FirstLastKey(key, x));
    if (like && cascade_.ChargeReuse(like->work)) {
      StyleSlot copy = *like;
      styles_[x.order] = copy;
      return;
    }
  }
  const css::ComputedStyle* parentStyle =
      x.parent ? &records_[styles_[x.parent->order].record] : nullptr;
  std::string_view styleAttribute;
  if (!x.IsComment()) {
    if (const std::string* s = AttributeOf(x, "style")) styleAttribute = *s;
  }
  css::Cascade::Notes notes;
  std::uint32_t record = Intern(cascade_.Compute(x, parentStyle, styleAttribute, &notes));
  auto& slot = styles_[x.order];
  slot.record = record;
  slot.generation = generation_;
  slot.lineage = lineage;
  slot.alike = x.order;
  // A rule that looks at no siblings anywhere treats a like sibling as any like cousin.
  bool counted = notes.work <= std::numeric_limits<std::uint32_t>::max();
  slot.cousinShareable = counted && notes.cousinFirstLastDepth >= -1 && !x.IsComment();
  slot.cousinFirstLastDepth = static_cast<std::int8_t>(notes.cousinFirstLastDepth);
  slot.shareable =
      (slot.cousinShareable && notes.cousinIndependent) || (counted && notes.siblingIndependent);
  slot.work = counted ? static_cast<std::uint32_t>(notes.work) : 0;
  if (slot.cousinShareable) {
    cousins_[slot.cousinFirstLastDepth < 0 ? key : FirstLastKey(key, x)] = &x;
  }
}

const css::ComputedStyle& Tree::StyleOf(const Node& n) {
  if (styles_.size() < nodes_.size()) styles_.resize(nodes_.size());
  if (attrUseGeneration_ != generation_) NoteAttributeUse();
  auto valid = [&](const Node* x) { return styles_[x->order].generation == generation_; };
  if (!valid(&n)) {
    // Ancestors first, as each style is computed from its parent's.
    styleChain_.clear();
    for (const Node* x = &n; x && !valid(x); x = x->parent) styleChain_.push_back(x);
    for (auto it = styleChain_.rbegin(); it != styleChain_.rend(); ++it) ComputeStyle(**it);
    if (!warnedCutShort_ && cascade_.MatchingCutShort()) {
      warnedCutShort_ = true;
      if (warn_) {
        warn_(url_ +
              ": too many style rules to match against every element; the rest of the page "
              "keeps its default styles");
      }
    }
  }
  return records_[styles_[n.order].record];
}

}  // namespace platform::mshtml
