// The converter's life, its configuration, and the document entry: the page, its
// table-of-contents entry, frames, style sheets, and which elements go to the walker.
#include "parser/engine/HtmlPageConverter.h"

#include <algorithm>

#include "parser/engine/LinkAnchor.h"
#include "platform/inet/url.h"

namespace {

// Frames inside frames deeper than this are not followed, whatever the document model allows.
constexpr int kMaxFrameNesting = 16;

ComPtr<IDispatch> ItemAt(IHTMLElementCollection* collection, LONG i) {
  ScopedVariant position, none;
  position.vt = VT_UINT;
  position.uintVal = static_cast<UINT>(i);
  ComPtr<IDispatch> item;
  if (FAILED(collection->item(position, none, &item))) return nullptr;
  return item;
}

// An http:// or https:// address: all that a page from the web may load.
bool IsWebUrl(const std::u16string& url) {
  DWORD serviceType = 0;
  std::u16string server, object;
  INTERNET_PORT port = 0;
  return AfxParseURL(url.c_str(), serviceType, server, object, port) &&
         (serviceType == AFX_INET_SERVICE_HTTP || serviceType == AFX_INET_SERVICE_HTTPS);
}

}  // namespace

std::u16string SchemePrefix(DWORD serviceType) {
  switch (serviceType) {
    case AFX_INET_SERVICE_FTP:
      return u"ftp://";
    case AFX_INET_SERVICE_GOPHER:
      return u"gopher://";
    case AFX_INET_SERVICE_HTTP:
      return u"http://";
    case AFX_INET_SERVICE_FILE:
      return u"file://";
    case AFX_INET_SERVICE_MAILTO:
      return u"mailto://";
    case AFX_INET_SERVICE_NEWS:
      return u"news://";
    case AFX_INET_SERVICE_HTTPS:
      return u"https://";
    default:
      return u"";
  }
}

CHtmlPageConverter::CHtmlPageConverter() = default;

// The anchor records are deleted at the end of the document entry; a converter whose entry
// never ran still frees what it holds.
CHtmlPageConverter::~CHtmlPageConverter() {
  DeleteAnchors();
}

void CHtmlPageConverter::SetTocTitle(const unsigned short* title) {
  m_strTocTitle.clear();
  if (!title) return;
  for (const unsigned short* p = title; *p; ++p) m_strTocTitle.push_back(static_cast<char16_t>(*p));
}

int CHtmlPageConverter::AddDocument(IHTMLDocument2* doc, int depth) {
  if (depth > m_nMaxDepth || !doc) return -1;
  if (m_strScheme.empty()) {
    BStr url;
    if (FAILED(doc->get_URL(&url))) return -1;
    DWORD serviceType = AFX_INET_SERVICE_HTTP;
    INTERNET_PORT port = 0;
    std::u16string text = url.Str();
    if (!AfxParseURL(text.c_str(), serviceType, m_strServer, m_strObject, port)) return -1;
    m_strScheme = SchemePrefix(serviceType);
  }
  if (!m_pBook) return -1;
  if (!m_pPage) {
    m_pPage = m_pBook->CreatePage(NBK_PAGE_KIND);
    if (!m_pPage) return -1;
    m_pBook->AddPage(m_pPage);
  }
  if (m_pToc) {
    std::u16string title = m_strTocTitle;
    if (title.empty()) {
      BStr docTitle;
      if (SUCCEEDED(doc->get_title(&docTitle))) title = docTitle.Str();
    }
    m_pToc->AddEntry(title, m_pPage, nullptr);
  }
  m_nDepth = depth;
  ConvertDocumentTree(doc, depth);
  SettlePendingTargets();
  DeleteAnchors();
  return 0;
}

