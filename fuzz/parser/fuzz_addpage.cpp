// Any bytes as a page from the web, converted into a book: no crash, no unbounded recursion,
// no leak, whatever the nesting, the links or the attributes. The page reaches nothing outside
// (its style sheets, frames and images are refused), and the book is abandoned, not written.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "parser/facade/NBParser.h"
#include "platform/mshtml/host.h"

namespace {

const unsigned short* W(const std::u16string& s) {
  return reinterpret_cast<const unsigned short*>(s.c_str());
}

std::u16string Folder() {
  static std::u16string folder = [] {
    char pattern[] = "/tmp/fuzz-addpage-XXXXXX";
    const char* made = mkdtemp(pattern);
    setenv("TMPDIR", made, 1);
    return platform::com::Utf8ToUtf16(made);
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string folder = Folder();
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
    parser.SetDesignFileName(W(
        platform::com::Utf8ToUtf16(NB_SHARE_DIR "/Vantor Shared/EnjoyNubra/Designs/Standard.nbk")));
    parser.SetNBKFileName(W(folder + u"/book.nbk"));
    parser.setHTMLStartComment(W(u"S"));
    parser.setHTMLEndComment(W(u"E"));
    parser.setHTMLStartExceptComment(W(u"X"));
    parser.setHTMLEndExceptComment(W(u"/X"));
    if (size > 0 && data[0] % 3 == 0) parser.setDivID(W(u"main"));
    if (parser.CreateNewBook() == 0) parser.AddPage(doc, 0, nullptr);
    parser.AffairBook();
    doc->Release();
  }
  CoUninitialize();
  return 0;
}
