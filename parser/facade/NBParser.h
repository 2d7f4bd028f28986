// NBParser, the conversion engine: turns browser documents and pages given by address into
// pages of a Nubra book, written through the writer library NBKCreator.
//
// Use: construct; set the metadata and options; CreateNewBook (a new file) or OpenBook (add to
// a file); if that returned a negative value, AffairBook and destroy; else AddPage as often as
// wanted, then FinalizeBook (write the book) or AffairBook (discard), then destroy.
// UTF-16 text is passed as `const unsigned short*`, ANSI text (the system code page) as `char*`.
// One parser is used by one thread, the one that constructed it.
#pragma once

#include <string>
#include <vector>

#if defined(NBPARSER_BUILD)
#define NBPARSER_API __attribute__((visibility("default")))
#else
#define NBPARSER_API
#endif

struct IHTMLDocument2;
class CNBKBook;
class CNBKTocObject;
class CNBKPageObject;
class CNBKImageStreamObject;

// Results of CNBParser. CreateNewBook, OpenBook and FinalizeBook also pass on the writer's own
// results unchanged (NBK_ERR_* of contracts/NBKCreator.h: -2 … -7, -11); the values below are
// the parser's. -1 to -3 mean what each method says; from -20 on they are the same everywhere.
// parser/facade/ResultText.h turns every one of them into a sentence.
enum NBParserResult : int {
  NBP_OK = 0,
  NBP_ERR_FAILED = -1,   // see each method
  NBP_ERR_NO_COPY = -2,  // AddPage(url): no internet session, or no copy of the page can be made
  NBP_ERR_NO_DOCUMENT = -3,       // AddPage(url): no document could be made of the page
  NBP_ERR_NO_TEMP_FOLDER = -20,   // CreateNewBook, OpenBook: no private temporary folder
  NBP_ERR_PAGE_CUT = -21,         // AddPage(url): the page arrived or was kept only in part
  NBP_ERR_TIME_UP = -22,          // the page's time for downloads ran out
  NBP_ERR_IMAGE_COUNT = -23,      // an image past the page's number of images
  NBP_ERR_IMAGE_BYTES = -24,      // an image past the page's total of image bytes
  NBP_ERR_IMAGE_TOO_LARGE = -25,  // one image larger than any image may be
  NBP_ERR_CACHE_FULL = -26,       // the temporary folder had no room for an image
  NBP_ERR_IMAGE_BROKEN = -27,     // an image's download broke off
};

// Bounds for one page, all of its downloads together (AddPage): how many images are fetched,
// how many bytes they may have in all, and how long the page's downloads may take in all.
// 0 in a field: no bound of that kind.
struct NBPageLimits {
  int maxImages = 500;
  unsigned long long maxImageBytes = 128ull << 20;
  unsigned long timeLimitMs = 120000;
};

// What the parser tells its caller while it works (SetProgress). subject is an address, or,
// for kWaitingForBook, who holds the book; code is the reason of kImageDropped (an
// NBParserResult). Called on the parser's thread, inside the parser's calls.
enum class NBProgress {
  kWaitingForBook,  // another writer holds the book; the parser waits for it
  kLoadingPage,     // a page is being loaded by address
  kFetchingImage,   // an image is being downloaded or read
  kImageDropped,    // an image is left out of the page (a warning; the page goes on)
};
using NBProgressFn = void (*)(void* context, NBProgress event, const unsigned short* subject,
                              int code);

class NBPARSER_API CNBParser {
 public:
  // Initializes COM for the calling thread.
  CNBParser();
  virtual int SetDocument(const char* document);
  virtual int SetDocument(unsigned short* document);
  // Uninitializes COM; does not write a book that is still open.
  virtual ~CNBParser();
  CNBParser(const CNBParser&) = delete;
  CNBParser& operator=(const CNBParser&) = delete;

