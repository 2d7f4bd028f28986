#include "platform/mshtml/document.h"

#include <algorithm>

#include "platform/mshtml/charset.h"
#include "platform/mshtml/url.h"
#include "platform/text/text.h"

extern "C" {
// The class and interface identifiers of the document model.
const CLSID CLSID_HTMLDocument = {
    0x6E5B0001, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x10, 0x01}};
const IID IID_IHTMLDocument2 = {
    0x6E5B0101, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x01}};
const IID IID_IHTMLElement = {
    0x6E5B0102, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x02}};
const IID IID_IHTMLElement2 = {
    0x6E5B0103, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x03}};
const IID IID_IHTMLElementCollection = {
    0x6E5B0104, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x04}};
const IID IID_IHTMLCurrentStyle = {
    0x6E5B0105, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x05}};
const IID IID_IHTMLCommentElement = {
    0x6E5B0106, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x06}};
const IID IID_IHTMLAnchorElement = {
    0x6E5B0107, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x07}};
const IID IID_IHTMLImgElement = {
    0x6E5B0108, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x08}};
const IID IID_IHTMLHRElement = {
    0x6E5B0109, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x09}};
const IID IID_IHTMLFramesCollection2 = {
    0x6E5B010A, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x0A}};
const IID IID_IHTMLWindow2 = {
    0x6E5B010B, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x0B}};
const IID IID_IHTMLStyleSheetsCollection = {
    0x6E5B010C, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x0C}};
const IID IID_IHTMLStyleSheet = {
    0x6E5B010D, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x0D}};
}

