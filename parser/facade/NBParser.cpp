#include "parser/facade/NBParser.h"

#include <cstring>
#include <memory>

#include "contracts/NBKCreator.h"
#include "parser/engine/HtmlPageConverter.h"
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

int CNBParser::OpenWithMode(bool append) {
  if (m_strDesignFileName.empty()) return -1;
  createCashDir();
  // A book left open by an earlier call that was never finalized or abandoned.
  delete m_pBook;
  m_pBook = new CNBKBook();
  m_pToc = nullptr;
  m_pBook->SetScrambleKey(kScrambleKey);
  if (!m_strNBKFileName.empty()) m_pBook->SetNBKFileName(m_strNBKFileName);
  if (!m_strBookID.empty()) m_pBook->SetBookID(m_strBookID);
  int opened = append ? m_pBook->Open(m_strNBKFileName.c_str(), NBK_OPEN_APPEND)
                      : m_pBook->Open(nullptr, NBK_OPEN_NEW);
  if (opened != 0) return opened;
  m_pBook->SetTitle(m_strTitle);
  m_pBook->SetTitle_reading(m_strTitleReading);
  m_pBook->SetAuthor(m_strAuthor);
  m_pBook->SetAuthor_reading(m_strAuthorReading);
  if (append) {
    m_pToc = m_pBook->CreateToc();
    return m_pBook->SetDesignFile(m_strDesignFileName) >= 0 ? 0 : -1;
  }
  if (m_pBook->SetDesignFile(m_strDesignFileName) < 0) return -1;
  m_pToc = m_pBook->CreateToc();
  m_pBook->CreateCoverPage(m_strTitle, m_strAuthor);
  return 0;
}

int CNBParser::AddPage(IHTMLDocument2* document, int maxDepth, CNBKPageObject* /*page*/) {
  std::unique_ptr<CInternetSession> session;
  try {
    session = std::make_unique<CInternetSession>(u"DOCUMENT GETTER", 1, PRE_CONFIG_INTERNET_ACCESS,
                                                 nullptr, nullptr, 0);
  } catch (CInternetException* e) {
    e->Delete();
    return -1;
  }
  session->SetOption(INTERNET_OPTION_CONNECT_RETRIES, 3, 0);
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
    converter.AddDocument(document, 0);
  }
  session->Close();
  return 0;
}

int CNBParser::AddPage(const unsigned short* url, int maxDepth, CNBKPageObject* /*page*/) {
#if defined(NBPARSER_HAS_LOADING)
  std::unique_ptr<CInternetSession> session;
  try {
    session = std::make_unique<CInternetSession>(u"DOCUMENT GETTER", 1, PRE_CONFIG_INTERNET_ACCESS,
                                                 nullptr, nullptr, 0);
  } catch (CInternetException* e) {
    e->Delete();
    return -1;
  }
  session->SetOption(INTERNET_OPTION_CONNECT_RETRIES, 3, 0);
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
    result = converter.LoadAndAddDocument(url, 0);
  }
  session->Close();
  return result;
#else
  (void)url;
  (void)maxDepth;
  return -1;
#endif
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
  if (m_pBook) {
    if (write) m_pBook->OutputAll();
    m_pBook->Close();
    delete m_pBook;
    m_pBook = nullptr;
  }
  m_pToc = nullptr;
  removeCashDir();
  // The streams belonged to the book just deleted.
  m_imageNames.clear();
  m_imageStreams.clear();
  return 0;
}

int CNBParser::createCashDir() {
  if (!m_strCacheDir.empty()) return 0;
  WCHAR temp[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return 0;
  std::u16string folder = std::u16string(temp, n) + u"ZeveZadezCash";
  CreateDirectoryW(folder.c_str(), nullptr);
  m_strCacheDir = folder + u"\\";
  return 0;
}

int CNBParser::removeCashDir() {
  // Without a cache folder the pattern would name the working folder's files.
  if (m_strCacheDir.empty()) return 0;
  WIN32_FIND_DATAW found;
  std::u16string pattern = m_strCacheDir + u"*.tmp";
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      std::u16string file = m_strCacheDir + found.cFileName;
      DeleteFileW(file.c_str());  // a file still in use stays; the folder then stays too
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  if (!RemoveDirectoryW(m_strCacheDir.c_str())) return -1;
  m_strCacheDir.clear();
  return 0;
}
