#include "contracts/ShelvaryManager.h"

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "platform/com/com.h"
#include "shelvarymanager/book_list_file.h"
#include "shelvarymanager/controls.h"
#include "shelvarymanager/folders.h"

namespace shelvary {
namespace {

std::u16string Text(LPCWSTR s) {
  return s != nullptr ? std::u16string(s) : std::u16string();
}

bool IsBareFileName(const std::u16string& name) {
  return name.find_first_of(u"/\\") == std::u16string::npos;
}

}  // namespace

// A change the user made, kept until it is in the file.
struct Change {
  enum class Kind { kAdd, kDelete };
  Kind kind;
  CShelvaryInfo book;
};

class ManagerImpl {
 public:
  int SetDefaultInfo(CShelvaryInfo info);
  int Read(const std::u16string& path);
  int SetCurrentIndex(int index);
  int GetCurrentIndex() const { return m_nCurrent; }
  CShelvaryInfo* GetCurrentInfo() { return &m_books[static_cast<size_t>(m_nCurrent)]; }
  CShelvaryInfo* GetInfo(int index);
  int AddNewInfo(CShelvaryInfo info);
  int DeleteInfo(int index);
  const BookList& Books() const { return m_books; }

 private:
  bool InRange(int index) const {
    return index >= 0 && static_cast<size_t>(index) < m_books.size();
  }
  BookList InitialList();
  void Apply(BookList& books, const Change& change);
  int Commit(Change change);
  void ReportDamaged(const std::string& error, const std::string& aside);

