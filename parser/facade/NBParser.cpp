#include "parser/facade/NBParser.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "contracts/NBKCreator.h"
#include "parser/engine/HtmlPageConverter.h"
#include "parser/facade/PageBudget.h"
#include "platform/inet/internet.h"
#include "platform/win32/codepage.h"
#include "platform/win32/file.h"

namespace {

constexpr unsigned short kScrambleKey = 0x0D3B;

std::u16string Wide(const unsigned short* text) {
  std::u16string out;
  if (!text) return out;
  for (; *text; ++text) out.push_back(static_cast<char16_t>(*text));
  return out;
}

const unsigned short* AsUnsigned(const std::u16string& s) {
  return reinterpret_cast<const unsigned short*>(s.c_str());
}

}  // namespace

CNBParser::CNBParser() {
  CoInitialize(nullptr);
}

CNBParser::~CNBParser() {
  // An open book is not written; its object (and the file it holds) is let go.
  delete m_pBook;
  CoUninitialize();
}

std::u16string CNBParser::Ansi(const char* text) const {
  if (!text) return {};
  int bytes = static_cast<int>(std::strlen(text));
  std::u16string buffer(static_cast<std::size_t>(bytes) + 1, u'\0');
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, buffer.data(), bytes + 1);
  if (n <= 0) return {};
  buffer.resize(static_cast<std::size_t>(n) - 1);
  return buffer;
}

int CNBParser::SetDocument(unsigned short* document) {
  m_strDocument = Wide(document);
  return 0;
}
int CNBParser::SetDocument(const char* document) {
  if (!document) return SetDocument(static_cast<unsigned short*>(nullptr));
  std::u16string wide = Ansi(document);
  return SetDocument(reinterpret_cast<unsigned short*>(wide.data()));
}

// The ANSI forms convert with the system code page and call the wide form; NULL stays NULL.
#define NB_ANSI_FORM(Type, Name)                                         \
  Type CNBParser::Name(char* text) {                                     \
    if (!text) return Name(static_cast<const unsigned short*>(nullptr)); \
    std::u16string wide = Ansi(text);                                    \
    return Name(AsUnsigned(wide));                                       \
  }

int CNBParser::SetDesignFileName(const unsigned short* path) {
  m_strDesignFileName = Wide(path);
  return 0;
}
NB_ANSI_FORM(int, SetDesignFileName)
int CNBParser::SetBookTitle(const unsigned short* title) {
  m_strTitle = Wide(title);
  return 0;
}
NB_ANSI_FORM(int, SetBookTitle)
int CNBParser::SetBookAuthor(const unsigned short* author) {
  m_strAuthor = Wide(author);
  return 0;
}
NB_ANSI_FORM(int, SetBookAuthor)
int CNBParser::SetBookTitle_read(const unsigned short* reading) {
  m_strTitleReading = Wide(reading);
  return 0;
}
NB_ANSI_FORM(int, SetBookTitle_read)
int CNBParser::SetBookAuthor_read(const unsigned short* reading) {
  m_strAuthorReading = Wide(reading);
  return 0;
}
NB_ANSI_FORM(int, SetBookAuthor_read)
int CNBParser::SetBookID(const unsigned short* id) {
  m_strBookID = Wide(id);
  return 0;
}
NB_ANSI_FORM(int, SetBookID)
int CNBParser::SetNBKFileName(const unsigned short* path) {
  m_strNBKFileName = Wide(path);
  return 0;
}
NB_ANSI_FORM(int, SetNBKFileName)
int CNBParser::SetTocTitle(const unsigned short* title) {
  m_strTocTitle = Wide(title);
  return 0;
}
NB_ANSI_FORM(int, SetTocTitle)
void CNBParser::setHTMLStartComment(const unsigned short* marker) {
  m_strStartComment = Wide(marker);
}
NB_ANSI_FORM(void, setHTMLStartComment)
void CNBParser::setHTMLEndComment(const unsigned short* marker) {
  m_strEndComment = Wide(marker);
}
NB_ANSI_FORM(void, setHTMLEndComment)
void CNBParser::setHTMLStartExceptComment(const unsigned short* marker) {
  m_strStartExceptComment = Wide(marker);
}
void CNBParser::setHTMLEndExceptComment(const unsigned short* marker) {
  m_strEndExceptComment = Wide(marker);
}
void CNBParser::setDivID(const unsigned short* id) {
  m_strDivID = Wide(id);
}

