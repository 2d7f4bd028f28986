// The book-list library: the user's list of books, kept in an XML file.
//
// One CShelvaryManager per toolbar band. Entries are CShelvaryInfo objects owned by the manager;
// a pointer to one (and every string its getters return) stays valid until the list next changes
// (Read, AddNewInfo, DeleteInfo). All text is UTF-16; a null string argument counts as empty.
// Every call comes from the one user-interface thread of its band; no exception leaves a call.
//
// Results are int status codes: 0 success, negative failure (SHELVARY_E_* below).
//
// The file:
// - Read loads the list from the given file. A missing folder and file are created, holding
//   the default entry. An empty, missing or damaged file gives a list of just the default entry.
// - A file that cannot be parsed is never overwritten: it is renamed aside to
//   "<name>.damaged-<UTC time>[-n]", reported once on standard error, and Read returns
//   SHELVARY_E_DAMAGED; the list starts afresh from the default entry.
// - AddNewInfo and DeleteInfo take an exclusive lock ("<name>.lock" beside the file), re-read the
//   file (so changes made meanwhile by another band, in this or another process, are kept),
//   apply themselves and save: the new content is written beside the file, flushed to disk and
//   renamed over it, so the file always holds either the old or the new list. When the file
//   cannot be read or saved, the change stays in this manager and is replayed by the next change.
//
// The default entry (SetDefaultInfo) is the list's initial state. Its bare book file name is
// placed in the user's default save folder (the documents folder, then "EnjoyNubra", created when
// missing), and its design is the standard design: the first design file, by name, in the
// designs folder. Deleting the last book returns the list to the default entry, so the list is
// never empty and GetCurrentInfo never returns null.
//
// Indexes are rows of the combo box and the list control, 0 based, in list order.
// - After AddNewInfo the current entry is the new book; after DeleteInfo it is the entry that was
//   current, or, when that was the one deleted, the row that took its place (the last row when
//   it was the last).
// - SetCurrentIndex outside the list changes nothing and returns SHELVARY_E_INDEX.
// - GetInfo outside the list returns the manager's one outside entry, empty (every getter gives
//   ""), never null; the rows of the list are those before the first index that gives it.
// - DeleteInfo outside the list deletes nothing and returns SHELVARY_E_INDEX.
#pragma once

#include <memory>
#include <string>

#include "platform/com/types.h"

#if defined(SHELVARYMANAGER_BUILD)
#define SHELVARY_API __attribute__((visibility("default")))
#else
#define SHELVARY_API
#endif

constexpr int SHELVARY_OK = 0;
constexpr int SHELVARY_E_INDEX = -1;    // an index outside the list
constexpr int SHELVARY_E_IO = -2;       // the file could not be read, locked or saved
constexpr int SHELVARY_E_DAMAGED = -3;  // Read: the file was damaged and has been renamed aside
constexpr int SHELVARY_E_NOFILE = -4;   // a change before Read: nothing to save to
constexpr int SHELVARY_E_WINDOW = -5;   // SetUpComboBox/UpDateListCtrl: no such window

// A record of a web site to clip from. Kept for the library's users; the toolbar does not use it.
class SHELVARY_API CSiteInfo {
 public:
  CSiteInfo();
  virtual ~CSiteInfo();

  std::u16string m_strSiteName;
  std::u16string m_strURL;
  std::u16string m_strStartComment;  // the comment that starts the region to convert
  std::u16string m_strEndComment;    // the comment that ends it
  std::u16string m_strDivID;         // the DIV whose children are converted
  std::u16string m_strBookTitle;
  std::u16string m_strNBKFileName;
  std::u16string m_strDesignFileName;
  DWORD m_dwFlags;
};

// One book of the list.
class SHELVARY_API CShelvaryInfo {
 public:
  CShelvaryInfo();
  CShelvaryInfo(std::u16string title, std::u16string titleRead, std::u16string author,
                std::u16string authorRead, std::u16string bookID, std::u16string nbkFileName,
                std::u16string designFileName);
  virtual ~CShelvaryInfo();

  LPCWSTR GetTitle() const { return m_strTitle.c_str(); }
  LPCWSTR GetTitleRead() const { return m_strTitleRead.c_str(); }
  LPCWSTR GetAuthor() const { return m_strAuthor.c_str(); }
  LPCWSTR GetAuthorRead() const { return m_strAuthorRead.c_str(); }
  LPCWSTR GetBookID() const { return m_strBookID.c_str(); }
  LPCWSTR GetNBKFileName() const { return m_strNBKFileName.c_str(); }  // path of the book file
  LPCWSTR GetDesignFileName() const { return m_strDesignFileName.c_str(); }  // path of the design

  // Same book: every field equal. Changes find the book they act on by this, because another
  // band may have moved it to another row meanwhile.
  friend bool operator==(const CShelvaryInfo&, const CShelvaryInfo&) = default;

  std::u16string m_strTitle;
  std::u16string m_strTitleRead;
  std::u16string m_strAuthor;
  std::u16string m_strAuthorRead;
  std::u16string m_strBookID;
  std::u16string m_strNBKFileName;
  std::u16string m_strDesignFileName;
};

class CComboBox;  // the window wrappers of the platform's class library
class CListCtrl;

namespace shelvary {
class ManagerImpl;
}

class SHELVARY_API CShelvaryManager {
 public:
  CShelvaryManager();
  virtual ~CShelvaryManager();
  CShelvaryManager(const CShelvaryManager&) = delete;
  CShelvaryManager& operator=(const CShelvaryManager&) = delete;

  // The list's initial state; called once, before Read.
  int SetDefaultInfo(LPCWSTR title, LPCWSTR titleRead, LPCWSTR author, LPCWSTR authorRead,
                     LPCWSTR bookID, LPCWSTR nbkFileName);
  // Loads the list from the file (full path; '\' and '/' both separate folders).
  int Read(LPCWSTR path);

  int SetCurrentIndex(int index);
  int GetCurrentIndex() const;
  CShelvaryInfo* GetCurrentInfo();
  CShelvaryInfo* GetInfo(int index);

  int AddNewInfo(LPCWSTR title, LPCWSTR titleRead, LPCWSTR author, LPCWSTR authorRead,
                 LPCWSTR contentID, LPCWSTR nbkFileName, LPCWSTR designFileName);
  int DeleteInfo(int index);

  // Empties the combo box and adds one row per entry, in index order, the title as the text.
  int SetUpComboBox(CComboBox* combo);
  // Empties the list-view control and inserts one row per entry, in index order, the title in
  // column 0.
  int UpDateListCtrl(CListCtrl* listCtrl);

 private:
  std::unique_ptr<shelvary::ManagerImpl> m_pImpl;
};
