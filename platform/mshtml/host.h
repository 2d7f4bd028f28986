// How a host (nbclip, tests) puts a page into the document model as the browser would: with its
// real address, its style sheets and its frames. Documents made with
// CoCreateInstance(CLSID_HTMLDocument) + writeln do not come through here.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/mshtml/mshtml.h"

namespace platform::mshtml {

// Fetches a resource a page refers to (a linked or imported style sheet, a frame's page).
// Returns false when it cannot be had; the page then goes on without it.
using Fetcher =
    std::function<bool(const std::u16string& url, std::string& body, std::string& contentType)>;

struct LoadOptions {
  // Empty: local paths and file:// addresses only (see DefaultFetcher()).
  Fetcher fetch;
  // Pages, style sheets and frames larger than this are refused.
  std::size_t maxBytes = std::size_t{32} << 20;
  // Frames inside frames deeper than this are left empty.
  int maxFrameDepth = 8;
  // Told what the model left out of a page and why (style rules past the bound on matching
  // work); empty: nothing is told.
  std::function<void(const std::string&)> warn;
};

// Reads local paths and file:// addresses; refuses everything else.
Fetcher DefaultFetcher();

// The fetcher used by documents that have no host options (createStyleSheet on a document made
// with CoCreateInstance). The host may install one that also reaches http(s).
void SetSessionFetcher(Fetcher fetch);
Fetcher SessionFetcher();

// Parses bytes as a page whose address is url. The character set comes from contentType's
// charset, a byte order mark, or a <meta> declaration, else UTF-8.
HRESULT CreateDocument(std::string_view bytes, std::u16string_view url,
                       std::string_view contentType, const LoadOptions& options,
                       IHTMLDocument2** doc);

// Loads a local path (relative to the working folder) or a file:// or http(s):// address.
// A local path gets its file:// address, so the page's relative links resolve as in the browser.
HRESULT LoadDocument(std::u16string_view address, const LoadOptions& options, IHTMLDocument2** doc);

}  // namespace platform::mshtml
