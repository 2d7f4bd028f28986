// The longhand properties the cascade keeps, one row each; the enum, the names, inheritance,
// initial values, value parsers and the document model's currentStyle getters all follow from
// this list, so a property is added in one place.
#pragma once

// X(Enum, "css name", inherited, "initial value", parser, getter, form)
//   parser: values.cpp's check of a one-component value, giving the reported text
//   getter: the IHTMLCurrentStyle method that reports it
//   form:   Variant (a VT_BSTR VARIANT) or String (a BSTR)
// The order is the enum's and must not change: values are kept in arrays by it.
#define NB_CSS_LONGHANDS(X)                                                                       \
  X(FontSize, "font-size", true, "medium", FontSizeText, get_fontSize, Variant)                   \
  X(LineHeight, "line-height", true, "normal", LineHeightText, get_lineHeight, Variant)           \
  X(Color, "color", true, "#000000", ColorOf, get_color, Variant)                                 \
  X(BackgroundColor, "background-color", false, "transparent", ColorOf, get_backgroundColor,      \
    Variant)                                                                                      \
  X(FontWeight, "font-weight", true, "400", FontWeightText, get_fontWeight, Variant)              \
  X(MarginTop, "margin-top", false, "0px", MarginText, get_marginTop, Variant)                    \
  X(MarginBottom, "margin-bottom", false, "0px", MarginText, get_marginBottom, Variant)           \
  X(TextAlign, "text-align", true, "left", TextAlignText, get_textAlign, String)                  \
  X(BorderStyle, "border-top-style", false, "none", BorderStyleText, get_borderStyle, String)     \
  X(PageBreakAfter, "page-break-after", false, "auto", PageBreakText, get_pageBreakAfter, String) \
  X(Display, "display", false, "inline", DisplayText, get_display, String)                        \
  X(WhiteSpace, "white-space", true, "normal", WhiteSpaceText, get_whiteSpace, String)