namespace platform::mshtml {
namespace {

constexpr int kMaxImportDepth = 8;
// Frames and fetched style sheets per host load, so that fan-out cannot multiply.
constexpr int kLoadBudget = 256;

using text::AsciiLowercase;
using text::HasTokenIgnoringAsciiCase;

// A media attribute that leaves the screen out ("print") keeps its sheet out of the cascade.
bool MediaIncludesScreen(const std::string* media) {
  return !media || css::MediaApplies(*media);
}

std::u16string U16(std::string_view s) {
  return com::Utf8ToUtf16(s);
}

HRESULT CreateDocumentObject(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return com::CreateObject<Document>(riid, ppv);
}

// The class is in the table as soon as the library is loaded.
const bool g_registered = [] {
  com::RegisterClass(CLSID_HTMLDocument, CreateDocumentObject);
  return true;
}();

}  // namespace

Document::Document() = default;

const std::shared_ptr<Tree>& Document::Parsed() {
  if (dirty_ || !tree_) {
    tree_ = Tree::Parse(source_, url_);
    dirty_ = false;
    // A written document fetches nothing by itself; its <link> sheets are listed only.
    int budget = 0;
    LoadPageSheets(*tree_, nullptr, budget);
  }
  return tree_;
}

Fetcher Document::ActiveFetcher() const {
  if (hostLoaded_) return options_.fetch ? options_.fetch : DefaultFetcher();
  Fetcher f = SessionFetcher();
  return f ? f : DefaultFetcher();
}

bool Document::MayReach(const std::string& url) const {
  return !IsWebAddress(url_) || IsWebAddress(url);
}

bool Document::FetchText(const Fetcher& fetch, const std::string& url, std::string& text,
                         bool styleSheet) {
  text.clear();
  if (!fetch || !MayReach(url)) return false;
  // A sheet is fetched once per document: the converter re-adds the sheets the load fetched,
  // and a server that stalls must not cost its wait twice.
  if (styleSheet) {
    if (auto it = fetchedSheets_.find(url); it != fetchedSheets_.end()) {
      text = it->second.value_or(std::string());
      return it->second.has_value();
    }
  }
  bool ok = FetchUncached(fetch, url, text, styleSheet);
  if (styleSheet) {
    fetchedSheets_[url] = ok ? std::optional<std::string>(text) : std::nullopt;
  }
  return ok;
}

bool Document::FetchUncached(const Fetcher& fetch, const std::string& url, std::string& text,
                             bool styleSheet) {
  std::string body, type;
  try {
    if (!fetch(U16(url), body, type)) return false;
  } catch (...) {
    return false;
  }
  if (body.size() > options_.maxBytes) return false;
  if (styleSheet) {
    // A page served where a sheet was asked for is no sheet.
    std::string t = AsciiLowercase(type);
    if (t.find("text/html") != std::string::npos) return false;
    text = DecodeStyleSheet(body, iconvName_);
  } else {
    text = DecodePage(body, CharsetFromContentType(type));
  }
  return true;
}

std::size_t Document::AddSheet(Tree& tree, std::string_view text, const std::string& url, int at,
                               const Fetcher* fetch, int importDepth,
                               std::vector<std::string>& chain, int& budget) {
  if (text.size() > options_.maxBytes) text = {};
  auto sheet = css::StyleSheet::Parse(text);
  std::size_t added = 0;
  if (fetch && importDepth < kMaxImportDepth) {
    for (const std::string& ref : sheet->Imports()) {
      std::string target = ResolveUrl(url, CleanUrlAttribute(ref));
      if (budget <= 0) break;
      if (std::find(chain.begin(), chain.end(), target) != chain.end()) continue;
      --budget;
      std::string importedText;
      if (!FetchText(*fetch, target, importedText, true)) continue;
      chain.push_back(target);
      added += AddSheet(tree, importedText, target, at < 0 ? -1 : at + static_cast<int>(added),
                        fetch, importDepth + 1, chain, budget);
      chain.pop_back();
    }
  }
  tree.Cascade().AddSheet(sheet, at < 0 ? -1 : at + static_cast<int>(added));
  return added + 1;
}

void Document::LoadPageSheets(Tree& tree, const Fetcher* fetch, int& budget) {
  for (const Node& n : tree.Nodes()) {
    if (n.IsComment()) continue;
    bool isStyle = n.Is("style");
    bool isLink = n.Is("link");
    if (!isStyle && !isLink) continue;
    if (isLink) {
      const std::string* rel = tree.AttributeOf(n, "rel");
      if (!rel || !HasTokenIgnoringAsciiCase(*rel, "stylesheet") ||
          HasTokenIgnoringAsciiCase(*rel, "alternate"))
        continue;
    }
    SheetEntry entry;
    const std::string* href = isLink ? tree.AttributeOf(n, "href") : nullptr;
    if (href) entry.href = U16(*href);
    if (MediaIncludesScreen(tree.AttributeOf(n, "media"))) {
      std::vector<std::string> chain{tree.Url()};
      if (isStyle) {
        entry.cascadeSheets =
            AddSheet(tree, tree.Text(n.textEnd), tree.BaseUrl(), -1, fetch, 0, chain, budget);
      } else if (fetch && href && budget > 0) {
        --budget;
        std::string url = tree.Resolve(*href);
        std::string text;
        if (FetchText(*fetch, url, text, true)) {
          chain.push_back(url);
          entry.cascadeSheets = AddSheet(tree, text, url, -1, fetch, 0, chain, budget);
        }
      }
    }
    tree.Sheets().push_back(std::move(entry));
  }
  tree.InvalidateStyles();
}

void Document::LoadFromHost(std::string url, std::string_view utf8, std::string iconvName,
                            const LoadContext& context) {
  url_ = std::move(url);
  iconvName_ = std::move(iconvName);
  hostLoaded_ = true;
  options_ = context.options;
  // The markup is not kept: only written documents re-parse.
  tree_ = Tree::Parse(utf8, url_);
  tree_->SetWarningSink(options_.warn);
  dirty_ = false;
  Fetcher fetch = ActiveFetcher();
  LoadPageSheets(*tree_, &fetch, *context.budget);
  LoadFrames(context);
}

void Document::LoadFrames(const LoadContext& context) {
  Fetcher fetch = ActiveFetcher();
  for (const Node& n : tree_->Nodes()) {
    if (!n.Is("frame") && !n.Is("iframe")) continue;
    auto* child = new (std::nothrow) Document();
    if (!child) return;
    ComPtr<IHTMLDocument2> doc = ComPtr<IHTMLDocument2>::Attach(child);
    const std::string* src = tree_->AttributeOf(n, "src");
    std::string url = src ? tree_->Resolve(*src) : std::string();
    // Past the depth, out of budget, or a page this chain is already inside: left empty.
    bool load = src && !url.empty() && MayReach(url) &&
                context.depth<context.options.maxFrameDepth&& * context.budget> 0 &&
                std::find(context.chain.begin(), context.chain.end(), url) == context.chain.end() &&
                url != url_;
    std::string body, type;
    if (load) {
      --*context.budget;
      try {
        load = fetch(U16(url), body, type) && body.size() <= options_.maxBytes;
      } catch (...) {
        load = false;
      }
    }
    if (load) {
      LoadContext inner = context;
      inner.chain.push_back(url_);
      inner.depth = context.depth + 1;
      std::string charset = CharsetFromContentType(type);
      std::string name = IconvNameForLabel(charset);
      std::string decoded;
      bool converted = DecodePage(body, charset, decoded);
      child->LoadFromHost(url, converted ? std::string_view(decoded) : std::string_view(body), name,
                          inner);
    } else {
      child->hostLoaded_ = true;
      child->options_ = context.options;
    }
    ComPtr<IHTMLWindow2> window;
    if (SUCCEEDED(NewWindow(doc.Get(), &window))) frames_.push_back(std::move(window));
  }
}

// ---------------------------------------------------------------------------------------------
HRESULT Document::get_URL(BSTR* p) {
  return PutBstr(p, url_);
}

HRESULT Document::get_title(BSTR* p) {
  return PutBstr(p, Parsed()->Title());
}

HRESULT Document::get_body(IHTMLElement** p) {
  if (!p) return E_POINTER;
  *p = nullptr;
  const auto& tree = Parsed();
  Node* body = tree->Body();
  if (!body) return S_OK;
  return ElementFor(tree, body, IID_IHTMLElement, reinterpret_cast<void**>(p));
}

HRESULT Document::get_all(IHTMLElementCollection** p) {
  if (!p) return E_POINTER;
  *p = nullptr;
  const auto& tree = Parsed();
  std::vector<Node*> nodes;
  if (Node* root = tree->Root()) {
    nodes = tree->Descendants(root);
    nodes.insert(nodes.begin(), root);
  }
  return NewElementCollection(tree, std::move(nodes), IID_IHTMLElementCollection,
                              reinterpret_cast<void**>(p));
}

HRESULT Document::get_frames(IHTMLFramesCollection2** p) {
  if (!p) return E_POINTER;
  *p = nullptr;
  return NewFramesCollection(frames_, p);
}

HRESULT Document::get_styleSheets(IHTMLStyleSheetsCollection** p) {
  if (!p) return E_POINTER;
  *p = nullptr;
  // A snapshot: a caller that re-adds every sheet while going through the collection sees
  // each sheet once.
  std::vector<std::u16string> hrefs;
  for (const SheetEntry& e : Parsed()->Sheets()) hrefs.push_back(e.href);
  return NewStyleSheetsCollection(std::move(hrefs), p);
}

HRESULT Document::createStyleSheet(BSTR href, LONG index, IHTMLStyleSheet** p) {
  if (!p) return E_POINTER;
  *p = nullptr;
  const auto& tree = Parsed();
  std::u16string written = href ? std::u16string(href, SysStringLen(href)) : std::u16string();
  auto& sheets = tree->Sheets();
  std::size_t position = index < 0 || static_cast<std::size_t>(index) > sheets.size()
                             ? sheets.size()
                             : static_cast<std::size_t>(index);
  std::size_t cascadeAt = 0;
  for (std::size_t i = 0; i < position; ++i) cascadeAt += sheets[i].cascadeSheets;
  SheetEntry entry;
  entry.href = written;
  if (!written.empty()) {
    // A sheet that cannot be had is added empty, as the browser does.
    std::string url = tree->Resolve(com::Utf16ToUtf8(written));
    Fetcher fetch = ActiveFetcher();
    std::string text;
    int budget = kLoadBudget;
    std::vector<std::string> chain{url};
    FetchText(fetch, url, text, true);
    entry.cascadeSheets =
        AddSheet(*tree, text, url, static_cast<int>(cascadeAt), &fetch, 0, chain, budget);
  }
  sheets.insert(sheets.begin() + static_cast<std::ptrdiff_t>(position), std::move(entry));
  tree->InvalidateStyles();
  return NewStyleSheet(written, p);
}

HRESULT Document::writeln(SAFEARRAY* psarray) {
  if (!psarray) return E_INVALIDARG;
  if (psarray->vt != VT_VARIANT) return E_INVALIDARG;
  void* data = nullptr;
  HRESULT hr = SafeArrayAccessData(psarray, &data);
  if (FAILED(hr)) return hr;
  const auto* items = static_cast<const VARIANT*>(data);
  for (ULONG i = 0; i < psarray->rgsabound[0].cElements; ++i) {
    if (items[i].vt == VT_BSTR && items[i].bstrVal) {
      source_.append(
          com::Utf16ToUtf8(std::u16string_view(items[i].bstrVal, SysStringLen(items[i].bstrVal))));
    }
  }
  SafeArrayUnaccessData(psarray);
  source_.push_back('\n');
  // Parsed on the next read, so many writes cost one parse.
  dirty_ = true;
  return S_OK;
}

HRESULT Document::put_designMode(BSTR v) {
  std::string mode =
      AsciiLowercase(com::Utf16ToUtf8(v ? std::u16string_view(v, SysStringLen(v)) : u""));
  if (mode == "on") {
    designMode_ = "On";
  } else if (mode == "off") {
    designMode_ = "Off";
  } else if (mode == "inherit") {
    designMode_ = "Inherit";
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT Document::get_designMode(BSTR* p) {
  return PutBstr(p, designMode_);
}

}  // namespace platform::mshtml
