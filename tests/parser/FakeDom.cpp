#include "tests/parser/FakeDom.h"

#include <algorithm>

namespace fakedom {

namespace detail {

long g_outstanding = 0;

std::u16string W(const std::string& s) {
  return platform::com::Utf8ToUtf16(s);
}

HRESULT Str(BSTR* out, const std::string& s) {
  *out = SysAllocString(W(s));
  return S_OK;
}

template <typename... Interfaces>
class Object : public Interfaces... {
 public:
  virtual ~Object() = default;
  ULONG AddRef() override {
    ++g_outstanding;
    return ++refs_;
  }
  ULONG Release() override {
    --g_outstanding;
    return --refs_;  // the tree owns the objects; a test checks the balance
  }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 private:
  ULONG refs_ = 0;
};

template <typename T>
HRESULT Give(T* object, void** out) {
  object->AddRef();
  *out = object;
  return S_OK;
}

class Collection : public Object<IHTMLElementCollection> {
 public:
  std::vector<IDispatch*> items;
  std::vector<std::shared_ptr<Collection>> keep;
  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLElementCollection) {
      return Give(static_cast<IHTMLElementCollection*>(this), out);
    }
    return E_NOINTERFACE;
  }
  HRESULT get_length(LONG* p) override {
    *p = static_cast<LONG>(items.size());
    return S_OK;
  }
  HRESULT item(VARIANT name, VARIANT, IDispatch** out) override {
    *out = nullptr;
    if (name.vt != VT_UINT && name.vt != VT_I4) return E_INVALIDARG;
    std::size_t i = name.vt == VT_UINT ? name.uintVal : static_cast<std::size_t>(name.lVal);
    if (i >= items.size()) return S_OK;
    items[i]->AddRef();
    *out = items[i];
    return S_OK;
  }
  HRESULT tags(VARIANT tag, IDispatch** out) override;
};

}  // namespace detail
using namespace detail;

class Style : public Object<IHTMLCurrentStyle> {
 public:
  Props* props = nullptr;
  std::string defaultDisplay;
  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLCurrentStyle) {
      return Give(static_cast<IHTMLCurrentStyle*>(this), out);
    }
    return E_NOINTERFACE;
  }
  HRESULT Var(const char* name, VARIANT* v) {
    VariantInit(v);
    auto it = props->find(name);
    if (it == props->end()) return S_OK;
    if (it->second.rfind("int:", 0) == 0) {
      v->vt = VT_I4;
      v->lVal = static_cast<LONG>(std::stoul(it->second.substr(4), nullptr, 0));
      return S_OK;
    }
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocString(W(it->second));
    return S_OK;
  }
  HRESULT Text(const char* name, BSTR* out, const std::string& fallback = "") {
    *out = nullptr;
    auto it = props->find(name);
    if (it == props->end()) {
      if (!fallback.empty()) return Str(out, fallback);
      return S_OK;
    }
    return Str(out, it->second);
  }
  static bool IsProperty(const std::string& name) {
    static const char* kNames[] = {"font-size",        "line-height", "color",
                                   "background-color", "font-weight", "margin-top",
                                   "margin-bottom",    "text-align",  "border-style",
                                   "page-break-after", "display",     "white-space"};
    return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
  }
  HRESULT get_fontSize(VARIANT* v) override { return Var("font-size", v); }
  HRESULT get_lineHeight(VARIANT* v) override { return Var("line-height", v); }
  HRESULT get_color(VARIANT* v) override { return Var("color", v); }
  HRESULT get_backgroundColor(VARIANT* v) override { return Var("background-color", v); }
  HRESULT get_fontWeight(VARIANT* v) override { return Var("font-weight", v); }
  HRESULT get_marginTop(VARIANT* v) override { return Var("margin-top", v); }
  HRESULT get_marginBottom(VARIANT* v) override { return Var("margin-bottom", v); }
  HRESULT get_textAlign(BSTR* p) override { return Text("text-align", p); }
  HRESULT get_borderStyle(BSTR* p) override { return Text("border-style", p); }
  HRESULT get_pageBreakAfter(BSTR* p) override { return Text("page-break-after", p); }
  HRESULT get_display(BSTR* p) override { return Text("display", p, defaultDisplay); }
  HRESULT get_whiteSpace(BSTR* p) override { return Text("white-space", p); }
};

