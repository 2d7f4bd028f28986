// nbclip convert PAGE... -o BOOK.nbk [options] [--append]: loads a page as the browser would (its
// real address, style sheets and frames) and adds it to a book through CNBParser, as the
// toolbar's "add this page" button does. Prints where the book is and what is in it.
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "apps/nbclip/commands.h"
#include "contracts/NBKCreator.h"
#include "nbkcreator/reader.h"
#include "parser/facade/NBParser.h"
#include "parser/loading/Loading.h"
#include "platform/inet/internet.h"
#include "platform/mshtml/host.h"
#include "platform/win32/file.h"
#include "platform/win32/shell.h"

namespace nbclip {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsage =
    "usage: nbclip convert PAGE... -o BOOK.nbk [--title T] [--author A] [--title-reading R]\n"
    "         [--author-reading R] [--book-id ID] [--design FILE] [--toc-title T] [--div ID]\n"
    "         [--start-comment M] [--end-comment M] [--except-start M] [--except-end M]\n"
    "         [--append] [--from-address]\n"
    "  PAGE: a local path, or a file://, http:// or https:// address; several pages are added\n"
    "  to the book one after the other\n"
    "  --from-address: the parser loads each PAGE itself (http:// or file:// only) instead of\n"
    "  this host, and prints the charset code it detected\n";

const unsigned short* W(const std::u16string& s) {
  return reinterpret_cast<const unsigned short*>(s.c_str());
}

std::u16string U16(std::string_view s) {
  return platform::com::Utf8ToUtf16(s);
}
std::string U8(std::u16string_view s) {
  return platform::com::Utf16ToUtf8(s);
}

bool IsWebAddress(std::u16string_view url) {
  return url.starts_with(u"http://") || url.starts_with(u"https://");
}

// Pages, style sheets and frames from the web come through an internet session; everything
// else through the document model's own reader of local files.
bool Fetch(const std::u16string& url, std::string& body, std::string& contentType) {
  if (!IsWebAddress(url)) return platform::mshtml::DefaultFetcher()(url, body, contentType);
  try {
    CInternetSession session(u"nbclip", 1, PRE_CONFIG_INTERNET_ACCESS);
    std::unique_ptr<CHttpFile> file(session.OpenURL(url.c_str(), 1, INTERNET_FLAG_TRANSFER_BINARY));
    if (!file) return false;
    DWORD status = 0;
    if (file->QueryInfoStatusCode(status) && status >= 400) return false;
    std::u16string type;
    if (file->QueryInfo(HTTP_QUERY_CONTENT_TYPE, type)) contentType = U8(type);
    char buffer[16384];
    body.clear();
    for (UINT n; (n = file->Read(buffer, sizeof buffer)) > 0;) body.append(buffer, n);
    file->Close();
    return true;
  } catch (CInternetException* e) {
    std::cerr << "nbclip convert: " << e->Message() << "\n";
    e->Delete();
    return false;
  }
}

// A page as the parser's loader takes it: addresses as given, a local path as its file://
// address with "%20" for each blank.
std::u16string AddressOf(const std::string& page) {
  if (page.find("://") != std::string::npos) return U16(page);
  std::u16string address = u"file://";
  for (char16_t c : U16(fs::absolute(page).lexically_normal().string())) {
    if (c == u' ') {
      address += u"%20";
    } else {
      address += c;
    }
  }
  return address;
}

// The first design in the designs folder of the installation.
std::optional<std::u16string> StandardDesign() {
  WCHAR common[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES_COMMON, nullptr, 0, common))) {
    return std::nullopt;
  }
  fs::path designs = platform::win32::ToNativePath(common);
  designs /= "Vantor Shared/EnjoyNubra/Designs";
  if (fs::exists(designs / "Standard.nbk")) return U16((designs / "Standard.nbk").string());
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(designs, ec)) {
    if (entry.path().extension() == ".nbk") return U16(entry.path().string());
  }
  return std::nullopt;
}

struct Summary {
  std::size_t pages = 0, blocks = 0, characters = 0, images = 0, links = 0;
};

Summary Summarize(const nbk::Book& book) {
  Summary s;
  s.pages = book.pages.size();
  s.images = book.images.size();
  s.links = book.buttons.size();
  for (const nbk::Page& page : book.pages) {
    for (const nbk::PageItem& item : page.items) {
      if (const auto* text = std::get_if<nbk::TextBlock>(&item)) {
        ++s.blocks;
        for (const nbk::TextItem& t : text->items) {
          if (t.op == nbk::StreamOp::kText) s.characters += t.text.size();
        }
      } else if (std::holds_alternative<nbk::ImageBlock>(item)) {
        ++s.blocks;
      }
    }
  }
  return s;
}

}  // namespace

