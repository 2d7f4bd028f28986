// The list's records: a book, and a site to clip from.
#include <utility>

#include "contracts/ShelvaryManager.h"

CSiteInfo::CSiteInfo() : m_dwFlags(0) {}
CSiteInfo::~CSiteInfo() = default;

CShelvaryInfo::CShelvaryInfo() = default;
CShelvaryInfo::CShelvaryInfo(std::u16string title, std::u16string titleRead, std::u16string author,
                             std::u16string authorRead, std::u16string bookID,
                             std::u16string nbkFileName, std::u16string designFileName)
    : m_strTitle(std::move(title)),
      m_strTitleRead(std::move(titleRead)),
      m_strAuthor(std::move(author)),
      m_strAuthorRead(std::move(authorRead)),
      m_strBookID(std::move(bookID)),
      m_strNBKFileName(std::move(nbkFileName)),
      m_strDesignFileName(std::move(designFileName)) {}
CShelvaryInfo::~CShelvaryInfo() = default;