class Element : public Object<IHTMLElement, IHTMLElement2, IHTMLCommentElement, IHTMLAnchorElement,
                              IHTMLImgElement, IHTMLHRElement> {
 public:
  std::string tag;
  Props props;
  std::vector<Item> items;
  Element* parent = nullptr;
  Style style;
  Collection children, all;
  std::string commentText;
  bool isComment = false;

  bool Is(const char* t) const { return tag == t; }
  const std::string* Prop(const char* name) const {
    auto it = props.find(name);
    return it == props.end() ? nullptr : &it->second;
  }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLElement) {
      return Give(static_cast<IHTMLElement*>(this), out);
    }
    if (iid == IID_IHTMLElement2) return Give(static_cast<IHTMLElement2*>(this), out);
    if (iid == IID_IHTMLCommentElement && isComment) {
      return Give(static_cast<IHTMLCommentElement*>(this), out);
    }
    if (iid == IID_IHTMLAnchorElement && Is("A")) {
      return Give(static_cast<IHTMLAnchorElement*>(this), out);
    }
    if (iid == IID_IHTMLImgElement && Is("IMG")) {
      return Give(static_cast<IHTMLImgElement*>(this), out);
    }
    if (iid == IID_IHTMLHRElement && Is("HR")) return Give(static_cast<IHTMLHRElement*>(this), out);
    return E_NOINTERFACE;
  }

  // IHTMLElement
  HRESULT get_tagName(BSTR* p) override { return Str(p, isComment ? "!" : tag); }
  HRESULT get_id(BSTR* p) override {
    *p = nullptr;
    return Prop("id") ? Str(p, *Prop("id")) : S_OK;
  }
  // The text as the real model renders it: white space collapsed, a line break around blocks
  // and for <br>, nothing of comments, scripts and style sheets, trimmed. (White space is
  // collapsed even in <pre>.) A loop, so that very deep test trees need no stack.
  std::string Inner() const {
    static const char* kHidden[] = {"SCRIPT", "STYLE", "TEMPLATE", "HEAD", "TITLE", "NOFRAMES"};
    static const char* kBlocks[] = {"ADDRESS", "BLOCKQUOTE", "BODY",  "DIV", "DL", "H1", "H2",
                                    "H3",      "H4",         "H5",    "H6",  "HR", "LI", "OL",
                                    "P",       "PRE",        "TABLE", "TR",  "UL"};
    auto isOne = [](const std::string& tag, const auto& list) {
      return std::find(std::begin(list), std::end(list), tag) != std::end(list);
    };
    if (isComment || isOne(tag, kHidden)) return "";
    std::string out;
    bool wantBreak = false;
    auto trimSpaces = [&] {
      while (!out.empty() && out.back() == ' ') out.pop_back();
    };
    auto emit = [&](const std::string& run) {
      std::string s;
      for (char c : run) {
        bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        if (!space) {
          s.push_back(c);
        } else if (s.empty() || s.back() != ' ') {
          s.push_back(' ');
        }
      }
      if (s.empty()) return;
      bool blank = s == " ";
      if (wantBreak && !blank && !out.empty()) {
        trimSpaces();
        if (!out.ends_with("\r\n")) out += "\r\n";
        wantBreak = false;
      }
      if (s.front() == ' ' && (out.empty() || out.back() == ' ' || out.back() == '\n'))
        s.erase(0, 1);
      out += s;
    };
    struct Frame {
      const Element* element;
      std::size_t next;
    };
    std::vector<Frame> stack{{this, 0}};
    while (!stack.empty()) {
      Frame& f = stack.back();
      if (f.next == f.element->items.size()) {
        if (isOne(f.element->tag, kBlocks)) wantBreak = true;
        stack.pop_back();
        continue;
      }
      const Item& i = f.element->items[f.next++];
      if (!i.element) {
        emit(i.text);
        continue;
      }
      const Element& e = *i.element;
      if (e.isComment || isOne(e.tag, kHidden)) continue;
      if (e.tag == "BR") {
        trimSpaces();
        out += "\r\n";
        wantBreak = false;
        continue;
      }
      if (isOne(e.tag, kBlocks)) wantBreak = true;
      stack.push_back({&e, 0});
    }
    std::size_t start = out.find_first_not_of(" \r\n");
    if (start == std::string::npos) return "";
    return out.substr(start, out.find_last_not_of(" \r\n") - start + 1);
  }
  // No string at all for an element without text, as the real model gives.
  HRESULT get_innerText(BSTR* p) override {
    *p = nullptr;
    std::string text = Inner();
    return text.empty() ? S_OK : Str(p, text);
  }
  HRESULT get_parentElement(IHTMLElement** p) override {
    *p = nullptr;
    if (!parent) return S_OK;
    return Give(static_cast<IHTMLElement*>(parent), reinterpret_cast<void**>(p));
  }
  HRESULT get_children(IDispatch** p) override {
    return Give(static_cast<IHTMLElementCollection*>(&children), reinterpret_cast<void**>(p));
  }
  HRESULT get_all(IDispatch** p) override {
    return Give(static_cast<IHTMLElementCollection*>(&all), reinterpret_cast<void**>(p));
  }
  HRESULT getAttribute(BSTR name, LONG, VARIANT* v) override {
    VariantInit(v);
    v->vt = VT_NULL;
    // Names are matched in any case; the props are kept in lower case.
    std::string key;
    for (const char16_t* c = name; c && *c; ++c) {
      char ch = static_cast<char>(*c);
      key.push_back(ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch);
    }
    // The props hold computed style too; that is no attribute of the element.
    if (Style::IsProperty(key)) return S_OK;
    auto it = props.find(key);
    if (it == props.end()) return S_OK;
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocString(W(it->second));
    return S_OK;
  }

  // IHTMLElement2
  HRESULT get_currentStyle(IHTMLCurrentStyle** p) override {
    return Give(static_cast<IHTMLCurrentStyle*>(&style), reinterpret_cast<void**>(p));
  }
  // The run of text on one side of the element's start or end tag: "beforeBegin", "afterBegin",
  // "beforeEnd", "afterEnd" in any case; another place is refused.
  HRESULT getAdjacentText(BSTR where, BSTR* text) override {
    *text = nullptr;
    std::string w;
    for (const char16_t* c = where; c && *c; ++c) {
      char ch = static_cast<char>(*c);
      w.push_back(ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch);
    }
    std::string run;
    if (w == "afterbegin") {
      for (auto it = items.begin(); it != items.end() && !it->element; ++it) run += it->text;
    } else if (w == "beforeend") {
      for (auto it = items.rbegin(); it != items.rend() && !it->element; ++it) run = it->text + run;
    } else if (w == "beforebegin" || w == "afterend") {
      if (parent) {
        auto self = std::find_if(parent->items.begin(), parent->items.end(),
                                 [this](const Item& i) { return i.element.get() == this; });
        if (w == "beforebegin") {
          for (auto it = std::make_reverse_iterator(self);
               it != parent->items.rend() && !it->element; ++it) {
            run = it->text + run;
          }
        } else if (self != parent->items.end()) {
          for (auto it = std::next(self); it != parent->items.end() && !it->element; ++it) {
            run += it->text;
          }
        }
      }
    } else {
      return E_INVALIDARG;
    }
    return Str(text, run);
  }

  // IHTMLCommentElement
  HRESULT get_text(BSTR* p) override { return Str(p, commentText); }
  // IHTMLAnchorElement and IHTMLImgElement
  HRESULT get_href(BSTR* p) override {
    *p = nullptr;
    if (Is("IMG") && Prop("src")) return Str(p, *Prop("src"));
    return Prop("href") ? Str(p, *Prop("href")) : S_OK;
  }
  HRESULT get_name(BSTR* p) override {
    *p = nullptr;
    return Prop("name") ? Str(p, *Prop("name")) : S_OK;
  }
  // An image's address is its src; "href" still serves the tests that give it so.
  HRESULT get_src(BSTR* p) override {
    *p = nullptr;
    if (Is("IMG") && Prop("src")) return Str(p, *Prop("src"));
    return get_href(p);
  }
  // IHTMLHRElement
  HRESULT get_size(VARIANT* v) override {
    VariantInit(v);
    if (const std::string* size = Prop("size")) {
      v->vt = VT_BSTR;
      v->bstrVal = SysAllocString(W(*size));
    }
    return S_OK;
  }

  // Links the tree below this element; a loop, so that very deep test trees need no stack.
  void Link(Element* up) {
    std::vector<std::pair<Element*, Element*>> pending = {{this, up}};
    while (!pending.empty()) {
      auto [e, parentOf] = pending.back();
      pending.pop_back();
      e->LinkOne(parentOf);
      for (auto it = e->items.rbegin(); it != e->items.rend(); ++it) {
        if (it->element) pending.emplace_back(it->element.get(), e);
      }
    }
  }
  void LinkOne(Element* up) {
    parent = up;
    style.props = &props;
    // The display the user-agent style sheet gives the tag.
    static const std::pair<const char*, const char*> kDisplays[] = {
        {"ADDRESS", "block"},
        {"BLOCKQUOTE", "block"},
        {"DIV", "block"},
        {"DL", "block"},
        {"H1", "block"},
        {"H2", "block"},
        {"H3", "block"},
        {"H4", "block"},
        {"H5", "block"},
        {"H6", "block"},
        {"OL", "block"},
        {"P", "block"},
        {"PRE", "block"},
        {"UL", "block"},
        {"BODY", "block"},
        {"HR", "block"},
        {"LI", "list-item"},
        {"TABLE", "table"},
        {"TBODY", "table-row-group"},
        {"TR", "table-row"},
        {"TD", "table-cell"},
        {"TH", "table-cell"},
    };
    style.defaultDisplay = "inline";
    for (const auto& [t, display] : kDisplays) {
      if (tag == t) style.defaultDisplay = display;
    }
    for (Item& i : items) {
      if (i.element) children.items.push_back(static_cast<IHTMLElement*>(i.element.get()));
    }
  }
  void CollectAll(Collection& into) {
    std::vector<Element*> pending = {this};
    while (!pending.empty()) {
      Element* e = pending.back();
      pending.pop_back();
      if (e != this) into.items.push_back(static_cast<IHTMLElement*>(e));
      for (auto it = e->items.rbegin(); it != e->items.rend(); ++it) {
        if (it->element) pending.push_back(it->element.get());
      }
    }
  }
  // Frees deep trees without one destructor frame per level.
  ~Element() override {
    std::vector<std::shared_ptr<Element>> pending;
    for (Item& i : items) {
      if (i.element) pending.push_back(std::move(i.element));
    }
    while (!pending.empty()) {
      std::shared_ptr<Element> e = std::move(pending.back());
      pending.pop_back();
      if (e.use_count() != 1) continue;
      for (Item& i : e->items) {
        if (i.element) pending.push_back(std::move(i.element));
      }
    }
  }
};

