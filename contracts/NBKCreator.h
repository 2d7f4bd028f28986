// The e-book writer library: writes NBK book files. The caller creates and deletes only the
// CNBKBook; every other object comes from the book and belongs to it (valid until the book is
// deleted). Results: 0 (or more) success, negative failure, unless a method says otherwise.
// Wide text is UTF-16; paths may use '\\' as separator. docs/nbk-format.md describes the file
// and what each call records.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#if defined(NBKCREATOR_BUILD)
#define NBK_API __attribute__((visibility("default")))
#else
#define NBK_API
#endif

namespace nbk {
class BookImpl;
}

class CNBKBook;
class CNBKPageObject;
class CNBKBlockObject;
class CNBKTextObject;
class CNBKImageObject;
class CNBKImageStreamObject;

// Kinds passed to the factory calls; kept as the numbers the converter passes.
constexpr int NBK_PAGE_KIND = 77;         // CreatePage
constexpr int NBK_IMAGE_BLOCK_KIND = 79;  // CreateImageBlock
constexpr int NBK_BUTTON_KIND = 19;       // CreateObject
constexpr int NBK_OPEN_NEW = 1;           // Open(NULL, 1)
constexpr int NBK_OPEN_APPEND = 2;        // Open(path, 2)
constexpr int NBK_ERR_BAD_CALL = -1;      // NULL or foreign object, wrong state, bad argument
constexpr int NBK_ERR_NOT_NBK = -2;       // the file is not a valid book (or design)
constexpr int NBK_ERR_IO = -3;            // the file system refused
constexpr int NBK_ERR_LOCKED = -4;        // another writer kept the book past the lock wait
constexpr int NBK_ERR_TOO_LARGE = -5;     // OutputAll: a page would break the format's limits
constexpr int NBK_ERR_NOT_A_FILE = -6;    // the book's name is a folder, FIFO or device
constexpr int NBK_ERR_IN_THE_WAY = -7;    // BOOK.new or BOOK.lock beside it is not the writer's
constexpr int NBK_ERR_DISK_FULL = -11;    // the drive is short of free space

// Every object of a book has an id unique in that book (the file refers to objects by it).
class NBK_API CNBKObject {
 public:
  virtual ~CNBKObject();
  unsigned long GetObjID() const { return m_nID; }
  int GetKind() const { return m_nKind; }

 protected:
  CNBKObject(CNBKBook* book, int kind, unsigned long id)
      : m_pBook(book), m_nKind(kind), m_nID(id) {}
  friend class nbk::BookImpl;
  CNBKBook* m_pBook;
  int m_nKind;
  unsigned long m_nID;
};

class NBK_API CNBKTocObject : public CNBKObject {
 public:
  // An entry that opens page. The third argument is reserved and must be NULL.
  int AddEntry(const std::u16string& title, CNBKPageObject* page, void* reserved);

 protected:
  using CNBKObject::CNBKObject;
  friend class nbk::BookImpl;
};

// A block on a page: the text or image block's own attributes (ChangeAtr) live here.
class NBK_API CNBKBlockObject : public CNBKObject {
 public:
  int ChangeAtr(unsigned short tag, std::uint32_t value);

 protected:
  using CNBKObject::CNBKObject;
  friend class nbk::BookImpl;
};

// Something that can be placed on a page as a block.
class NBK_API CNBKCard : public CNBKObject {
 public:
  virtual CNBKBlockObject* GetBlockObject();

 protected:
  using CNBKObject::CNBKObject;
  friend class nbk::BookImpl;
};

class NBK_API CNBKTextObject : public CNBKObject {
 public:
  int AddText(const std::u16string& text);
  // code and `words` 16-bit words of data (data may be NULL when words is 0).
  int AddCommand(unsigned short code, const unsigned short* data, int words);
  int ChangeAtr(unsigned short tag, std::uint32_t value);
  // Marks the stream finished so far. Calling it again with nothing added is harmless; text or
  // commands added after it go on in the same stream, and all of it is stored.
  int Write();
  // Bytes in the stream at the last Write; 0 when up to then it held no text, command or
  // inline image (attributes alone do not count).
  long GetStreamSize();
  // The text that follows, up to EndTextButton, is the button with that object id (-1 when the
  // id is no button of this book). Starting a button ends one still open.
  int StartTextButton(unsigned long buttonID);
  // Ignored (result -1) when no button was started.
  int EndTextButton();
  CNBKBlockObject* GetBlock();
  int PlotImage(CNBKImageObject* image, int mode);