int CHtmlPageConverter::ConvertDocumentTree(IHTMLDocument2* doc, int /*depth*/) {
  // Frames are followed with a work list, not by recursion; a frame whose document is already
  // on the way down (a page that frames itself) is not converted again.
  struct Pending {
    ComPtr<IHTMLDocument2> doc;
    int nesting;
  };
  std::vector<Pending> pending;
  std::vector<IHTMLDocument2*> seen;
  pending.push_back({ComPtr<IHTMLDocument2>(doc), 0});
  while (!pending.empty()) {
    Pending current = std::move(pending.back());
    pending.pop_back();
    seen.push_back(current.doc.Get());
    ConvertDocument(current.doc.Get());
    if (current.nesting >= kMaxFrameNesting) continue;

    ComPtr<IHTMLFramesCollection2> frames;
    if (FAILED(current.doc->get_frames(&frames)) || !frames) continue;
    LONG length = 0;
    if (FAILED(frames->get_length(&length))) continue;
    std::vector<Pending> children;
    for (LONG i = 0; i < length; ++i) {
      ScopedVariant index, result;
      index.vt = VT_UINT;
      index.uintVal = static_cast<UINT>(i);
      if (FAILED(frames->item(&index, &result)) || result.vt != VT_DISPATCH || !result.pdispVal) {
        continue;
      }
      ComPtr<IHTMLWindow2> window;
      if (FAILED(result.pdispVal->QueryInterface(IID_IHTMLWindow2,
                                                 window.ReleaseAndGetVoidAddress())) ||
          !window) {
        continue;
      }
      ComPtr<IHTMLDocument2> frameDoc;
      if (FAILED(window->get_document(&frameDoc)) || !frameDoc) continue;
      if (std::find(seen.begin(), seen.end(), frameDoc.Get()) != seen.end()) continue;
      if (!FromLocalFile()) {
        // A page from the web does not bring the reader's own files in through a frame.
        BStr frameUrl;
        std::u16string address = SUCCEEDED(frameDoc->get_URL(&frameUrl)) ? frameUrl.Str() : u"";
        if (!IsWebUrl(address) && !address.starts_with(u"about:")) continue;
      }
      children.push_back({std::move(frameDoc), current.nesting + 1});
    }
    // The work list is a stack: push in reverse so the frames are converted in frame order,
    // each with its own frames before the next sibling, as the recursive walk would.
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      pending.push_back(std::move(*it));
  }
  return 0;
}

int CHtmlPageConverter::ConvertDocument(IHTMLDocument2* doc) {
  if (!doc) return -1;
  ReAddStyleSheets(doc);
  ComPtr<IHTMLElement> body;
  if (SUCCEEDED(doc->get_body(&body)) && body) {
    if (m_strDivID.empty()) {
      ConvertBodyChildren(body.Get());
    } else {
      ConvertDivsById(body.Get());
    }
  }
  m_pStyleSheets = nullptr;
  return 0;
}

void CHtmlPageConverter::ReAddStyleSheets(IHTMLDocument2* doc) {
  m_pStyleSheets = nullptr;
  if (FAILED(doc->get_styleSheets(&m_pStyleSheets)) || !m_pStyleSheets) return;
  LONG length = 0;
  if (FAILED(m_pStyleSheets->get_length(&length))) return;
  int retries = 10;
  for (LONG i = 0; i < length; ++i) {
    ScopedVariant index, result;
    index.vt = VT_UINT;
    index.uintVal = static_cast<UINT>(i);
    if (FAILED(m_pStyleSheets->item(&index, &result)) || result.vt != VT_DISPATCH ||
        !result.pdispVal) {
      continue;
    }
    ComPtr<IHTMLStyleSheet> sheet;
    if (FAILED(result.pdispVal->QueryInterface(IID_IHTMLStyleSheet,
                                               sheet.ReleaseAndGetVoidAddress())) ||
        !sheet) {
      continue;
    }
    BStr hrefText;
    if (FAILED(sheet->get_href(&hrefText))) continue;
    std::u16string href = hrefText.Str();
    // A sheet written inside the page is part of the document already; adding the site's
    // address as a sheet would only fetch its front page.
    if (href.empty()) continue;
    DWORD serviceType = AFX_INET_SERVICE_HTTP;
    std::u16string server, object;
    INTERNET_PORT port = 0;
    if (!AfxParseURL(href.c_str(), serviceType, server, object, port)) {
      href = m_strScheme + m_strServer + href;
    }
    // Only a local page may bring in a local style sheet.
    if (!FromLocalFile() && !IsWebUrl(href)) continue;
    BStr address(href);
    ComPtr<IHTMLStyleSheet> added;
    HRESULT hr = doc->createStyleSheet(address.Get(), 0, &added);
    while (hr == S_FALSE && retries > 0) {
      --retries;
      hr = doc->createStyleSheet(address.Get(), 0, &added);
    }
  }
}