HRESULT Collection::tags(VARIANT tag, IDispatch** out) {
  *out = nullptr;
  if (tag.vt != VT_BSTR) return E_INVALIDARG;
  auto sub = std::make_shared<Collection>();
  std::string want = platform::com::Utf16ToUtf8(tag.bstrVal ? tag.bstrVal : u"");
  for (IDispatch* d : items) {
    auto* e = static_cast<Element*>(static_cast<IHTMLElement*>(d));
    if (e->tag == want) sub->items.push_back(d);
  }
  keep.push_back(sub);
  return Give(static_cast<IHTMLElementCollection*>(sub.get()), reinterpret_cast<void**>(out));
}

std::shared_ptr<Element> El(const std::string& tag, Props props, std::vector<Item> children) {
  auto e = std::make_shared<Element>();
  e->tag = tag;
  e->props = std::move(props);
  e->items = std::move(children);
  return e;
}
std::shared_ptr<Element> El(const std::string& tag, std::vector<Item> children) {
  return El(tag, Props{}, std::move(children));
}
std::shared_ptr<Element> Comment(const std::string& inside) {
  auto e = El("!", Props{}, {});
  e->isComment = true;
  e->commentText = "<!--" + inside + "-->";
  return e;
}

class Sheet : public Object<IHTMLStyleSheet> {
 public:
  std::string href;
  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLStyleSheet) {
      return Give(static_cast<IHTMLStyleSheet*>(this), out);
    }
    return E_NOINTERFACE;
  }
  HRESULT get_href(BSTR* p) override { return Str(p, href); }
};

