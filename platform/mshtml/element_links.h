// An interface of this document model's own: an element's first child and next sibling, the
// same nodes in the same order as its children collection (elements and comments). A walk of
// the whole tree through it makes no collection per element; a document of another origin does
// not answer it, and is walked through children as before.
#pragma once

#include "platform/com/com.h"
#include "platform/mshtml/mshtml.h"

extern "C" const IID IID_IElementLinks;

struct IElementLinks : IUnknown {
  // *child: the first item of children; NULL (and S_OK) when there is none.
  virtual HRESULT GetFirstChild(IHTMLElement** child) = 0;
  // *next: the item after this one in its parent's children; NULL (and S_OK) after the last.
  virtual HRESULT GetNextSibling(IHTMLElement** next) = 0;

 protected:
  ~IElementLinks() = default;
};
