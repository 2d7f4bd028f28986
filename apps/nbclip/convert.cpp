// nbclip convert PAGE... -o BOOK.nbk [options] [--append]: loads a page as the browser would (its
// real address, style sheets and frames) and adds it to a book through CNBParser, as the
// toolbar's "add this page" button does. Prints where the book is and what is in it.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/nbclip/commands.h"
#include "apps/nbclip/page_fetch.h"
#include "contracts/NBKCreator.h"
#include "contracts/NBKReader.h"
#include "parser/facade/NBParser.h"
#include "parser/facade/PageLoading.h"
#include "parser/facade/ResultText.h"
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
    "         [--append] [--from-address] [--force] [--quiet]\n"
    "         [--max-images N] [--max-image-bytes N] [--page-time SECONDS]\n"
    "  PAGE: a local path, or a file://, http:// or https:// address; several pages are added\n"
    "  to the book one after the other, all or none\n"
    "  --append: add the pages after the book's own; its title, author and their readings\n"
    "  stay unless given again\n"
    "  --from-address: the parser loads each PAGE itself (http:// or file:// only) instead of\n"
    "  this host, and prints the charset code it detected\n"
    "  --force: replace an existing file at BOOK.nbk that is not a book\n"
    "  --quiet: no progress on standard error (warnings and errors still)\n"
    "  --max-images, --max-image-bytes, --page-time: bounds for each page, all its downloads\n"
    "  together (default 500 images, 134217728 bytes, 120 s; 0: no bound)\n";

const unsigned short* W(const std::u16string& s) {
  return reinterpret_cast<const unsigned short*>(s.c_str());
}

