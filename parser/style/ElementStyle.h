// One element's computed style as the engine reads it. On this process's document model the
// values come straight from the model's style record; any other document (one from elsewhere,
// the tests' fake) is read through IHTMLCurrentStyle, one VARIANT or BSTR per property. Both
// give the same values for the same style.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/com.h"
#include "platform/mshtml/computed_style.h"
#include "platform/mshtml/mshtml.h"

// The properties the engine reads.
enum class StyleProp {
  kFontSize,
  kLineHeight,
  kColor,
  kBackgroundColor,
  kFontWeight,
  kMarginTop,
  kMarginBottom,
  kTextAlign,
  kBorderStyle,
  kPageBreakAfter,
  kDisplay,
  kWhiteSpace
};

// A property's value as a getter gave it.
struct StyleValue {
  enum Kind {
    kUnset,   // the call failed, or gave no value (VT_EMPTY, VT_NULL, a NULL string, a 0)
    kNumber,  // VT_I4: number
    kText,    // a string: text, NUL-terminated
    kOther    // another VARIANT type
  };
  Kind kind = kUnset;
  LONG number = 0;
  const WCHAR* text = nullptr;
};

class CElementStyle {
 public:
  // No style: false in a test.
  CElementStyle() = default;
  // Read through currentStyle; holds a reference to style (which may be NULL).
  explicit CElementStyle(IHTMLCurrentStyle* style);
  // The style of element (an element of any document): its record when the element answers
  // IComputedStyleRecord, else its currentStyle. No style when neither can be had.
  static CElementStyle Of(IHTMLElement2* element);

  CElementStyle(CElementStyle&&) = default;
  CElementStyle& operator=(CElementStyle&&) = default;
  CElementStyle(const CElementStyle&) = delete;
  CElementStyle& operator=(const CElementStyle&) = delete;

  explicit operator bool() const { return m_pRecord || m_pStyle; }

  // The value of p; its text is good until the next Get or Text on this object.
  StyleValue Get(StyleProp p) const;
  // The value of p when it is text; empty otherwise. Good until the next Get or Text.
  std::u16string_view Text(StyleProp p) const;
  // Text(p) == value, read without making the text where the model's record gives it.
  bool TextIs(StyleProp p, std::u16string_view value) const;
  // The model's record of the style when it gives one (every value as text); else null.
  const platform::mshtml::css::ComputedStyle* Record() const;

 private:
  ComPtr<IComputedStyleRecord> m_pRecord;
  ComPtr<IHTMLCurrentStyle> m_pStyle;
  mutable std::u16string m_strBuffer;
};
