// An interface of this document model's own, beside the MSHTML-shaped ones: an element's
// computed style record, the one its currentStyle reports from. A reader in this process that
// finds it (QueryInterface on an element) reads the values without a style object and a
// VARIANT per property; a document of another origin does not answer it, and is read through
// currentStyle as before.
#pragma once

#include "platform/com/com.h"
#include "platform/mshtml/css/cascade.h"

extern "C" const IID IID_IComputedStyleRecord;

struct IComputedStyleRecord : IUnknown {
  // *style: the element's record, borrowed, current with the document's style sheets; good
  // while the element is held and until a style sheet is added. Values are the UTF-8 text
  // currentStyle gives ("12pt", "bold", "" when the cascade gives none).
  virtual HRESULT GetComputedStyle(const platform::mshtml::css::ComputedStyle** style) = 0;

 protected:
  ~IComputedStyleRecord() = default;
};
