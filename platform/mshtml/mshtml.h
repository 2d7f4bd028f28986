// The browser's document model, as the system calls it: the MSHTML-shaped COM interfaces.
// Every method returns an HRESULT; out parameters are set to NULL/empty before anything can
// fail; whoever obtains an interface or a BSTR frees it. `long` of the original is LONG (32 bits).
#pragma once

#include "platform/com/com.h"

extern "C" const CLSID CLSID_HTMLDocument;

extern "C" const IID IID_IHTMLDocument2;
extern "C" const IID IID_IHTMLElement;
extern "C" const IID IID_IHTMLElement2;
extern "C" const IID IID_IHTMLElementCollection;
extern "C" const IID IID_IHTMLCurrentStyle;
extern "C" const IID IID_IHTMLCommentElement;
extern "C" const IID IID_IHTMLAnchorElement;
extern "C" const IID IID_IHTMLImgElement;
extern "C" const IID IID_IHTMLHRElement;
extern "C" const IID IID_IHTMLFramesCollection2;
extern "C" const IID IID_IHTMLWindow2;
extern "C" const IID IID_IHTMLStyleSheetsCollection;
extern "C" const IID IID_IHTMLStyleSheet;

struct IHTMLElement;
struct IHTMLElementCollection;
struct IHTMLFramesCollection2;
struct IHTMLStyleSheetsCollection;
struct IHTMLStyleSheet;
struct IHTMLCurrentStyle;

struct IHTMLDocument2 : IDispatch {
  // The document's address ("about:blank" for a document made with CoCreateInstance).
  virtual HRESULT get_URL(BSTR* p) = 0;
  virtual HRESULT get_title(BSTR* p) = 0;
  virtual HRESULT get_body(IHTMLElement** p) = 0;
  virtual HRESULT get_all(IHTMLElementCollection** p) = 0;
  virtual HRESULT get_frames(IHTMLFramesCollection2** p) = 0;
  virtual HRESULT get_styleSheets(IHTMLStyleSheetsCollection** p) = 0;
  // Loads the sheet at href (through the internet session or from disk) and inserts it into
  // the cascade at index (-1: last).
  virtual HRESULT createStyleSheet(BSTR href, LONG index, IHTMLStyleSheet** p) = 0;
  // Appends the VT_BSTR elements of a VT_VARIANT vector, then a line break, to the document
  // and (re)parses it.
  virtual HRESULT writeln(SAFEARRAY* psarray) = 0;
  virtual HRESULT put_designMode(BSTR v) = 0;
  virtual HRESULT get_designMode(BSTR* p) = 0;

 protected:
  ~IHTMLDocument2() = default;
};

struct IHTMLElement : IDispatch {
  // Upper case ("P", "IMG"); "!" for a comment.
  virtual HRESULT get_tagName(BSTR* p) = 0;
  virtual HRESULT get_id(BSTR* p) = 0;
  virtual HRESULT get_innerText(BSTR* p) = 0;
  virtual HRESULT get_parentElement(IHTMLElement** p) = 0;
  // An IHTMLElementCollection of the element children and comments (never text).
  virtual HRESULT get_children(IDispatch** p) = 0;
  // An IHTMLElementCollection of all descendant elements in document order.
  virtual HRESULT get_all(IDispatch** p) = 0;
  // An attribute as written (VT_BSTR), or VT_NULL when absent. Used by the host and tests.
  virtual HRESULT getAttribute(BSTR name, LONG flags, VARIANT* value) = 0;

 protected:
  ~IHTMLElement() = default;
};

struct IHTMLElement2 : IDispatch {
  virtual HRESULT get_currentStyle(IHTMLCurrentStyle** p) = 0;
  // where: "beforeBegin", "afterBegin", "beforeEnd", "afterEnd" (case-insensitive).
  virtual HRESULT getAdjacentText(BSTR where, BSTR* text) = 0;

 protected:
  ~IHTMLElement2() = default;
};