  CShelvaryInfo m_default;
  std::string m_strPath;              // native path of the list file; empty before Read
  BookList m_lastKnown;               // the list as the file last held it
  std::vector<Change> m_pending;      // changes not in the file yet, in order
  BookList m_books{CShelvaryInfo()};  // m_lastKnown with m_pending applied; never empty
  int m_nCurrent = 0;                 // always a row of m_books
  CShelvaryInfo m_empty;              // what GetInfo gives outside the list
};

int ManagerImpl::SetDefaultInfo(CShelvaryInfo info) {
  // The default book has to work out of the box: a bare file name goes into the user's save
  // folder, and the book gets the standard design, so the first add-page makes a real book.
  if (IsBareFileName(info.m_strNBKFileName)) {
    std::string folder = DefaultSaveFolder();
    if (!folder.empty()) {
      info.m_strNBKFileName = platform::com::Utf8ToUtf16(folder + "/") + info.m_strNBKFileName;
    }
  }
  if (info.m_strDesignFileName.empty()) {
    info.m_strDesignFileName = platform::com::Utf8ToUtf16(StandardDesign());
  }
  m_default = std::move(info);
  if (m_strPath.empty()) {
    m_books = InitialList();
    m_nCurrent = 0;
  }
  return SHELVARY_OK;
}

BookList ManagerImpl::InitialList() {
  std::string book = NativePath(m_default.m_strNBKFileName);
  if (!book.empty()) CreateParentFolders(book);
  return BookList{m_default};
}

void ManagerImpl::Apply(BookList& books, const Change& change) {
  if (change.kind == Change::Kind::kAdd) {
    books.push_back(change.book);
  } else {
    // The book itself, wherever it is now: another band may have moved or removed it.
    for (auto it = books.begin(); it != books.end(); ++it) {
      if (*it == change.book) {
        books.erase(it);
        break;
      }
    }
  }
  if (books.empty()) books = InitialList();
}

void ManagerImpl::ReportDamaged(const std::string& error, const std::string& aside) {
  if (aside.empty()) {
    std::fprintf(stderr,
                 "ShelvaryManager: the book list %s is damaged (%s) and could not be moved "
                 "aside; it is left as it is and not written to.\n",
                 m_strPath.c_str(), error.c_str());
  } else {
    std::fprintf(stderr,
                 "ShelvaryManager: the book list %s is damaged (%s); it is kept as %s and a new "
                 "list is started.\n",
                 m_strPath.c_str(), error.c_str(), aside.c_str());
  }
}

int ManagerImpl::Read(const std::u16string& path) {
  m_strPath = NativePath(path);
  m_pending.clear();
  m_nCurrent = 0;
  if (m_strPath.empty()) {
    m_lastKnown = m_books = InitialList();
    return SHELVARY_E_IO;
  }
  CreateParentFolders(m_strPath);
  m_strPath = ResolveListPath(m_strPath);
  FileLock lock(m_strPath);
  LoadResult loaded = LoadBookListFile(m_strPath);
  int result = SHELVARY_OK;
  bool save = false;
  switch (loaded.status) {
    case LoadStatus::kOk:
      // A list without books is the initial state, written out so the file says so.
      save = loaded.books.empty();
      m_books = save ? InitialList() : std::move(loaded.books);
      break;
    case LoadStatus::kEmpty:
    case LoadStatus::kMissing:
      m_books = InitialList();
      save = true;
      break;
    case LoadStatus::kDamaged: {
      m_books = InitialList();
      if (!lock.Locked()) {
        // Another writer may be replacing the file right now; leave it to the next look.
        result = SHELVARY_E_IO;
        break;
      }
      std::string aside = MoveAside(m_strPath);
      ReportDamaged(loaded.error, aside);
      result = SHELVARY_E_DAMAGED;
      save = !aside.empty();
      break;
    }
    case LoadStatus::kIoError:
      // Unreadable is not damaged: the file may well hold books, so it is not written to.
      m_books = InitialList();
      result = SHELVARY_E_IO;
      break;
  }
  m_lastKnown = m_books;
  if (save) {
    if (!lock.Locked() || !SaveBookListFile(m_strPath, m_books)) result = SHELVARY_E_IO;
  }
  return result;
}

int ManagerImpl::SetCurrentIndex(int index) {
  if (!InRange(index)) return SHELVARY_E_INDEX;
  m_nCurrent = index;
  return SHELVARY_OK;
}

CShelvaryInfo* ManagerImpl::GetInfo(int index) {
  if (!InRange(index)) {
    m_empty = CShelvaryInfo();  // a caller may have written to it
    return &m_empty;
  }
  return &m_books[static_cast<size_t>(index)];
}

int ManagerImpl::AddNewInfo(CShelvaryInfo info) {
  int result = Commit(Change{Change::Kind::kAdd, std::move(info)});
  // This change was the last one applied, so the new book is the last row.
  m_nCurrent = static_cast<int>(m_books.size()) - 1;
  return result;
}

int ManagerImpl::DeleteInfo(int index) {
  if (!InRange(index)) return SHELVARY_E_INDEX;
  std::optional<CShelvaryInfo> current;
  if (index != m_nCurrent) current = m_books[static_cast<size_t>(m_nCurrent)];
  int result = Commit(Change{Change::Kind::kDelete, m_books[static_cast<size_t>(index)]});
  int next = -1;
  if (current) {
    for (size_t i = 0; i < m_books.size(); ++i) {
      if (m_books[i] == *current) {
        next = static_cast<int>(i);
        break;
      }
    }
  }
  if (next < 0) next = std::min(index, static_cast<int>(m_books.size()) - 1);
  m_nCurrent = next;
  return result;
}

// Under the lock: take the file as it is now (another band may have changed it), apply every
// change not yet saved, and save. Whatever fails, this manager shows the change, and keeps it
// to be saved by the next change.
int ManagerImpl::Commit(Change change) {
  m_pending.push_back(std::move(change));
  auto applyPending = [this](BookList base) {
    for (const Change& c : m_pending) Apply(base, c);
    return base;
  };
  if (m_strPath.empty()) {
    m_books = applyPending(m_lastKnown);
    return SHELVARY_E_NOFILE;
  }
  FileLock lock(m_strPath);
  if (!lock.Locked()) {
    m_books = applyPending(m_lastKnown);
    return SHELVARY_E_IO;
  }
  LoadResult loaded = LoadBookListFile(m_strPath);
  switch (loaded.status) {
    case LoadStatus::kOk:
      m_lastKnown = loaded.books.empty() ? InitialList() : std::move(loaded.books);
      break;
    case LoadStatus::kEmpty:
    case LoadStatus::kMissing:
      // Removed or emptied behind our back: what we last knew is the best account of it.
      break;
    case LoadStatus::kDamaged: {
      std::string aside = MoveAside(m_strPath);
      ReportDamaged(loaded.error, aside);
      if (aside.empty()) {
        m_books = applyPending(m_lastKnown);
        return SHELVARY_E_IO;
      }
      break;
    }
    case LoadStatus::kIoError:
      m_books = applyPending(m_lastKnown);
      return SHELVARY_E_IO;
  }
  m_books = applyPending(m_lastKnown);
  if (!SaveBookListFile(m_strPath, m_books)) return SHELVARY_E_IO;
  m_lastKnown = m_books;
  m_pending.clear();
  return SHELVARY_OK;
}

}  // namespace shelvary