  // Setters store their text (NULL: empty) and return 0.
  int SetDesignFileName(const unsigned short* path);
  int SetDesignFileName(char* path);
  int SetBookTitle(const unsigned short* title);
  int SetBookTitle(char* title);
  int SetBookAuthor(const unsigned short* author);
  int SetBookAuthor(char* author);
  int SetBookTitle_read(const unsigned short* reading);
  int SetBookTitle_read(char* reading);
  int SetBookAuthor_read(const unsigned short* reading);
  int SetBookAuthor_read(char* reading);
  int SetBookID(const unsigned short* id);
  int SetBookID(char* id);
  int SetNBKFileName(const unsigned short* path);
  int SetNBKFileName(char* path);
  // Title of the table-of-contents entry of the next pages; empty: the document's title.
  int SetTocTitle(const unsigned short* title);
  int SetTocTitle(char* title);
  // Marker comments (the text between "<!--" and "-->"): the region to convert, and regions
  // to leave out.
  void setHTMLStartComment(const unsigned short* marker);
  void setHTMLStartComment(char* marker);
  void setHTMLEndComment(const unsigned short* marker);
  void setHTMLEndComment(char* marker);
  void setHTMLStartExceptComment(const unsigned short* marker);
  void setHTMLEndExceptComment(const unsigned short* marker);
  // Convert only the DIV elements with this id; empty: the whole body.
  void setDivID(const unsigned short* id);

  // Bounds for each following page (NBPageLimits); progress reports (NULL: none).
  void SetPageLimits(const NBPageLimits& limits);
  void SetProgress(NBProgressFn progress, void* context);

  // A new book file at the name of SetNBKFileName, with its cover page. -1 without a design
  // file or when the design cannot be used; NBP_ERR_NO_TEMP_FOLDER without a private temporary
  // folder for the cache; the writer's result when the file cannot be made. A book still open
  // is abandoned first, as AffairBook does.
  int CreateNewBook();
  // The book file of SetNBKFileName, to add pages to (made when missing). Results as above.
  int OpenBook();
  // One page from a loaded document (and its frames); maxDepth below 0 converts nothing.
  // -1 when no internet session can be had, else 0 (images left out are reported through
  // SetProgress). page is not used.
  int AddPage(IHTMLDocument2* document, int maxDepth, CNBKPageObject* page);
  // One page from a http:// or file:// address: 0, or a negative result (NBParserResult), and
  // then no page is added.
  int AddPage(const unsigned short* url, int maxDepth, CNBKPageObject* page);
  int AddPage(char* url, int maxDepth, CNBKPageObject* page);
  // Writes the book out and closes it; removes the cache folder. 0, or the writer's result
  // when the book could not be written (the file then stays as it was).
  int FinalizeBook();
  // Closes the book without writing it; removes the cache folder.
  int AffairBook();

 private:
  int createCashDir();
  int removeCashDir();
  int OpenWithMode(bool append);
  int CloseBook(bool write);
  int AddPageWith(IHTMLDocument2* document, const unsigned short* url, int maxDepth);
  std::u16string Ansi(const char* text) const;

  std::u16string m_strDivID;
  std::u16string m_strCacheDir;
  std::u16string m_strStartComment;
  std::u16string m_strEndComment;
  std::u16string m_strStartExceptComment;
  std::u16string m_strEndExceptComment;
  std::u16string m_strTocTitle;
  std::u16string m_strBookID;
  std::vector<CNBKImageStreamObject*> m_imageStreams;
  std::vector<std::u16string> m_imageNames;
  std::u16string m_strNBKFileName;
  CNBKBook* m_pBook = nullptr;
  CNBKTocObject* m_pToc = nullptr;
  std::u16string m_strAuthorReading;
  std::u16string m_strTitleReading;
  std::u16string m_strAuthor;
  std::u16string m_strTitle;
  std::u16string m_strDesignFileName;
  std::u16string m_strDocument;
  NBPageLimits m_limits;
  NBProgressFn m_pProgress = nullptr;
  void* m_pProgressContext = nullptr;
};
