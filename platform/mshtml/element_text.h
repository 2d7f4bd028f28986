// An interface of this document model's own: whether an element shows any text, answered
// without building its inner text. A converter that only asks "is there anything here"
// of nested inline elements would otherwise rebuild the same text once per level; a document
// of another origin does not answer it, and innerText is read as before.
#pragma once

#include "platform/com/com.h"
#include "platform/mshtml/mshtml.h"

extern "C" const IID IID_IElementText;

struct IElementText : IUnknown {
  // *shown: TRUE when innerText holds a character other than Unicode white space.
  virtual HRESULT HasShownText(BOOL* shown) = 0;

 protected:
  ~IElementText() = default;
};
