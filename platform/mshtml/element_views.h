// An interface of this document model's own: an element's name and the text runs next to it,
// lent as views of what the model keeps, where get_tagName and getAdjacentText make a new BSTR
// for each call. A walk asks both of every element at its start and at its end; a document of
// another origin does not answer it, and is read through the BSTR calls as before.
#pragma once

#include "platform/com/com.h"
#include "platform/mshtml/mshtml.h"

extern "C" const IID IID_IElementViews;

// The places of getAdjacentText ("beforeBegin", "afterBegin", "beforeEnd", "afterEnd").
enum class AdjacentPlace { kBeforeBegin, kAfterBegin, kBeforeEnd, kAfterEnd };

struct IElementViews : IUnknown {
  // *name, *length: the element's local name in UTF-8 as the model keeps it, which get_tagName
  // gives in ASCII upper case ("!" for a comment); good while the element is held.
  virtual HRESULT GetLocalName(const char** name, UINT* length) = 0;
  // *text, *length: the text getAdjacentText gives at where, in UTF-16 and not NUL-terminated;
  // an empty run has length 0. Good until the next LendAdjacentText on an element of the
  // same document.
  virtual HRESULT LendAdjacentText(AdjacentPlace where, const char16_t** text, UINT* length) = 0;

 protected:
  ~IElementViews() = default;
};