 protected:
  using CNBKObject::CNBKObject;
  friend class nbk::BookImpl;
};

class NBK_API CNBKTextBlock : public CNBKCard {
 public:
  int SetStyle(int style, int size);
  CNBKTextObject* GetTextObject();
  CNBKBlockObject* GetBlockObject() override;

 protected:
  using CNBKCard::CNBKCard;
  friend class nbk::BookImpl;
};

class NBK_API CNBKImageStreamObject : public CNBKObject {
 protected:
  using CNBKObject::CNBKObject;
  friend class nbk::BookImpl;
};

class NBK_API CNBKImageObject : public CNBKObject {
 public:
  // A new stream of the book that holds the image file's bytes.
  CNBKImageStreamObject* CreateImageStream(const std::u16string& file);
  int SetImageStream(CNBKImageStreamObject* stream);
  // 1 when the stream holds an image the reader shows, else 0.
  int canPutImage();

 protected:
  using CNBKObject::CNBKObject;
  friend class nbk::BookImpl;
};

class NBK_API CNBKImageBlock : public CNBKCard {
 public:
  CNBKImageObject* GetImageObject();
  CNBKBlockObject* GetBlockObject() override;

 protected:
  using CNBKCard::CNBKCard;
  friend class nbk::BookImpl;
};

class NBK_API CNBKButtonObject : public CNBKObject {
 public:
  // page and block may be NULL (no target yet); a later call replaces the target.
  int SetJumpTo(CNBKObject* page, CNBKObject* block);

 protected:
  using CNBKObject::CNBKObject;
  friend class nbk::BookImpl;
};

class NBK_API CNBKPageObject : public CNBKObject {
 public:
  CNBKTextBlock* CreateTextBlock(int kind, int flags);
  CNBKImageBlock* CreateImageBlock(int kind);
  int AddBlock(CNBKBlockObject* block);
  int SetLocation(int x, int y);
  int AddRuledLine(int length, int style, int width, int flags);

 protected:
  using CNBKObject::CNBKObject;
  friend class nbk::BookImpl;
};

class NBK_API CNBKBook {
 public:
  CNBKBook();
  virtual ~CNBKBook();
  CNBKBook(const CNBKBook&) = delete;
  CNBKBook& operator=(const CNBKBook&) = delete;

  int SetScrambleKey(unsigned short key);
  int SetNBKFileName(const std::u16string& path);
  int SetBookID(std::u16string id);
  // mode 1: a new book at the name from SetNBKFileName (path NULL); mode 2: append to path,
  // making it when missing. 0 = open, -11 = drive short of free space, -2 = not a valid book
  // (left untouched), other negative = failure. The book is locked until Close. A name that
  // is a symbolic link names the book it points to.
  int Open(const char16_t* path, int mode);
  // Called once by Open when another writer holds the book and Open starts to wait for it,
  // with who that is ("process 4711 (nbclip)"). Empty: nothing is told.
  int SetWaitNotice(std::function<void(const std::u16string& holder)> notice);
  int SetTitle(std::u16string title);
  int SetTitle_reading(std::u16string reading);
  int SetAuthor(std::u16string author);
  int SetAuthor_reading(std::u16string reading);
  // -1 for a missing file, -2 for one without a valid design.
  int SetDesignFile(const std::u16string& path);
  CNBKTocObject* CreateToc();
  int CreateCoverPage(const std::u16string& title, const std::u16string& author);
  CNBKPageObject* CreatePage(int kind);
  // Appends page as the book's last page.
  int AddPage(CNBKPageObject* page);
  // kind 19: a CNBKButtonObject; NULL for any other kind.
  CNBKObject* CreateObject(int kind);
  // Writes the whole book to a new file beside the old one, flushes it and renames it over
  // the old one; on failure the old book stays as it was (-11 when space ran out, -5 when a
  // page or the table of contents would not fit the format).
  int OutputAll();
  // Releases the file (and its lock). Without OutputAll the file on disk stays as it was.
  int Close();

  nbk::BookImpl* Impl() { return m_pImpl.get(); }

 private:
  std::unique_ptr<nbk::BookImpl> m_pImpl;
};