int RunConvert(Args args) {
  static const std::map<std::string_view, std::string_view> kValueOptions = {
      {"-o", "book"},
      {"--title", "title"},
      {"--author", "author"},
      {"--title-reading", "title-reading"},
      {"--author-reading", "author-reading"},
      {"--book-id", "book-id"},
      {"--design", "design"},
      {"--toc-title", "toc-title"},
      {"--div", "div"},
      {"--start-comment", "start-comment"},
      {"--end-comment", "end-comment"},
      {"--except-start", "except-start"},
      {"--except-end", "except-end"}};
  std::map<std::string_view, std::string> values;
  std::vector<std::string> pages;
  bool append = false;
  bool fromAddress = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view a = args[i];
    if (a == "--append") {
      append = true;
    } else if (a == "--from-address") {
      fromAddress = true;
    } else if (auto it = kValueOptions.find(a); it != kValueOptions.end()) {
      if (i + 1 >= args.size()) {
        std::cerr << "nbclip convert: " << a << " needs a value\n" << kUsage;
        return kExitUsage;
      }
      values[it->second] = std::string(args[++i]);
    } else if (!a.starts_with("-")) {
      pages.emplace_back(a);
    } else {
      std::cerr << "nbclip convert: unexpected argument \"" << a << "\"\n" << kUsage;
      return kExitUsage;
    }
  }
  if (pages.empty() || !values.contains("book")) {
    std::cerr << kUsage;
    return kExitUsage;
  }

  auto value = [&values](std::string_view name) {
    auto it = values.find(name);
    return it == values.end() ? std::u16string() : U16(it->second);
  };
  std::u16string design;
  if (values.contains("design")) {
    design = value("design");
  } else if (auto standard = StandardDesign()) {
    design = *standard;
  } else {
    std::cerr << "nbclip convert: no design found; give one with --design FILE\n";
    return kExitFailed;
  }

  CoInitialize(nullptr);
  platform::mshtml::SetSessionFetcher(Fetch);
  platform::mshtml::LoadOptions options;
  options.fetch = Fetch;
  std::vector<ComPtr<IHTMLDocument2>> docs;
  for (const std::string& page : fromAddress ? std::vector<std::string>() : pages) {
    ComPtr<IHTMLDocument2> doc;
    HRESULT hr = platform::mshtml::LoadDocument(U16(page), options, &doc);
    if (FAILED(hr) || !doc) {
      std::cerr << "nbclip convert: cannot load " << page << "\n";
      docs.clear();
      CoUninitialize();
      return kExitFailed;
    }
    docs.push_back(std::move(doc));
  }

  fs::path bookPath = fs::absolute(values["book"]);
  std::u16string title = value("title");
  if (!values.contains("title") && fromAddress) {
    title = U16(bookPath.stem().string());
  } else if (!values.contains("title")) {
    BStr docTitle;
    docs.front()->get_title(&docTitle);
    title = docTitle.Str();
    if (title.empty()) title = U16(bookPath.stem().string());
  }

  int result = 0;
  {
    CNBParser parser;
    parser.SetDesignFileName(W(design));
    parser.SetNBKFileName(W(U16(bookPath.string())));
    parser.SetBookTitle(W(title));
    parser.SetBookAuthor(W(value("author")));
    parser.SetBookTitle_read(W(value("title-reading")));
    parser.SetBookAuthor_read(W(value("author-reading")));
    parser.SetBookID(W(value("book-id")));
    parser.SetTocTitle(W(value("toc-title")));
    parser.setDivID(W(value("div")));
    parser.setHTMLStartComment(W(value("start-comment")));
    parser.setHTMLEndComment(W(value("end-comment")));
    parser.setHTMLStartExceptComment(W(value("except-start")));
    parser.setHTMLEndExceptComment(W(value("except-end")));
    int opened = append ? parser.OpenBook() : parser.CreateNewBook();
    if (opened != 0) {
      parser.AffairBook();
      std::cerr << "nbclip convert: cannot open the book " << bookPath.string() << " ("
                << (opened == NBK_ERR_DISK_FULL ? "the drive is nearly full"
                                                : "result " + std::to_string(opened))
                << ")\n";
      docs.clear();
      CoUninitialize();
      return kExitFailed;
    }
    // Pages added in one session share the images already fetched into the book.
    for (const auto& doc : docs) {
      if (int r = parser.AddPage(doc.Get(), 0, nullptr); r != 0) result = r;
    }
    for (const std::string& page : fromAddress ? pages : std::vector<std::string>()) {
      std::u16string address = AddressOf(page);
      int r = parser.AddPage(W(address), 0, nullptr);
      if (r != 0) result = r;
      std::cout << "charset code " << LastLoadedCharsetCode() << " result " << r << " " << page
                << "\n";
    }
    parser.FinalizeBook();
  }
  docs.clear();
  CoUninitialize();
  if (result != 0) {
    std::cerr << "nbclip convert: a page could not be converted (result " << result << ")\n";
    return kExitFailed;
  }

  std::string error;
  std::optional<nbk::Book> book = nbk::ReadBook(bookPath.string(), error);
  if (!book) {
    std::cerr << "nbclip convert: the book was not written: " << error << "\n";
    return kExitFailed;
  }
  Summary s = Summarize(*book);
  // A page that gave no text at all is most likely one the loader misread (an encoding).
  for (std::size_t i = 0; i < pages.size() && i < book->pages.size(); ++i) {
    nbk::Book one;
    one.pages.push_back(book->pages[book->pages.size() - pages.size() + i]);
    if (Summarize(one).characters == 0)
      std::cerr << "nbclip convert: warning: " << pages[i] << " yielded no text\n";
  }
  std::cout << "book: " << bookPath.string() << "\n"
            << "pages " << s.pages << ", blocks " << s.blocks << ", characters " << s.characters
            << ", images " << s.images << ", links " << s.links << "\n";
  return kExitOk;
}

}  // namespace nbclip