struct IHTMLElementCollection : IDispatch {
  virtual HRESULT get_length(LONG* p) = 0;
  // name: VT_UINT/VT_I4 position, or VT_BSTR id/name; index: empty, or the position among
  // the items with that name. *pdisp is NULL (and S_OK) when nothing is there.
  virtual HRESULT item(VARIANT name, VARIANT index, IDispatch** pdisp) = 0;
  // A sub-collection of the elements with that tag name (VT_BSTR, case-insensitive).
  virtual HRESULT tags(VARIANT tagName, IDispatch** pdisp) = 0;

 protected:
  ~IHTMLElementCollection() = default;
};

// Cascaded values as text, after inheritance ("12pt", "2em", "bold", "#ff0000"). A font size or
// line height that is only inherited is the parent's computed size when the parent's is
// relative (css/font_size.h).
struct IHTMLCurrentStyle : IDispatch {
  virtual HRESULT get_fontSize(VARIANT* p) = 0;
  virtual HRESULT get_lineHeight(VARIANT* p) = 0;
  virtual HRESULT get_color(VARIANT* p) = 0;
  virtual HRESULT get_backgroundColor(VARIANT* p) = 0;
  virtual HRESULT get_fontWeight(VARIANT* p) = 0;
  virtual HRESULT get_marginTop(VARIANT* p) = 0;
  virtual HRESULT get_marginBottom(VARIANT* p) = 0;
  virtual HRESULT get_textAlign(BSTR* p) = 0;
  virtual HRESULT get_borderStyle(BSTR* p) = 0;
  virtual HRESULT get_pageBreakAfter(BSTR* p) = 0;
  virtual HRESULT get_display(BSTR* p) = 0;
  // "normal", "pre", "nowrap", "pre-wrap", "pre-line" (IHTMLCurrentStyle3 of the browser).
  virtual HRESULT get_whiteSpace(BSTR* p) = 0;

 protected:
  ~IHTMLCurrentStyle() = default;
};

struct IHTMLCommentElement : IDispatch {
  // The whole comment, "<!--" and "-->" included.
  virtual HRESULT get_text(BSTR* p) = 0;

 protected:
  ~IHTMLCommentElement() = default;
};

struct IHTMLAnchorElement : IDispatch {
  virtual HRESULT get_href(BSTR* p) = 0;  // absolute
  virtual HRESULT get_name(BSTR* p) = 0;

 protected:
  ~IHTMLAnchorElement() = default;
};

struct IHTMLImgElement : IDispatch {
  virtual HRESULT get_href(BSTR* p) = 0;  // absolute address of src
  virtual HRESULT get_src(BSTR* p) = 0;

 protected:
  ~IHTMLImgElement() = default;
};

struct IHTMLHRElement : IDispatch {
  // The size attribute as VT_BSTR, or VT_EMPTY when there is none.
  virtual HRESULT get_size(VARIANT* p) = 0;

 protected:
  ~IHTMLHRElement() = default;
};

struct IHTMLFramesCollection2 : IDispatch {
  // pvarIndex: VT_UINT/VT_I4 position; *pvarResult: VT_DISPATCH of an IHTMLWindow2.
  virtual HRESULT item(VARIANT* pvarIndex, VARIANT* pvarResult) = 0;
  virtual HRESULT get_length(LONG* p) = 0;

 protected:
  ~IHTMLFramesCollection2() = default;
};

struct IHTMLWindow2 : IHTMLFramesCollection2 {
  virtual HRESULT get_document(IHTMLDocument2** p) = 0;

 protected:
  ~IHTMLWindow2() = default;
};

struct IHTMLStyleSheetsCollection : IDispatch {
  virtual HRESULT get_length(LONG* p) = 0;
  // *pvarResult: VT_DISPATCH of an IHTMLStyleSheet.
  virtual HRESULT item(VARIANT* pvarIndex, VARIANT* pvarResult) = 0;

 protected:
  ~IHTMLStyleSheetsCollection() = default;
};

struct IHTMLStyleSheet : IDispatch {
  // As written in the page: empty for a <style> element.
  virtual HRESULT get_href(BSTR* p) = 0;

 protected:
  ~IHTMLStyleSheet() = default;
};