#undef NB_ANSI_FORM

int CNBParser::CreateNewBook() {
  return OpenWithMode(false);
}
int CNBParser::OpenBook() {
  return OpenWithMode(true);
}

void CNBParser::SetPageLimits(const NBPageLimits& limits) {
  m_limits = limits;
}

void CNBParser::SetProgress(NBProgressFn progress, void* context) {
  m_pProgress = progress;
  m_pProgressContext = context;
}

int CNBParser::OpenWithMode(bool append) {
  if (m_strDesignFileName.empty()) return NBP_ERR_FAILED;
  // A book left open by an earlier call: abandoned with its image lists, whose streams die
  // with it.
  if (m_pBook) CloseBook(false);
  if (int rc = createCashDir(); rc != 0) return rc;
  m_pBook = new CNBKBook();
  m_pToc = nullptr;
  m_pBook->SetScrambleKey(kScrambleKey);
  if (!m_strNBKFileName.empty()) m_pBook->SetNBKFileName(m_strNBKFileName);
  if (!m_strBookID.empty()) m_pBook->SetBookID(m_strBookID);
  if (m_pProgress) {
    m_pBook->SetWaitNotice([this](const std::u16string& holder) {
      PageBudget(m_limits, m_pProgress, m_pProgressContext)
          .Tell(NBProgress::kWaitingForBook, holder);
    });
  }
  int opened = append ? m_pBook->Open(m_strNBKFileName.c_str(), NBK_OPEN_APPEND)
                      : m_pBook->Open(nullptr, NBK_OPEN_NEW);
  if (opened != 0) return opened;
  m_pBook->SetTitle(m_strTitle);
  m_pBook->SetTitle_reading(m_strTitleReading);
  m_pBook->SetAuthor(m_strAuthor);
  m_pBook->SetAuthor_reading(m_strAuthorReading);
  if (append) {
    m_pToc = m_pBook->CreateToc();
    return m_pBook->SetDesignFile(m_strDesignFileName) >= 0 ? NBP_OK : NBP_ERR_FAILED;
  }
  if (m_pBook->SetDesignFile(m_strDesignFileName) < 0) return NBP_ERR_FAILED;
  m_pToc = m_pBook->CreateToc();
  m_pBook->CreateCoverPage(m_strTitle, m_strAuthor);
  return NBP_OK;
}

int CNBParser::AddPage(IHTMLDocument2* document, int maxDepth, CNBKPageObject* /*page*/) {
  return AddPageWith(document, nullptr, maxDepth);
}

int CNBParser::AddPage(const unsigned short* url, int maxDepth, CNBKPageObject* /*page*/) {
#if defined(NBPARSER_HAS_LOADING)
  return AddPageWith(nullptr, url, maxDepth);
#else
  (void)url;
  (void)maxDepth;
  return NBP_ERR_FAILED;
#endif
}

// Both forms: a session and a converter for the one page, under the page's bounds.
int CNBParser::AddPageWith(IHTMLDocument2* document, const unsigned short* url, int maxDepth) {
  std::unique_ptr<CInternetSession> session;
  try {
    session = std::make_unique<CInternetSession>(u"DOCUMENT GETTER", 1, PRE_CONFIG_INTERNET_ACCESS,
                                                 nullptr, nullptr, 0);
  } catch (CInternetException* e) {
    e->Delete();
    return NBP_ERR_FAILED;
  }
  session->SetOption(INTERNET_OPTION_CONNECT_RETRIES, 3, 0);
  PageBudget budget(m_limits, m_pProgress, m_pProgressContext);
  int result;
  {
    CHtmlPageConverter converter;
    converter.SetBook(m_pBook);
    converter.SetToc(m_pToc);
    converter.SetTocTitle(AsUnsigned(m_strTocTitle));
    converter.SetMaxDepth(maxDepth);
    converter.SetSession(session.get());
    converter.SetStartComment(m_strStartComment);
    converter.SetEndComment(m_strEndComment);
    converter.SetDivID(m_strDivID);
    converter.SetStartExceptComment(m_strStartExceptComment);
    converter.SetEndExceptComment(m_strEndExceptComment);
    converter.SetCacheDir(m_strCacheDir);
    converter.SetImageNames(&m_imageNames);
    converter.SetImageStreams(&m_imageStreams);
    converter.SetBudget(&budget);
    result = url ? converter.LoadAndAddDocument(url, 0) : converter.AddDocument(document, 0);
  }
  session->Close();
  return url ? result : NBP_OK;
}