void CHtmlPageConverter::ConvertBodyChildren(IHTMLElement* body) {
  m_bOutputOn = m_strStartComment.empty() ? 1 : 0;
  m_bInExcept = 0;
  // The body's style is the bottom of the stack: the enclosing style of what stands directly
  // in it, and the base of its relative sizes.
  ComPtr<IHTMLElement2> body2;
  CElementStyle bodyStyle;
  if (SUCCEEDED(body->QueryInterface(IID_IHTMLElement2, body2.ReleaseAndGetVoidAddress())) &&
      body2) {
    bodyStyle = CElementStyle::Of(body2.Get());
  }
  if (bodyStyle) m_styleReader.PushStyle(bodyStyle);
  ComPtr<IDispatch> children;
  ComPtr<IHTMLElementCollection> collection;
  LONG length = 0;
  if (SUCCEEDED(body->get_children(&children)) && children &&
      SUCCEEDED(children.As(IID_IHTMLElementCollection, std::addressof(collection))) &&
      collection && SUCCEEDED(collection->get_length(&length))) {
    for (LONG i = 0; i < length; ++i) {
      if (ComPtr<IDispatch> item = ItemAt(collection.Get(), i)) WalkNode(item.Get());
    }
  }
  // The text after the body's last element (the old code never read it: a page's closing words).
  if (m_bOutputOn && !m_bInExcept && body2) {
    const CTextStyle* top = m_styleReader.GetTopStyle();
    ComPtr<IElementViews> views;
    if (FAILED(body2.As(IID_IElementViews, std::addressof(views)))) views = nullptr;
    CollectAdjacentText(views.Get(), body2.Get(), AdjacentPlace::kBeforeEnd,
                        top && top->m_bPreserveSpace);
    if (m_pTextObject) {
      FlushPendingText();
    } else if (bodyStyle) {
      PlaceLooseText(bodyStyle);
    }
  }
  FinishOpenTextBlock();
  if (bodyStyle) m_styleReader.PopStyle();
}

void CHtmlPageConverter::ConvertDivsById(IHTMLElement* body) {
  m_bOutputOn = m_strStartComment.empty() ? 1 : 0;
  m_bInExcept = 0;
  ComPtr<IDispatch> all;
  ComPtr<IHTMLElementCollection> allCollection;
  if (SUCCEEDED(body->get_all(&all)) && all &&
      SUCCEEDED(all.As(IID_IHTMLElementCollection, std::addressof(allCollection))) &&
      allCollection) {
    ScopedVariant tag;
    tag.vt = VT_BSTR;
    tag.bstrVal = SysAllocString(u"DIV");
    ComPtr<IDispatch> divs;
    ComPtr<IHTMLElementCollection> divCollection;
    LONG length = 0;
    if (SUCCEEDED(allCollection->tags(tag, &divs)) && divs &&
        SUCCEEDED(divs.As(IID_IHTMLElementCollection, std::addressof(divCollection))) &&
        divCollection && SUCCEEDED(divCollection->get_length(&length))) {
      for (LONG i = 0; i < length; ++i) {
        ComPtr<IDispatch> item = ItemAt(divCollection.Get(), i);
        ComPtr<IHTMLElement> div;
        if (!item || FAILED(item.As(IID_IHTMLElement, std::addressof(div))) || !div) continue;
        BStr id;
        if (FAILED(div->get_id(&id)) || id.Str() != m_strDivID) continue;
        // The style of the element the DIV stands in is the bottom of the stack.
        ComPtr<IHTMLElement> parent;
        ComPtr<IHTMLElement2> parent2;
        CElementStyle parentStyle;
        if (SUCCEEDED(div->get_parentElement(&parent)) && parent &&
            SUCCEEDED(parent.As(IID_IHTMLElement2, std::addressof(parent2))) && parent2) {
          parentStyle = CElementStyle::Of(parent2.Get());
        }
        if (parentStyle) m_styleReader.PushStyle(parentStyle);
        WalkNode(item.Get());
        if (parentStyle) m_styleReader.PopStyle();
      }
    }
  }
  FinishOpenTextBlock();
}

// The end of a walk: the open block is written and placed when it holds something; unlike
// CloseTextBlock no bottom margin is applied.
void CHtmlPageConverter::FinishOpenTextBlock() {
  if (!m_pTextObject) return;
  m_pTextObject->Write();
  if (m_pTextObject->GetStreamSize() != 0) {
    PlaceBlock(m_pTextBlock);
    // A frame converted onto the same page afterwards must not add this block a second time.
    m_pTextObject = nullptr;
    m_pTextBlock = nullptr;
  }
}