std::u16string U16(std::string_view s) {
  return platform::com::Utf8ToUtf16(s);
}
std::string U8(std::u16string_view s) {
  return platform::com::Utf16ToUtf8(s);
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

// Blocks (text and image) of one page, and its characters as the reader counted them.
void CountPage(const nbk::Page& page, std::size_t characters, Summary& s) {
  for (const nbk::PageItem& item : page.items) {
    if (std::holds_alternative<nbk::TextBlock>(item) ||
        std::holds_alternative<nbk::ImageBlock>(item)) {
      ++s.blocks;
    }
  }
  s.characters += characters;
}

Summary Summarize(const nbk::Book& book, const std::vector<std::size_t>& textUnits) {
  Summary s;
  s.pages = book.pages.size();
  s.images = book.images.size();
  s.links = book.buttons.size();
  for (std::size_t i = 0; i < book.pages.size(); ++i) CountPage(book.pages[i], textUnits[i], s);
  return s;
}

// Progress of the parser, told through the reporter.
void TellProgress(void* context, NBProgress event, const unsigned short* subject, int code) {
  const auto* reporter = static_cast<const Reporter*>(context);
  std::string what = subject ? U8(reinterpret_cast<const char16_t*>(subject)) : std::string();
  switch (event) {
    case NBProgress::kWaitingForBook:
      reporter->Progress("waiting for the book, which " + what + " is writing");
      break;
    case NBProgress::kLoadingPage:
      reporter->Progress("loading " + what);
      break;
    case NBProgress::kFetchingImage:
      reporter->Progress("fetching image " + what);
      break;
    case NBProgress::kImageDropped:
      reporter->Warning("image " + what +
                        " left out: " + std::string(ResultSentence(NBOperation::kImage, code)));
      break;
  }
}

// Whether the file at path begins as a book does (the magic and the book kind).
bool LooksLikeBook(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  char head[14] = {};
  if (!in.read(head, sizeof head)) return false;
  return std::memcmp(head, nbk::kMagic, sizeof nbk::kMagic) == 0 && head[nbk::kKindOffset] == 1 &&
         head[nbk::kKindOffset + 1] == 0;
}

// Why the book may not be written at path, or nothing. Anything there that is not a regular
// file is refused at once; without --append, a file that is no book (the page being
// converted, say) is replaced only with --force.
std::optional<std::string> RefuseBook(const fs::path& book, bool append, bool force,
                                      const std::vector<std::string>& pages) {
  std::error_code ec;
  fs::file_status status = fs::status(book, ec);  // through a link: the book it names
  if (ec || !fs::exists(status)) return std::nullopt;
  if (!fs::is_regular_file(status)) {
    return book.string() + " is not a regular file (a folder, FIFO or device)";
  }
  for (const std::string& page : pages) {
    if (page.find("://") != std::string::npos) continue;
    if (fs::equivalent(page, book, ec) && !force) {
      return book.string() + " is the page being converted; give another name for the book";
    }
  }
  if (!append && !force && !LooksLikeBook(book)) {
    return book.string() +
           " exists and is not a book; only a book is replaced (--force replaces it anyway)";
  }
  return std::nullopt;
}

// What a book to be appended to is already called, and by whom; nothing for a book that does
// not exist yet or cannot be read (the writer then says what is wrong with it).
std::optional<nbk::Metadata> BookMetadata(const fs::path& book) {
  std::error_code ec;
  if (!fs::is_regular_file(book, ec)) return std::nullopt;
  std::vector<std::size_t> textUnits;
  std::string error;
  std::optional<nbk::Book> read = nbk::ReadBookOutline(book.string(), textUnits, error);
  return read ? read->meta : std::nullopt;
}

std::optional<unsigned long long> Number(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return {};
  try {
    return std::stoull(text);
  } catch (const std::exception&) {
    return {};
  }
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
      {"--except-end", "except-end"},
      {"--max-images", "max-images"},
      {"--max-image-bytes", "max-image-bytes"},
      {"--page-time", "page-time"}};
  std::map<std::string_view, std::string> values;
  std::vector<std::string> pages;
  bool append = false;
  bool fromAddress = false;
  bool force = false;
  Reporter reporter;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view a = args[i];
    if (a == "--append") {
      append = true;
    } else if (a == "--from-address") {
      fromAddress = true;
    } else if (a == "--force") {
      force = true;
    } else if (a == "--quiet") {
      reporter.quiet = true;
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
  NBPageLimits limits;
  for (auto [name, field] :
       {std::pair{"max-images", 0}, {"max-image-bytes", 1}, {"page-time", 2}}) {
    if (!values.contains(name)) continue;
    std::optional<unsigned long long> n = Number(values[name]);
    if (!n || (field == 0 && *n > 1000000) || (field == 2 && *n > 86400)) {
      std::cerr << "nbclip convert: --" << name << " needs a number"
                << (field == 1   ? ""
                    : field == 0 ? " up to 1000000"
                                 : " of seconds up to 86400")
                << ", not \"" << values[name] << "\"\n";
      return kExitUsage;
    }
    if (field == 0) limits.maxImages = static_cast<int>(*n);
    if (field == 1) limits.maxImageBytes = *n;
    if (field == 2) limits.timeLimitMs = static_cast<unsigned long>(*n * 1000);
  }
  fs::path bookPath = fs::absolute(values["book"]);
  if (std::optional<std::string> why = RefuseBook(bookPath, append, force, pages)) {
    std::cerr << "nbclip convert: " << *why << "\n";
    return kExitFailed;
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

  if (values.contains("design") && !fs::is_regular_file(platform::win32::ToNativePath(design))) {
    std::cerr << "nbclip convert: no design file " << values["design"] << "\n";
    return kExitFailed;
  }

  platform::com::ComInitialization com;
  // Each page loads under its own time and with what its address allows; the parser's own
  // fetches during its conversion (style sheets re-added) go through the same.
  struct Loaded {
    ComPtr<IHTMLDocument2> doc;
    std::shared_ptr<PageFetch> fetch;
  };
  auto fetchFor = [&](const std::string& page) {
    auto fetch = std::make_shared<PageFetch>();
    fetch->webOnly = IsWebAddress(U16(page));
    fetch->reporter = &reporter;
    if (limits.timeLimitMs != 0) {
      fetch->deadline =
          std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.timeLimitMs);
    }
    return fetch;
  };
  std::vector<Loaded> docs;
  for (const std::string& page : fromAddress ? std::vector<std::string>() : pages) {
    Loaded loaded{nullptr, fetchFor(page)};
    platform::mshtml::LoadOptions options;
    options.fetch = FetcherOf(loaded.fetch);
    options.warn = [&reporter](const std::string& what) { reporter.Warning(what); };
    if (!IsWebAddress(U16(page))) reporter.Progress("loading " + page);
    HRESULT hr = platform::mshtml::LoadDocument(U16(page), options, &loaded.doc);
    if (FAILED(hr) || !loaded.doc) {
      std::cerr << "nbclip convert: cannot load " << page << "\n";
      docs.clear();
      return kExitFailed;
    }
    docs.push_back(std::move(loaded));
  }

  // A page appended to a book keeps the book's title, author and their readings unless they
  // are given again: the book is still the one it was.
  std::optional<nbk::Metadata> kept = append ? BookMetadata(bookPath) : std::nullopt;
  auto field = [&](std::string_view name, std::u16string nbk::Metadata::*member) {
    return values.contains(name) || !kept ? value(name) : (*kept).*member;
  };
  std::u16string title = value("title");
  if (!values.contains("title") && kept && !kept->title.empty()) {
    title = kept->title;
  } else if (!values.contains("title") && fromAddress) {
    title = U16(bookPath.stem().string());
  } else if (!values.contains("title")) {
    BStr docTitle;
    docs.front().doc->get_title(&docTitle);
    title = docTitle.Str();
    if (title.empty()) title = U16(bookPath.stem().string());
  }

  bool failed = false;
  {
    CNBParser parser;
    parser.SetProgress(TellProgress, &reporter);
    parser.SetDesignFileName(W(design));
    parser.SetNBKFileName(W(U16(bookPath.string())));
    parser.SetBookTitle(W(title));
    parser.SetBookAuthor(W(field("author", &nbk::Metadata::author)));
    parser.SetBookTitle_read(W(field("title-reading", &nbk::Metadata::titleReading)));
    parser.SetBookAuthor_read(W(field("author-reading", &nbk::Metadata::authorReading)));
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
      std::cerr << "nbclip convert: cannot open the book " << bookPath.string() << ": "
                << ResultSentence(NBOperation::kOpenBook, opened) << "\n";
      docs.clear();
      return kExitFailed;
    }
    // Pages added in one session share the images already fetched into the book. The
    // parser's downloads get what is left of the page's time.
    for (std::size_t i = 0; i < docs.size() && !failed; ++i) {
      NBPageLimits pageLimits = limits;
      if (long left = docs[i].fetch->RemainingMs(); left >= 0) {
        pageLimits.timeLimitMs = static_cast<unsigned long>(std::max(left, 1L));
      }
      parser.SetPageLimits(pageLimits);
      platform::mshtml::SetSessionFetcher(FetcherOf(docs[i].fetch));
      if (int r = parser.AddPage(docs[i].doc.Get(), 0, nullptr); r != 0) {
        std::cerr << "nbclip convert: " << pages[i] << ": "
                  << ResultSentence(NBOperation::kAddPage, r) << "\n";
        failed = true;
      }
      // The page is in the book now: its document goes before the book is written.
      docs[i].doc = nullptr;
    }
    for (const std::string& page : fromAddress ? pages : std::vector<std::string>()) {
      if (failed) break;
      std::shared_ptr<PageFetch> fetch = fetchFor(page);
      platform::mshtml::SetSessionFetcher(FetcherOf(fetch));
      parser.SetPageLimits(limits);
      std::u16string address = AddressOf(page);
      int r = parser.AddPage(W(address), 0, nullptr);
      std::cout << "charset code " << LastLoadedCharsetCode() << " result " << r << " " << page
                << "\n";
      if (r != 0) {
        std::cerr << "nbclip convert: " << page << ": "
                  << ResultSentence(NBOperation::kAddPageByAddress, r) << "\n";
        failed = true;
      }
    }
    // All pages or none: a page that was not added leaves the book as it was.
    if (failed) {
      parser.AffairBook();
    } else if (int r = parser.FinalizeBook(); r != 0) {
      std::cerr << "nbclip convert: the book " << bookPath.string()
                << " was not written: " << ResultSentence(NBOperation::kFinalizeBook, r) << "\n";
      failed = true;
    }
  }
  platform::mshtml::SetSessionFetcher({});
  docs.clear();
  if (failed) {
    std::cerr << "nbclip convert: nothing was written to " << bookPath.string() << "\n";
    return kExitFailed;
  }

  std::string error;
  // Read back and checked whole; only how much text each page has is kept of its streams.
  std::vector<std::size_t> textUnits;
  std::optional<nbk::Book> book = nbk::ReadBookOutline(bookPath.string(), textUnits, error);
  if (!book) {
    std::cerr << "nbclip convert: the book was written but cannot be read back: " << error << "\n";
    return kExitFailed;
  }
  Summary s = Summarize(*book, textUnits);
  // A page that gave no text at all is most likely one the loader misread (an encoding).
  // This session's pages are the book's last ones; a book with fewer pages than were added
  // cannot be matched page to page, and is not guessed at.
  if (book->pages.size() >= pages.size()) {
    std::size_t first = book->pages.size() - pages.size();
    for (std::size_t i = 0; i < pages.size(); ++i) {
      if (textUnits[first + i] == 0)
        std::cerr << "nbclip convert: warning: " << pages[i] << " yielded no text\n";
    }
  }
  std::cout << "book: " << bookPath.string() << "\n"
            << "pages " << s.pages << ", blocks " << s.blocks << ", characters " << s.characters
            << ", images " << s.images << ", links " << s.links << "\n";
  return kExitOk;
}

}  // namespace nbclip
