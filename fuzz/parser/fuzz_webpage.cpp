// A page from the web with everything it refers to, converted into a book: the input is the
// page and the resources its frames, iframes, style sheets and imports are answered with,
// separated by zero bytes; the first byte picks the page's address. Besides no crash, no leak
// and no runaway: a page from the web never makes anything ask for an address that is not on
// the web (a local file), whatever its base, frames or sheets say.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/parser/fuzz_book.h"
#include "parser/facade/NBParser.h"
#include "platform/mshtml/host.h"
#include "platform/mshtml/url.h"

namespace {

// Port 9 on the loopback: nothing listens, so every image download is refused at once.
constexpr const char16_t* kAddresses[] = {u"http://127.0.0.1:9/dir/page.html",
                                          u"https://127.0.0.1:9/", u"http://127.0.0.1:9/a/b/c?q=1",
                                          u"HTTP://127.0.0.1:9/upper.html"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string folder = fuzzbook::Folder();
  if (size == 0) return 0;
  std::u16string address = kAddresses[data[0] % (sizeof kAddresses / sizeof kAddresses[0])];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    std::size_t zero = rest.find('\0', start);
    parts.push_back(rest.substr(start, zero == std::string_view::npos ? rest.npos : zero - start));
    if (zero == std::string_view::npos || parts.size() == 16) break;
    start = zero + 1;
  }
  // Every address is answered with one of the resources, chosen by the address, so that
  // frames, sheets and imports lead on to each other.
  platform::mshtml::LoadOptions options;
  options.maxFrameDepth = 4;
  options.fetch = [&parts](const std::u16string& url, std::string& body, std::string& type) {
    if (!platform::mshtml::IsWebAddress(platform::com::Utf16ToUtf8(url))) __builtin_trap();
    std::size_t h = 0;
    for (char16_t c : url) h = h * 31 + c;
    const std::string_view part = parts[h % parts.size()];
    body.assign(part);
    type = h % 3 == 0 ? "text/css" : "text/html";
    return true;
  };
  platform::mshtml::SetSessionFetcher(options.fetch);
  CoInitialize(nullptr);
  IHTMLDocument2* doc = nullptr;
  if (SUCCEEDED(platform::mshtml::CreateDocument(parts[0], address, "text/html; charset=utf-8",
                                                 options, &doc)) &&
      doc) {
    CNBParser parser;
    parser.SetDesignFileName(fuzzbook::W(fuzzbook::Design()));
    parser.SetNBKFileName(fuzzbook::W(folder + u"/book.nbk"));
    parser.SetPageLimits({16, 1 << 20, 2000});
    if (parser.CreateNewBook() == 0) parser.AddPage(doc, 0, nullptr);
    parser.AffairBook();
    doc->Release();
  }
  platform::mshtml::SetSessionFetcher({});
  CoUninitialize();
  return 0;
}
