// Loading a page that is not open in a browser: from an http:// address or a local file, through
// a copy in the cache folder, into a document of its own that runs nothing, then converted.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "parser/engine/HtmlPageConverter.h"
#include "parser/facade/PageBudget.h"
#include "parser/loading/Loading.h"
#include "platform/inet/internet.h"
#include "platform/mshtml/mshtml.h"
#include "platform/win32/codepage.h"
#include "platform/win32/file.h"
#include "platform/win32/mfc/afx.h"
#include "platform/win32/ui/user.h"

namespace {

constexpr UINT kChunkBytes = 8192;

std::atomic<int> lastCharsetCode{-1};

std::u16string ReplaceAll(std::u16string s, std::u16string_view from, std::u16string_view to) {
  for (std::size_t p = s.find(from); p != std::u16string::npos; p = s.find(from, p + to.size())) {
    s.replace(p, from.size(), to);
  }
  return s;
}

std::u16string Widen(const unsigned short* s) {
  std::u16string out;
  if (s != nullptr) {
    for (; *s; ++s) out.push_back(static_cast<char16_t>(*s));
  }
  return out;
}

// The page's source (the HTTP response or the local file): closed and freed on every path.
struct SourceCloser {
  void operator()(CStdioFile* f) const {
    f->Abort();
    delete f;
  }
};
using SourcePtr = std::unique_ptr<CStdioFile, SourceCloser>;

// The cache copy: closed and removed from the cache folder on every path.
class CacheCopy {
 public:
  explicit CacheCopy(std::u16string path) : path_(std::move(path)) {}
  ~CacheCopy() {
    if (open_) file_.Abort();
    DeleteFileW(path_.c_str());
  }
  bool Create() {
    open_ = file_.Open(path_.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary);
    return open_;
  }
  CFile& File() { return file_; }

 private:
  std::u16string path_;
  CFile file_;
  bool open_ = false;
};

void ShowMessage(const std::u16string& text) {
  MessageBoxW(nullptr, text.c_str(), nullptr, MB_OK);
}

}  // namespace

int LastLoadedCharsetCode() {
  return lastCharsetCode.load();
}

int CopyToCache(CFile& cache, CStdioFile* source, int& codePage) {
  if (source == nullptr) return NBP_ERR_FAILED;
  const std::size_t limit = MaxPageBytes();
  std::size_t total = 0;
  std::vector<char> chunk(kChunkBytes);
  for (;;) {
    UINT n = 0;
    try {
      n = source->Read(chunk.data(), kChunkBytes);
    } catch (CException* e) {
      e->Delete();
      // What arrived so far is no whole page; converting it would put a torn page into the book.
      ShowMessage(u"Failed");
      return NBP_ERR_FAILED;
    }
    if (n == 0) break;
    total += n;
    if (total > limit) {
      ShowMessage(u"Failed: the page is larger than " +
                  platform::com::Utf8ToUtf16(std::to_string(limit)) + u" bytes.");
      return NBP_ERR_FAILED;
    }
    if (codePage == kCharsetUnknown) {
      std::u16string text = platform::win32::AnsiToWide(std::string_view(chunk.data(), n));
      if (std::optional<std::u16string> name = CharsetNameInChunk(text)) {
        codePage = CharsetCodeFromName(*name);
      }
    }
    try {
      cache.Write(chunk.data(), n);
    } catch (CException* e) {
      // A copy that cannot be written whole (a full temporary folder) would be read back
      // short and converted as if it were the whole page.
      e->Delete();
      return NBP_ERR_PAGE_CUT;
    }
  }
  return 0;
}

int WriteFileToDocument(CFile& cache, IHTMLDocument2* doc, int codePage) {
  if (doc == nullptr) return NBP_ERR_FAILED;
  std::string bytes;
  try {
    bytes.resize(cache.GetLength());
    cache.SeekToBegin();
    std::size_t got = 0;
    while (got < bytes.size()) {
      UINT r = cache.Read(bytes.data() + got, static_cast<UINT>(bytes.size() - got));
      if (r == 0) break;
      got += r;
    }
    bytes.resize(got);
  } catch (CException* e) {
    e->Delete();
    bytes.clear();
  }
  std::u16string text = DecodePage(bytes, codePage);

  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  if (array == nullptr) return 0;
  VARIANT* item = nullptr;
  if (SUCCEEDED(SafeArrayAccessData(array, reinterpret_cast<void**>(&item)))) {
    item->vt = VT_BSTR;
    item->bstrVal = SysAllocString(text);
    SafeArrayUnaccessData(array);
    doc->writeln(array);
  }
  SafeArrayDestroy(array);  // frees the string with the array
  return 0;
}