class Document;

class Window : public Object<IHTMLWindow2> {
 public:
  Document* doc = nullptr;
  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT item(VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT get_length(LONG* p) override {
    *p = 0;
    return S_OK;
  }
  HRESULT get_document(IHTMLDocument2** p) override;
};

class Frames : public Object<IHTMLFramesCollection2> {
 public:
  std::vector<std::unique_ptr<Window>> windows;
  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLFramesCollection2) {
      return Give(static_cast<IHTMLFramesCollection2*>(this), out);
    }
    return E_NOINTERFACE;
  }
  HRESULT item(VARIANT* index, VARIANT* result) override {
    VariantInit(result);
    if (index->vt != VT_UINT || index->uintVal >= windows.size()) return E_INVALIDARG;
    result->vt = VT_DISPATCH;
    Give(static_cast<IHTMLWindow2*>(windows[index->uintVal].get()),
         reinterpret_cast<void**>(&result->pdispVal));
    return S_OK;
  }
  HRESULT get_length(LONG* p) override {
    *p = static_cast<LONG>(windows.size());
    return S_OK;
  }
};

class Sheets : public Object<IHTMLStyleSheetsCollection> {
 public:
  std::vector<std::unique_ptr<Sheet>> sheets;
  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLStyleSheetsCollection) {
      return Give(static_cast<IHTMLStyleSheetsCollection*>(this), out);
    }
    return E_NOINTERFACE;
  }
  HRESULT get_length(LONG* p) override {
    *p = static_cast<LONG>(sheets.size());
    return S_OK;
  }
  HRESULT item(VARIANT* index, VARIANT* result) override {
    VariantInit(result);
    if (index->vt != VT_UINT || index->uintVal >= sheets.size()) return E_INVALIDARG;
    result->vt = VT_DISPATCH;
    Give(static_cast<IHTMLStyleSheet*>(sheets[index->uintVal].get()),
         reinterpret_cast<void**>(&result->pdispVal));
    return S_OK;
  }
};