using shelvary::Text;

CShelvaryManager::CShelvaryManager() : m_pImpl(std::make_unique<shelvary::ManagerImpl>()) {}
CShelvaryManager::~CShelvaryManager() = default;

// No exception leaves the library: the only ones possible here are allocation failures, and
// then the call reports failure and the list stays as it was.
#define SHELVARY_GUARD(expr, failed) \
  try {                              \
    return expr;                     \
  } catch (...) {                    \
    return failed;                   \
  }

int CShelvaryManager::SetDefaultInfo(LPCWSTR title, LPCWSTR titleRead, LPCWSTR author,
                                     LPCWSTR authorRead, LPCWSTR bookID, LPCWSTR nbkFileName) {
  SHELVARY_GUARD(m_pImpl->SetDefaultInfo(CShelvaryInfo(Text(title), Text(titleRead), Text(author),
                                                       Text(authorRead), Text(bookID),
                                                       Text(nbkFileName), u"")),
                 SHELVARY_E_IO)
}

int CShelvaryManager::Read(LPCWSTR path) {
  SHELVARY_GUARD(m_pImpl->Read(Text(path)), SHELVARY_E_IO)
}

int CShelvaryManager::SetCurrentIndex(int index) {
  return m_pImpl->SetCurrentIndex(index);
}
int CShelvaryManager::GetCurrentIndex() const {
  return m_pImpl->GetCurrentIndex();
}
CShelvaryInfo* CShelvaryManager::GetCurrentInfo() {
  return m_pImpl->GetCurrentInfo();
}
CShelvaryInfo* CShelvaryManager::GetInfo(int index) {
  return m_pImpl->GetInfo(index);
}

int CShelvaryManager::AddNewInfo(LPCWSTR title, LPCWSTR titleRead, LPCWSTR author,
                                 LPCWSTR authorRead, LPCWSTR contentID, LPCWSTR nbkFileName,
                                 LPCWSTR designFileName) {
  SHELVARY_GUARD(m_pImpl->AddNewInfo(CShelvaryInfo(Text(title), Text(titleRead), Text(author),
                                                   Text(authorRead), Text(contentID),
                                                   Text(nbkFileName), Text(designFileName))),
                 SHELVARY_E_IO)
}

int CShelvaryManager::DeleteInfo(int index) {
  SHELVARY_GUARD(m_pImpl->DeleteInfo(index), SHELVARY_E_IO)
}

int CShelvaryManager::SetUpComboBox(CComboBox* combo) {
  SHELVARY_GUARD(shelvary::FillComboBox(combo, m_pImpl->Books()), SHELVARY_E_WINDOW)
}

int CShelvaryManager::UpDateListCtrl(CListCtrl* listCtrl) {
  SHELVARY_GUARD(shelvary::FillListCtrl(listCtrl, m_pImpl->Books()), SHELVARY_E_WINDOW)
}
