// The parsed page: a compact tree of elements and comments built from the HTML parser's
// output, the text runs between them, and the cascade that styles it. COM objects (element.h,
// document.h) are thin views over it; they keep the tree alive through a shared_ptr, so a
// document that re-parses leaves the elements already handed out intact.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/mshtml/css/cascade.h"

namespace platform::mshtml {

class Tree;
class ElementObject;
class ParserArena;

enum class NodeKind : std::uint8_t { Element, Comment };

struct Attribute {
  std::string_view name;  // lower case, kept once per tree
  std::string value;
};

// Where a run of text lies in Tree::text_.
struct TextSpan {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

class Node final : public css::ElementView {
 public:
  // css::ElementView
  std::string_view LocalName() const override { return name; }
  std::string_view Id() const override;
  bool HasClass(std::string_view cls) const override;
  const std::string* Attribute(std::string_view attr) const override;
  const ElementView* Parent() const override { return parent; }
  const ElementView* PreviousElement() const override { return prevElement; }
  const ElementView* NextElement() const override { return nextElement; }
  std::size_t ElementIndex() const override { return elementIndex; }
  std::size_t SiblingCount() const override { return parent ? parent->elementChildren : 1; }

  bool IsComment() const { return kind == NodeKind::Comment; }
  bool Is(std::string_view localName) const {
    return kind == NodeKind::Element && name == localName;
  }

  Tree* tree = nullptr;
  Node* parent = nullptr;
  Node* firstChild = nullptr;
  Node* next = nullptr;
  Node* prevElement = nullptr;  // element siblings only: comments are no elements to CSS
  Node* nextElement = nullptr;
  std::string_view name;  // lower-case local name; "!" for a comment
  std::uint32_t attrBegin = 0;
  std::uint32_t attrCount = 0;
  std::uint32_t order = 0;            // position in document order
  std::uint32_t elementIndex = 0;     // among the parent's element children, from 1
  std::uint32_t elementChildren = 0;  // element children (comments not counted)
  NodeKind kind = NodeKind::Element;
  TextSpan textBefore;  // the text between the previous sibling (or the parent's start) and this
  TextSpan textEnd;     // elements: the text before the end; comments: the comment's inside
  // The COM object currently handed out for this node, so that one node has one identity.
  ElementObject* object = nullptr;
};

// One style sheet of the page as the styleSheets collection lists it, and how many sheets
// (its imports, then itself) it put into the cascade.
struct SheetEntry {
  std::u16string href;  // as written; empty for <style>
  std::size_t cascadeSheets = 0;
};

class Tree {
 public:
  // Parses UTF-8 markup. url is the document's address; the tree resolves hrefs against it
  // and any <base>.
  static std::shared_ptr<Tree> Parse(std::string_view html, std::string url);

  const std::string& Url() const { return url_; }
  // The address that relative references resolve against (the <base> or the document's).
  const std::string& BaseUrl() const { return baseUrl_; }
  std::string Resolve(std::string_view ref) const;

  Node* Root() const { return root_; }
  Node* Body() const;  // <body>, or <frameset>; null when neither
  Node* Head() const;
  std::string Title() const;
  const std::deque<Node>& Nodes() const { return nodes_; }

  std::string_view Text(TextSpan span) const {
    return std::string_view(text_).substr(span.offset, span.length);
  }
  const std::vector<Attribute>& Attributes() const { return attrs_; }
  const std::string* AttributeOf(const Node& n, std::string_view name) const;

  // All descendants of n (elements and comments) in document order, without recursion.
  std::vector<Node*> Descendants(const Node* n) const;
  std::vector<Node*> Children(const Node* n) const;

  // Text as the page displays it.
  enum class Where { BeforeBegin, AfterBegin, BeforeEnd, AfterEnd };
  std::u16string AdjacentText(const Node& n, Where where);
  // The same text into out (emptied first), whose storage a caller may keep from run to run.
  void AdjacentText(const Node& n, Where where, std::u16string& out);
  // The same text in a buffer of the tree's, good until the next call.
  std::u16string_view LendAdjacentText(const Node& n, Where where) {
    AdjacentText(n, where, lentRun_);
    return lentRun_;
  }
  std::u16string InnerText(const Node& n);
  // Whether InnerText(n) would hold anything but Unicode white space; stops at the first
  // character that is not.
  bool HasShownText(const Node& n) const;