class Document : public Object<IHTMLDocument2> {
 public:
  DocSpec spec;
  std::shared_ptr<Element> body;
  Frames frames;
  Sheets sheets;
  std::vector<std::string> created;
  int falseLeft = 0;

  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLDocument2) {
      return Give(static_cast<IHTMLDocument2*>(this), out);
    }
    return E_NOINTERFACE;
  }
  HRESULT get_URL(BSTR* p) override { return Str(p, spec.url); }
  HRESULT get_title(BSTR* p) override { return Str(p, spec.title); }
  HRESULT get_body(IHTMLElement** p) override {
    return Give(static_cast<IHTMLElement*>(body.get()), reinterpret_cast<void**>(p));
  }
  HRESULT get_all(IHTMLElementCollection** p) override {
    return Give(static_cast<IHTMLElementCollection*>(&body->all), reinterpret_cast<void**>(p));
  }
  HRESULT get_frames(IHTMLFramesCollection2** p) override {
    *p = nullptr;
    if (spec.framesFail) return E_FAIL;
    return Give(static_cast<IHTMLFramesCollection2*>(&frames), reinterpret_cast<void**>(p));
  }
  HRESULT get_styleSheets(IHTMLStyleSheetsCollection** p) override {
    return Give(static_cast<IHTMLStyleSheetsCollection*>(&sheets), reinterpret_cast<void**>(p));
  }
  HRESULT createStyleSheet(BSTR href, LONG, IHTMLStyleSheet** p) override {
    *p = nullptr;
    created.push_back(platform::com::Utf16ToUtf8(href ? href : u""));
    if (falseLeft > 0) {
      --falseLeft;
      return S_FALSE;
    }
    return S_OK;
  }
  HRESULT writeln(SAFEARRAY*) override { return E_NOTIMPL; }
  HRESULT put_designMode(BSTR) override { return E_NOTIMPL; }
  HRESULT get_designMode(BSTR* p) override {
    *p = nullptr;
    return E_NOTIMPL;
  }
};

HRESULT Window::QueryInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLFramesCollection2 ||
      iid == IID_IHTMLWindow2) {
    return Give(static_cast<IHTMLWindow2*>(this), out);
  }
  return E_NOINTERFACE;
}

HRESULT Window::get_document(IHTMLDocument2** p) {
  return Give(static_cast<IHTMLDocument2*>(doc), reinterpret_cast<void**>(p));
}

std::shared_ptr<Document> Doc(DocSpec spec) {
  auto doc = std::make_shared<Document>();
  doc->spec = std::move(spec);
  doc->body = El("BODY", doc->spec.body);
  doc->body->Link(nullptr);
  doc->body->CollectAll(doc->body->all);
  for (const std::string& href : doc->spec.styleSheets) {
    auto sheet = std::make_unique<Sheet>();
    sheet->href = href;
    doc->sheets.sheets.push_back(std::move(sheet));
  }
  for (const auto& frame : doc->spec.frames) {
    auto window = std::make_unique<Window>();
    window->doc = frame.get();
    doc->frames.windows.push_back(std::move(window));
  }
  doc->falseLeft = doc->spec.styleSheetFalseCount;
  return doc;
}

void AddFrame(const std::shared_ptr<Document>& doc, const std::shared_ptr<Document>& frame) {
  auto window = std::make_unique<Window>();
  window->doc = frame.get();
  doc->frames.windows.push_back(std::move(window));
}

IHTMLElement* AsElement(const std::shared_ptr<Element>& element) {
  return element.get();
}

IHTMLDocument2* AsDocument(const std::shared_ptr<Document>& doc) {
  return doc.get();
}

const std::vector<std::string>& CreatedStyleSheets(const std::shared_ptr<Document>& doc) {
  return doc->created;
}

IHTMLCurrentStyle* Styled(Props props) {
  static std::vector<std::shared_ptr<Element>> keep;
  auto e = El("SPAN", std::move(props), {});
  e->Link(nullptr);
  keep.push_back(e);
  return &e->style;
}

long OutstandingReferences() {
  return g_outstanding;
}
void ResetReferences() {
  g_outstanding = 0;
}

}  // namespace fakedom
