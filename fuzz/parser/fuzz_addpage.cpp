// Any bytes as a page from the web, converted into a book: no crash, no unbounded recursion,
// no leak, whatever the nesting, the links or the attributes. The page reaches nothing outside
// (its style sheets, frames and images are refused), and the book is abandoned, not written.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/parser/fuzz_book.h"
#include "parser/facade/NBParser.h"
#include "platform/mshtml/host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string folder = fuzzbook::Folder();
  platform::mshtml::LoadOptions options;
  options.fetch = [](const std::u16string&, std::string&, std::string&) { return false; };
  platform::mshtml::SetSessionFetcher(options.fetch);
  CoInitialize(nullptr);
  IHTMLDocument2* doc = nullptr;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (SUCCEEDED(platform::mshtml::CreateDocument(bytes, u"http://fuzz.example/dir/page.html",
                                                 "text/html; charset=utf-8", options, &doc)) &&
      doc) {
    CNBParser parser;
    parser.SetDesignFileName(fuzzbook::W(fuzzbook::Design()));
    parser.SetNBKFileName(fuzzbook::W(folder + u"/book.nbk"));
    parser.setHTMLStartComment(fuzzbook::W(u"S"));
    parser.setHTMLEndComment(fuzzbook::W(u"E"));
    parser.setHTMLStartExceptComment(fuzzbook::W(u"X"));
    parser.setHTMLEndExceptComment(fuzzbook::W(u"/X"));
    if (size > 0 && data[0] % 3 == 0) parser.setDivID(fuzzbook::W(u"main"));
    if (parser.CreateNewBook() == 0) parser.AddPage(doc, 0, nullptr);
    parser.AffairBook();
    doc->Release();
  }
  CoUninitialize();
  return 0;
}
