// The walk of a document's element tree in document order, with the marker comments that
// bound the region to convert and the regions to leave out.
#include <vector>

#include "parser/engine/HtmlPageConverter.h"
#include "platform/mshtml/element_links.h"

namespace {

enum class Marker { kNone, kEnd, kStart, kExceptStart, kExceptEnd };

Marker ClassifyComment(const CHtmlPageConverter& conv, IDispatch* node) {
  // Without markers no comment is one, and the comment's text need not be made.
  if (conv.m_strEndComment.empty() && conv.m_strStartComment.empty() &&
      conv.m_strStartExceptComment.empty() && conv.m_strEndExceptComment.empty()) {
    return Marker::kNone;
  }
  ComPtr<IHTMLCommentElement> comment;
  if (FAILED(node->QueryInterface(IID_IHTMLCommentElement, comment.ReleaseAndGetVoidAddress())) ||
      !comment) {
    return Marker::kNone;
  }
  BStr text;
  std::u16string whole;
  if (SUCCEEDED(comment->get_text(&text))) whole = text.Str();
  // An unset marker is empty and matches nothing (the old code let it match "<!---->", and an
  // empty except marker then left out the rest of the page).
  auto is = [&whole](const std::u16string& marker) {
    return !marker.empty() && whole.size() == marker.size() + 7 && whole.starts_with(u"<!--") &&
           whole.ends_with(u"-->") && whole.compare(4, marker.size(), marker) == 0;
  };
  if (is(conv.m_strEndComment)) return Marker::kEnd;
  if (is(conv.m_strStartComment)) return Marker::kStart;
  if (is(conv.m_strStartExceptComment)) return Marker::kExceptStart;
  if (is(conv.m_strEndExceptComment)) return Marker::kExceptEnd;
  return Marker::kNone;
}

ComPtr<IHTMLElementCollection> ChildrenOf(IHTMLElement* element, LONG* count) {
  *count = 0;
  ComPtr<IDispatch> children;
  ComPtr<IHTMLElementCollection> collection;
  if (FAILED(element->get_children(&children)) || !children ||
      FAILED(children.As(IID_IHTMLElementCollection, std::addressof(collection))) || !collection ||
      FAILED(collection->get_length(count))) {
    *count = 0;
    return nullptr;
  }
  return collection;
}

}  // namespace

// Walked with a stack of its own rather than by recursion, so that a page nested tens of
// thousands of levels deep cannot exhaust the thread's stack; the order of the handler calls is
// that of the recursive walk.
int CHtmlPageConverter::WalkNode(IDispatch* node) {
  if (!node) return -1;
  ComPtr<IHTMLElement> element;
  if (FAILED(node->QueryInterface(IID_IHTMLElement, element.ReleaseAndGetVoidAddress())) ||
      !element) {
    return -2;
  }

  // The children of an element of our own document model are followed by their links, with
  // no collection per element; those of any other document through its children collection.
  struct Level {
    ComPtr<IDispatch> node;
    ComPtr<IHTMLElement> element;
    ComPtr<IHTMLElementCollection> children;
    LONG count = 0;
    LONG next = 0;
    bool linked = false;
    ComPtr<IHTMLElement> nextLinked;  // the child to walk next; NULL after the last
    Marker marker = Marker::kNone;
    bool hides = false;  // its content is not shown
    ElementFacts facts;  // what its start read, for its end
  };
  std::vector<Level> levels;
  levels.reserve(64);

  // Pushes the level of e, made in place (a reference to the old top is stale after it); links
  // are e's own when the caller has them already.
  auto enter = [&](ComPtr<IDispatch> n, ComPtr<IHTMLElement> e, ComPtr<IElementLinks> links) {
    Level& level = levels.emplace_back();
    level.marker = ClassifyComment(*this, n.Get());
    level.hides = StartElement(n.Get(), e.Get(), level.facts) == 3;
    if (level.hides) ++m_nHiddenDepth;
    if (links || (SUCCEEDED(e.As(IID_IElementLinks, std::addressof(links))) && links)) {
      level.linked = true;
      if (FAILED(links->GetFirstChild(&level.nextLinked))) level.nextLinked = nullptr;
    } else {
      level.children = ChildrenOf(e.Get(), &level.count);
    }
    level.node = std::move(n);
    level.element = std::move(e);
  };
  enter(ComPtr<IDispatch>(node), std::move(element), nullptr);

  while (!levels.empty()) {
    Level& top = levels.back();
    if (top.linked && top.nextLinked) {
      ComPtr<IHTMLElement> child = std::move(top.nextLinked);
      ComPtr<IElementLinks> links;
      if (SUCCEEDED(child.As(IID_IElementLinks, std::addressof(links))) && links &&
          FAILED(links->GetNextSibling(&top.nextLinked))) {
        top.nextLinked = nullptr;
      }
      // An element is a dispatch interface of itself: the node needs no query.
      ComPtr<IDispatch> childNode(static_cast<IDispatch*>(child.Get()));
      enter(std::move(childNode), std::move(child), std::move(links));
      continue;
    }
    if (top.next < top.count) {
      ScopedVariant position, none;
      position.vt = VT_UINT;
      position.uintVal = static_cast<UINT>(top.next++);
      ComPtr<IDispatch> child;
      if (FAILED(top.children->item(position, none, &child)) || !child) continue;
      ComPtr<IHTMLElement> childElement;
      if (FAILED(child.As(IID_IHTMLElement, std::addressof(childElement))) || !childElement)
        continue;
      enter(std::move(child), std::move(childElement), nullptr);
      continue;
    }
    EndElement(top.node.Get(), top.element.Get(), top.facts);
    if (top.hides) --m_nHiddenDepth;
    switch (top.marker) {
      case Marker::kEnd:
        CloseTextBlock();
        m_bOutputOn = 0;
        break;
      case Marker::kStart:
        m_bOutputOn = 1;
        break;
      case Marker::kExceptStart:
        m_bInExcept = 1;
        break;
      case Marker::kExceptEnd:
        m_bInExcept = 0;
        break;
      case Marker::kNone:
        break;
    }
    levels.pop_back();
  }
  return 0;
}