IHTMLDocument2* CreateDocumentFromFile(CFile& cache, int codePage) {
  IHTMLDocument2* doc = nullptr;
  if (FAILED(CoCreateInstance(CLSID_HTMLDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IHTMLDocument2,
                              reinterpret_cast<void**>(&doc))) ||
      doc == nullptr) {
    return nullptr;
  }
  // Design mode: nothing of the page runs, and nothing more is loaded by its scripts.
  BStr on(u"On");
  doc->put_designMode(on.Get());
  WriteFileToDocument(cache, doc, codePage);
  return doc;
}

int CHtmlPageConverter::LoadAndAddDocument(const unsigned short* url, int depth) {
  if (depth > m_nMaxDepth) return NBP_ERR_FAILED;
  if (m_pBook == nullptr) return NBP_ERR_FAILED;
  if (m_pSession == nullptr) return NBP_ERR_NO_COPY;
  // The page is made only once its document is (in AddDocument): a page that cannot be
  // loaded adds nothing to the book.
  m_nDepth = depth;
  lastCharsetCode = -1;

  // Only the service type decides; the parser's success flag is not looked at.
  std::u16string address = Widen(url);
  DWORD serviceType = AFX_INET_SERVICE_HTTP;
  INTERNET_PORT port = 0;
  AfxParseURL(address.c_str(), serviceType, m_strServer, m_strObject, port);
  m_strScheme = SchemePrefix(serviceType);

  if (m_pBudget) {
    if (m_pBudget->TimeUp()) return NBP_ERR_TIME_UP;
    m_pBudget->Tell(NBProgress::kLoadingPage, address);
  }
  SourcePtr source;
  if (serviceType == AFX_INET_SERVICE_HTTP) {
    CHttpFile* http = nullptr;
    if (m_pBudget) m_pSession->SetLimits(m_pBudget->LimitsFor(m_pSession->GetLimits()));
    try {
      http = m_pSession->OpenURL(address.c_str(), 1, INTERNET_FLAG_TRANSFER_BINARY, nullptr, 0);
    } catch (CException* e) {
      e->Delete();
      return NBP_ERR_FAILED;
    }
    if (http == nullptr) return NBP_ERR_FAILED;
    source.reset(http);
    m_nCodePage = CharsetCodeFromHttpHeader(http);
  } else if (serviceType == AFX_INET_SERVICE_FILE) {
    m_strObject = ReplaceAll(m_strObject, u"%20", u" ");
    auto file = std::make_unique<CStdioFile>();
    if (!file->Open(m_strObject.c_str(), CFile::modeRead | CFile::typeText)) return NBP_ERR_FAILED;
    // The file's folder, with its separator, stands where a server would.
    std::u16string path = file->GetFilePath();
    std::size_t slash = path.find_last_of(u"/\\");
    m_strServer = slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
    source.reset(file.release());
  } else {
    return NBP_ERR_FAILED;
  }

  // One cache copy per converter: the number is the converter's address.
  char number[32];
  std::snprintf(number, sizeof number, "%016d",
                static_cast<int>(reinterpret_cast<std::uintptr_t>(this) & 0x7FFFFFFF));
  CacheCopy cache(m_strCacheDir + u"__cash" + platform::com::Utf8ToUtf16(number) + u".tmp");
  if (!cache.Create()) return NBP_ERR_NO_COPY;

  int copied = CopyToCache(cache.File(), source.get(), m_nCodePage);
  if (copied < 0) return copied;
  source.reset();
  lastCharsetCode = m_nCodePage;

  ComPtr<IHTMLDocument2> doc =
      ComPtr<IHTMLDocument2>::Attach(CreateDocumentFromFile(cache.File(), m_nCodePage));
  if (!doc) return NBP_ERR_NO_DOCUMENT;

  int r = AddDocument(doc.Get(), depth);
  m_strScheme.clear();
  m_pSession->Close();
  return r;
}