  // Styles.
  css::Cascade& Cascade() { return cascade_; }
  std::vector<SheetEntry>& Sheets() { return sheets_; }
  // Drops every computed style, after the cascade changed.
  void InvalidateStyles();
  // Told once when the cascade's bound on matching work leaves author rules unmatched.
  void SetWarningSink(std::function<void(const std::string&)> warn) { warn_ = std::move(warn); }
  const css::ComputedStyle& StyleOf(const Node& n);

 private:
  Tree() = default;
  // Reads the parser's tree into ours, giving each of its pieces back to the arena once read.
  void Build(const void* gumboOutput, ParserArena& arena);
  void ResolveBase();
  std::u16string Collapse(std::string_view raw, const Node& container);
  // Appends raw as its container displays it to out.
  void CollapseInto(std::string_view raw, const Node& container, std::u16string& out);

  std::string url_;
  std::string baseUrl_;
  std::string fragmentBase_;  // "#" resolved against baseUrl_: what a fragment follows
  std::deque<Node> nodes_;
  std::deque<std::string> names_;  // local names the parser does not know
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  // Found by view, so a name already kept costs no string.
  std::unordered_set<std::string, NameHash, std::equal_to<>> attributeNames_;
  std::vector<Attribute> attrs_;
  std::string text_;
  Node* root_ = nullptr;

  css::Cascade cascade_;
  std::vector<SheetEntry> sheets_;
  // Computed styles, kept once per distinct style: siblings and cousins mostly share one, so
  // a page costs a few hundred records instead of one per element.
  std::uint32_t Intern(css::ComputedStyle style);
  struct StyleSlot {
    std::uint32_t generation = 0;
    std::uint32_t record = 0;
    std::uint32_t work = 0;        // the cascade's matching work for it
    bool shareable = false;        // a like later sibling may take this record unmatched
    bool cousinShareable = false;  // and so may a like element under like ancestors
    // When a like cousin must also be a first or last element child as this one is: 0 itself,
    // 1 also its parent (css::Cascade::Notes::cousinFirstLastDepth); -1 not.
    std::int8_t cousinFirstLastDepth = -1;
    // A hash of the names and attributes of the element and its ancestors.
    std::uint64_t lineage = 0;
    // An element (by order) whose own and ancestors' names and attributes are known to be this
    // one's: the element itself, or where its style came from when taken from a like one.
    std::uint32_t alike = 0;
  };
  void ComputeStyle(const Node& n);
  const StyleSlot* LikeSibling(const Node& n, std::uint64_t lineage) const;
  const StyleSlot* LikeCousin(const Node& n, std::uint64_t key) const;
  // Alike as far as the cascade can tell: the same name and the same attributes of use to
  // it (css::Cascade::UseOf), in the same order.
  bool SameNameAndAttributes(const Node& a, const Node& b) const;
  void NoteAttributeUse();
  // Each attribute's use to the cascade, by its place in attrs_, for the current generation.
  std::vector<css::Cascade::AttributeUse> attrUse_;
  std::uint32_t attrUseGeneration_ = 0;
  std::vector<StyleSlot> styles_;
  std::vector<const Node*> styleChain_;  // reused by StyleOf
  // Elements styled by the cascade that like cousins may take their style from, by lineage and
  // parent record.
  std::unordered_map<std::uint64_t, const Node*> cousins_;
  std::deque<css::ComputedStyle> records_;
  std::unordered_multimap<std::size_t, std::uint32_t> recordIndex_;
  std::uint32_t generation_ = 1;
  std::function<void(const std::string&)> warn_;
  bool warnedCutShort_ = false;
  // Inner text already computed, so asking a large block again and again (once per image in
  // it) stays linear; bounded by the page's size.
  std::unordered_map<const Node*, std::u16string> innerTexts_;
  std::size_t innerTextChars_ = 0;
  std::u16string lentRun_;  // LendAdjacentText's, kept from call to call for its storage
};

// ASCII upper case, as tag names are reported.
std::string UpperCase(std::string_view s);

}  // namespace platform::mshtml
