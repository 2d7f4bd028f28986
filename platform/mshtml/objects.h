// The COM objects of the document model and what they share: a count of live objects that
// tests check for leaks, and the text and position helpers of their members.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/mshtml/host.h"
#include "platform/mshtml/mshtml.h"
#include "platform/mshtml/tree.h"

namespace platform::mshtml {

// Objects of the model alive in this process (documents, elements, collections, styles, ...).
long LiveObjectCount();

namespace detail {
void CountObject(int delta);
}

// Counts itself in LiveObjectCount for as long as it lives.
struct LiveObject {
  LiveObject() { detail::CountObject(1); }
  LiveObject(const LiveObject&) = delete;
  LiveObject& operator=(const LiveObject&) = delete;
  ~LiveObject() { detail::CountObject(-1); }
};

// A BSTR of UTF-8 text, for out parameters.
BSTR Bstr(std::string_view utf8);
BSTR Bstr(const std::u16string& text);
HRESULT PutBstr(BSTR* out, std::string_view utf8);
void PutVariantString(VARIANT* out, std::string_view utf8);

// A position from a VARIANT (VT_I2, VT_I4, VT_INT, VT_UINT, VT_UI4); false for other types.
bool VariantPosition(const VARIANT& v, long* position);

// The COM object for a node: the same one while it is alive.
HRESULT ElementFor(const std::shared_ptr<Tree>& tree, Node* node, REFIID iid, void** out);

// A collection over a fixed list of nodes.
HRESULT NewElementCollection(std::shared_ptr<Tree> tree, std::vector<Node*> nodes, REFIID iid,
                             void** out);

class Document;
// A frame's window: holds the frame's document.
HRESULT NewWindow(IHTMLDocument2* document, IHTMLWindow2** out);
HRESULT NewFramesCollection(std::vector<ComPtr<IHTMLWindow2>> windows,
                            IHTMLFramesCollection2** out);
HRESULT NewStyleSheet(std::u16string href, IHTMLStyleSheet** out);
HRESULT NewStyleSheetsCollection(std::vector<std::u16string> hrefs,
                                 IHTMLStyleSheetsCollection** out);

}  // namespace platform::mshtml
