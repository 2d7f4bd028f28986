#include "parser/style/ElementStyle.h"

#include "platform/text/text.h"

namespace {

using platform::mshtml::css::Property;

Property ModelProperty(StyleProp p) {
  switch (p) {
    case StyleProp::kFontSize:
      return Property::FontSize;
    case StyleProp::kLineHeight:
      return Property::LineHeight;
    case StyleProp::kColor:
      return Property::Color;
    case StyleProp::kBackgroundColor:
      return Property::BackgroundColor;
    case StyleProp::kFontWeight:
      return Property::FontWeight;
    case StyleProp::kMarginTop:
      return Property::MarginTop;
    case StyleProp::kMarginBottom:
      return Property::MarginBottom;
    case StyleProp::kTextAlign:
      return Property::TextAlign;
    case StyleProp::kBorderStyle:
      return Property::BorderStyle;
    case StyleProp::kPageBreakAfter:
      return Property::PageBreakAfter;
    case StyleProp::kDisplay:
      return Property::Display;
    case StyleProp::kWhiteSpace:
      return Property::WhiteSpace;
  }
  return Property::Display;
}

// UTF-8 into out as UTF-16; computed values are nearly always ASCII, which needs no decoder.
void Widen(std::string_view utf8, std::u16string& out) {
  out.resize(utf8.size());
  char16_t* w = out.data();
  for (char c : utf8) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      out = platform::text::Utf8ToUtf16(utf8);
      return;
    }
    *w++ = static_cast<char16_t>(c);
  }
}

// A VARIANT getter's result: unset when the call failed or its value field is 0 (so an integer
// 0 counts as unset as well as a NULL string).
StyleValue FromVariant(HRESULT hr, const VARIANT& v, std::u16string& buffer) {
  StyleValue value;
  if (FAILED(hr)) return value;
  switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return value;
    case VT_BSTR:
      if (!v.bstrVal) return value;
      buffer.assign(v.bstrVal, SysStringLen(v.bstrVal));
      value.kind = StyleValue::kText;
      value.text = buffer.c_str();
      return value;
    case VT_I4:
      if (v.lVal == 0) return value;
      value.kind = StyleValue::kNumber;
      value.number = v.lVal;
      return value;
    case VT_INT:
    case VT_UINT:
    case VT_UI4:
      if (v.lVal == 0) return value;
      value.kind = StyleValue::kOther;
      return value;
    default:
      if (v.llVal == 0) return value;
      value.kind = StyleValue::kOther;
      return value;
  }
}

StyleValue FromString(HRESULT hr, const BStr& s, std::u16string& buffer) {
  StyleValue value;
  if (FAILED(hr) || !s) return value;
  buffer.assign(s.Get(), s.Length());
  value.kind = StyleValue::kText;
  value.text = buffer.c_str();
  return value;
}

}  // namespace

CElementStyle::CElementStyle(IHTMLCurrentStyle* style) : m_pStyle(style) {}

CElementStyle CElementStyle::Of(IHTMLElement2* element) {
  CElementStyle style;
  if (!element) return style;
  if (SUCCEEDED(element->QueryInterface(IID_IComputedStyleRecord,
                                        style.m_pRecord.ReleaseAndGetVoidAddress())) &&
      style.m_pRecord) {
    return style;
  }
  style.m_pRecord = nullptr;
  if (FAILED(element->get_currentStyle(&style.m_pStyle))) style.m_pStyle = nullptr;
  return style;
}

StyleValue CElementStyle::Get(StyleProp p) const {
  if (m_pRecord) {
    const platform::mshtml::css::ComputedStyle* record = nullptr;
    if (FAILED(m_pRecord->GetComputedStyle(&record)) || !record) return {};
    // As the model's currentStyle reports every property: a string, empty or not.
    Widen(record->Get(ModelProperty(p)), m_strBuffer);
    return {StyleValue::kText, 0, m_strBuffer.c_str()};
  }
  if (!m_pStyle) return {};
  IHTMLCurrentStyle* s = m_pStyle.Get();
  auto variant = [&](HRESULT (IHTMLCurrentStyle::*getter)(VARIANT*)) {
    ScopedVariant v;
    HRESULT hr = (s->*getter)(&v);
    return FromVariant(hr, v, m_strBuffer);
  };
  auto string = [&](HRESULT (IHTMLCurrentStyle::*getter)(BSTR*)) {
    BStr b;
    HRESULT hr = (s->*getter)(&b);
    return FromString(hr, b, m_strBuffer);
  };
  switch (p) {
    case StyleProp::kFontSize:
      return variant(&IHTMLCurrentStyle::get_fontSize);
    case StyleProp::kLineHeight:
      return variant(&IHTMLCurrentStyle::get_lineHeight);
    case StyleProp::kColor:
      return variant(&IHTMLCurrentStyle::get_color);
    case StyleProp::kBackgroundColor:
      return variant(&IHTMLCurrentStyle::get_backgroundColor);
    case StyleProp::kFontWeight:
      return variant(&IHTMLCurrentStyle::get_fontWeight);
    case StyleProp::kMarginTop:
      return variant(&IHTMLCurrentStyle::get_marginTop);
    case StyleProp::kMarginBottom:
      return variant(&IHTMLCurrentStyle::get_marginBottom);
    case StyleProp::kTextAlign:
      return string(&IHTMLCurrentStyle::get_textAlign);
    case StyleProp::kBorderStyle:
      return string(&IHTMLCurrentStyle::get_borderStyle);
    case StyleProp::kPageBreakAfter:
      return string(&IHTMLCurrentStyle::get_pageBreakAfter);
    case StyleProp::kDisplay:
      return string(&IHTMLCurrentStyle::get_display);
    case StyleProp::kWhiteSpace:
      return string(&IHTMLCurrentStyle::get_whiteSpace);
  }
  return {};
}

const platform::mshtml::css::ComputedStyle* CElementStyle::Record() const {
  const platform::mshtml::css::ComputedStyle* record = nullptr;
  if (!m_pRecord || FAILED(m_pRecord->GetComputedStyle(&record))) return nullptr;
  return record;
}

bool CElementStyle::TextIs(StyleProp p, std::u16string_view value) const {
  const platform::mshtml::css::ComputedStyle* record = m_pRecord ? Record() : nullptr;
  bool ascii = true;
  for (char16_t c : value) ascii = ascii && c < 0x80;
  if (!record || !ascii) return Text(p) == value;
  // The record's UTF-8 against ASCII: equal byte for character, without widening it.
  std::string_view text = record->Get(ModelProperty(p));
  if (text.size() != value.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) != value[i]) return false;
  }
  return true;
}

std::u16string_view CElementStyle::Text(StyleProp p) const {
  StyleValue v = Get(p);
  return v.kind == StyleValue::kText ? std::u16string_view(v.text) : std::u16string_view();
}
