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

  // A new book file at the name of SetNBKFileName, with its cover page. -1 without a design
  // file or when the design cannot be used; the writer's result when the file cannot be made.
  int CreateNewBook();
  // The book file of SetNBKFileName, to add pages to (made when missing). Results as above.
  int OpenBook();
  // One page from a loaded document (and its frames); maxDepth below 0 converts nothing.
  // -1 when no internet session can be had, else 0. page is not used.
  int AddPage(IHTMLDocument2* document, int maxDepth, CNBKPageObject* page);
  // One page from a http:// or file:// address.
  int AddPage(const unsigned short* url, int maxDepth, CNBKPageObject* page);
  int AddPage(char* url, int maxDepth, CNBKPageObject* page);
  // Writes the book out and closes it; removes the cache folder.
  int FinalizeBook();
  // Closes the book without writing it; removes the cache folder.
  int AffairBook();

 private:
  int createCashDir();
  int removeCashDir();
  int OpenWithMode(bool append);
  int CloseBook(bool write);
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
};
