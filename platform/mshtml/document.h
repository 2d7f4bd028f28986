// The document: IHTMLDocument2 over a Tree, with its frames and style sheets.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/object.h"
#include "platform/mshtml/objects.h"

namespace platform::mshtml {

// What a host load carries down into its frames and imported sheets.
struct LoadContext {
  LoadOptions options;
  std::vector<std::string> chain;  // addresses of the documents this one is inside
  int depth = 0;
  int* budget = nullptr;  // frames and sheets still allowed for the whole load
};

class Document final
    : public com::Object<Document, com::Dispatched<IHTMLDocument2, IID_IHTMLDocument2>>,
      LiveObject {
  using Base = com::Object<Document, com::Dispatched<IHTMLDocument2, IID_IHTMLDocument2>>;
  friend Base;

 public:
  // An empty document with the address "about:blank" (what CoCreateInstance gives).
  Document();

  // Makes this a host-loaded document of decoded (UTF-8) markup: parses it, loads its linked
  // and imported style sheets and its frames through the context's fetcher.
  void LoadFromHost(std::string url, std::string_view utf8, std::string iconvName,
                    const LoadContext& context);

  HRESULT get_URL(BSTR* p) override;
  HRESULT get_title(BSTR* p) override;
  HRESULT get_body(IHTMLElement** p) override;
  HRESULT get_all(IHTMLElementCollection** p) override;
  HRESULT get_frames(IHTMLFramesCollection2** p) override;
  HRESULT get_styleSheets(IHTMLStyleSheetsCollection** p) override;
  HRESULT createStyleSheet(BSTR href, LONG index, IHTMLStyleSheet** p) override;
  HRESULT writeln(SAFEARRAY* psarray) override;
  HRESULT put_designMode(BSTR v) override;
  HRESULT get_designMode(BSTR* p) override;

  const std::shared_ptr<Tree>& Parsed();

 private:
  ~Document() = default;
  Fetcher ActiveFetcher() const;
  // Parses text as a sheet at address url and adds it, after its imports, to the cascade at
  // position `at`; returns how many cascade sheets were added.
  std::size_t AddSheet(Tree& tree, std::string_view text, const std::string& url, int at,
                       const Fetcher* fetch, int importDepth, std::vector<std::string>& chain,
                       int& budget);
  void LoadPageSheets(Tree& tree, const Fetcher* fetch, int& budget);
  void LoadFrames(const LoadContext& context);
  // Fetches a sheet (once per document and address) or a page; false when it cannot be had
  // or this document may not reach it.
  bool FetchText(const Fetcher& fetch, const std::string& url, std::string& text, bool styleSheet);
  bool FetchUncached(const Fetcher& fetch, const std::string& url, std::string& text,
                     bool styleSheet);
  // A document from the web reaches only the web: no frame, sheet or import from a local file.
  bool MayReach(const std::string& url) const;

  std::string url_ = "about:blank";
  std::string source_;  // what writeln gave, not parsed yet when dirty_
  bool dirty_ = true;
  std::shared_ptr<Tree> tree_;
  std::string designMode_ = "Inherit";
  bool hostLoaded_ = false;
  LoadOptions options_;
  std::string iconvName_;  // the page's encoding, for style sheets that are not UTF-8
  std::vector<ComPtr<IHTMLWindow2>> frames_;
  std::map<std::string, std::optional<std::string>> fetchedSheets_;  // nullopt: could not be had
};

}  // namespace platform::mshtml