int CNBParser::AddPage(char* url, int maxDepth, CNBKPageObject* page) {
  if (!url) return AddPage(static_cast<const unsigned short*>(nullptr), maxDepth, page);
  std::u16string wide = Ansi(url);
  return AddPage(AsUnsigned(wide), maxDepth, page);
}

int CNBParser::FinalizeBook() {
  return CloseBook(true);
}
int CNBParser::AffairBook() {
  return CloseBook(false);
}

int CNBParser::CloseBook(bool write) {
  int result = NBP_OK;
  if (m_pBook) {
    // A book that could not be written stays on disk as it was; the caller hears why.
    if (write) result = m_pBook->OutputAll();
    m_pBook->Close();
    delete m_pBook;
    m_pBook = nullptr;
  }
  m_pToc = nullptr;
  removeCashDir();
  // The streams belonged to the book just deleted.
  m_imageNames.clear();
  m_imageStreams.clear();
  return result;
}

namespace {

constexpr char16_t kCacheFolder[] = u"ZeveZadezCash";

std::u16string Decimal(unsigned long n) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n != 0);
  return digits;
}

// Deletes the ".tmp" files of a cache folder and the folder; FALSE when something stays.
BOOL RemoveCacheFolder(const std::u16string& folder) {
  WIN32_FIND_DATAW found;
  std::u16string pattern = folder + u"*.tmp";
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      std::u16string file = folder + found.cFileName;
      DeleteFileW(file.c_str());  // a file still in use stays; the folder then stays too
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  return RemoveDirectoryW(folder.c_str());
}

// The folders of conversions whose process is gone (a crash, a kill) are removed; a folder
// whose process still runs is that conversion's.
void RemoveAbandonedFolders(const std::u16string& root) {
  WIN32_FIND_DATAW found;
  std::u16string pattern = root + u"*-*";
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    std::u16string name = found.cFileName;
    std::size_t dash = name.find(u'-');
    if (dash == 0 || dash > 10) continue;
    unsigned long pid = 0;
    bool digits = true;
    for (std::size_t i = 0; i < dash; ++i) {
      if (name[i] < u'0' || name[i] > u'9') digits = false;
      pid = pid * 10 + static_cast<unsigned long>(name[i] - u'0');
    }
    if (!digits || pid == GetCurrentProcessId()) continue;
    if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid))) {
      CloseHandle(process);
      continue;
    }
    RemoveCacheFolder(root + name + u"\\");
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

// The cache folder of this book: a folder of its own inside temp + "ZeveZadezCash", named by
// the process and a number, so that conversions running at once (two browser windows, two
// hosts) never touch each other's files. The temporary folder is the user's own; without one
// nothing is written at all, rather than into the working folder.
int CNBParser::createCashDir() {
  if (!m_strCacheDir.empty()) return NBP_OK;
  WCHAR temp[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return NBP_ERR_NO_TEMP_FOLDER;
  const std::u16string root = std::u16string(temp, n) + kCacheFolder + u"\\";
  static std::atomic<unsigned long> serial{0};
  for (int attempt = 0; attempt < 16; ++attempt) {
    // Another conversion that ends may remove the shared folder between these two calls;
    // then it is made again.
    CreateDirectoryW(std::u16string(temp, n).append(kCacheFolder).c_str(), nullptr);
    if (attempt == 0) RemoveAbandonedFolders(root);
    std::u16string own = root + Decimal(GetCurrentProcessId()) + u"-" + Decimal(++serial);
    if (CreateDirectoryW(own.c_str(), nullptr)) {
      m_strCacheDir = own + u"\\";
      return NBP_OK;
    }
    DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_PATH_NOT_FOUND) break;
  }
  return NBP_ERR_NO_TEMP_FOLDER;
}

int CNBParser::removeCashDir() {
  // Without a cache folder the pattern would name the working folder's files.
  if (m_strCacheDir.empty()) return 0;
  if (!RemoveCacheFolder(m_strCacheDir)) return -1;
  // The shared folder goes with the last conversion that used it: it cannot be removed while
  // another conversion's folder is in it.
  std::u16string root = m_strCacheDir.substr(0, m_strCacheDir.size() - 1);
  root.resize(root.find_last_of(u"\\") + 1);
  RemoveDirectoryW(root.c_str());
  m_strCacheDir.clear();
  return 0;
}
