// Images: fetched once per book and depth into the cache folder, handed to the writer as
// image streams, and placed as a block of their own or inline in the text.
#include <memory>
#include <string_view>

#include "parser/engine/HtmlPageConverter.h"
#include "parser/facade/PageBudget.h"
#include "parser/images/CacheNames.h"
#include "parser/images/SvgRaster.h"
#include "parser/style/WideText.h"
#include "platform/inet/internet.h"
#include "platform/win32/crt.h"
#include "platform/win32/file.h"
#include "platform/win32/mfc/afx.h"

namespace {

constexpr UINT kCopyChunk = 8192;
// A local "image" can be any file (a device that never ends included); nothing larger than a
// download may be is copied.
constexpr std::uint64_t kMaxImageBytes = std::uint64_t{64} << 20;

class ImageSource {
 public:
  virtual ~ImageSource() = default;
  // Bytes read, 0 at the end or when reading failed.
  virtual UINT Read(void* buffer, UINT count) = 0;
  // Whether a read failed (the transfer broke off), so what came is not the whole image.
  bool Failed() const { return failed_; }

 protected:
  bool failed_ = false;
};

class HttpImageSource : public ImageSource {
 public:
  explicit HttpImageSource(CHttpFile* file) : file_(file) {}
  ~HttpImageSource() override {
    file_->Close();
    delete file_;
  }
  UINT Read(void* buffer, UINT count) override {
    try {
      return file_->Read(buffer, count);
    } catch (CInternetException* e) {
      e->Delete();
      failed_ = true;
      return 0;
    }
  }

 private:
  CHttpFile* file_;
};

class LocalImageSource : public ImageSource {
 public:
  explicit LocalImageSource(std::unique_ptr<CStdioFile> file) : file_(std::move(file)) {}
  ~LocalImageSource() override { file_->Close(); }
  UINT Read(void* buffer, UINT count) override {
    try {
      return file_->Read(buffer, count);
    } catch (CException* e) {
      e->Delete();
      failed_ = true;
      return 0;
    }
  }

 private:
  std::unique_ptr<CStdioFile> file_;
};

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from,
                          std::u16string_view to) {
  std::u16string out;
  std::size_t start = 0;
  for (std::size_t at = text.find(from); at != std::u16string_view::npos;
       at = text.find(from, start)) {
    out.append(text.substr(start, at - start));
    out.append(to);
    start = at + from.size();
  }
  out.append(text.substr(start));
  return out;
}

struct SplitAddress {
  BOOL ok = FALSE;
  DWORD serviceType = AFX_INET_SERVICE_HTTP;
  std::u16string server;
  std::u16string object;
  INTERNET_PORT port = 0;
};

SplitAddress Split(const std::u16string& address) {
  SplitAddress s;
  s.ok = AfxParseURL(address.c_str(), s.serviceType, s.server, s.object, s.port);
  return s;
}

// Copies at most allowance bytes of the image into its cache file. 0, or why the image cannot
// be used: more bytes than allowed, a cache file that could not be made or written whole (a
// full temporary folder), or a download that broke off.
int CopyIntoCache(ImageSource& source, const std::u16string& cacheFile, std::uint64_t allowance,
                  int tooLargeReason, std::uint64_t& copied) {
  copied = 0;
  int out = _wopen(cacheFile.c_str(), _O_BINARY | _O_TRUNC | _O_CREAT | _O_WRONLY, _S_IWRITE);
  if (out == -1) return NBP_ERR_CACHE_FULL;
  auto buffer = std::make_unique<char[]>(kCopyChunk);
  int result = 0;
  for (UINT n = source.Read(buffer.get(), kCopyChunk); n > 0;
       n = source.Read(buffer.get(), kCopyChunk)) {
    if (copied + n > allowance) {
      result = tooLargeReason;
      break;
    }
    if (_write(out, buffer.get(), n) != static_cast<int>(n)) {
      result = NBP_ERR_CACHE_FULL;
      break;
    }
    copied += n;
  }
  if (result == 0 && source.Failed()) result = NBP_ERR_IMAGE_BROKEN;
  if (_commit(out) != 0 && result == 0) result = NBP_ERR_CACHE_FULL;
  if (_close(out) != 0 && result == 0) result = NBP_ERR_CACHE_FULL;
  return result;
}

}  // namespace

int CHtmlPageConverter::FindCachedImage(const std::u16string& cacheName) const {
  if (!m_pImageNames) return -1;
  for (std::size_t i = 0; i < m_pImageNames->size(); ++i) {
    if ((*m_pImageNames)[i] == cacheName) return static_cast<int>(i);
  }
  return -static_cast<int>(m_pImageNames->size() + 1);
}

int CHtmlPageConverter::AddImage(IDispatch* node, IHTMLElement* element) {
  ComPtr<IHTMLImgElement> img;
  if (!node || FAILED(node->QueryInterface(IID_IHTMLImgElement, img.ReleaseAndGetVoidAddress())) ||
      !img) {
    return 0;
  }
  BStr hrefText;
  img->get_href(&hrefText);
  std::u16string address = hrefText.Str();
  SplitAddress split = Split(address);

  // An image of a document written without a base address (a downloaded copy) is reported
  // relative to about:blank; it belongs to the address the copy came from.
  if (address.starts_with(u"about:blank")) {
    std::u16string object = split.object.size() > 5 ? split.object.substr(5) : std::u16string();
    if (!object.empty()) {
      if (object[0] != u'/') {
        std::size_t slash = m_strObject.rfind(u'/');
        std::u16string folder =
            slash == std::u16string::npos ? std::u16string() : m_strObject.substr(0, slash + 1);
        folder.append(object);
        object = std::move(folder);
      }
      // For a local file the server part holds the file's folder, which the object path
      // already carries; putting both in front would name the folder twice.
      const bool local = m_strScheme == u"file://";
      address = m_strScheme + (local ? std::u16string() : m_strServer) + object;
      split = Split(address);
    }
  }

  const bool http = split.serviceType == AFX_INET_SERVICE_HTTP && split.ok;
  const bool local = split.serviceType == AFX_INET_SERVICE_FILE && split.ok;
  if (!http && !local) return -1;
  // A page from the web must not pull the reader's own files into a book.
  if (local && !FromLocalFile()) return -1;

  const bool lists = m_pImageNames && m_pImageStreams;
  const std::u16string cacheName = ImageCacheName(m_strCacheDir, m_nDepth, address);
  int idx = lists ? FindCachedImage(cacheName) : -1;
  // An image the book has already needs no download once the page's time is up.
  const bool reuseOnly = idx >= 0 && m_pBudget && m_pBudget->TimeUp();
  if (idx < 0 && m_pBudget) {
    if (int why = m_pBudget->AdmitImage(); why != 0) {
      m_pBudget->Dropped(address, why);
      return 0;
    }
    m_pBudget->Tell(NBProgress::kFetchingImage, address);
  }

  std::unique_ptr<ImageSource> source;
  if (reuseOnly) {
    // Nothing to open: the stream is in the book.
  } else if (http) {
    if (!m_pSession) return -1;
    if (m_pBudget) m_pSession->SetLimits(m_pBudget->LimitsFor(m_pSession->GetLimits()));
    try {
      CHttpFile* file =
          m_pSession->OpenURL(address.c_str(), 1, INTERNET_FLAG_TRANSFER_BINARY, nullptr, 0);
      if (!file) return -1;
      source = std::make_unique<HttpImageSource>(file);
    } catch (CInternetException* e) {
      e->Delete();
      if (idx < 0 && m_pBudget) m_pBudget->Dropped(address, NBP_ERR_IMAGE_BROKEN);
      return -1;
    }
  } else {
    std::u16string path = ReplaceAll(split.object, u"%20", u" ");
    try {
      auto file = std::make_unique<CStdioFile>(path.c_str(), CFile::modeRead | CFile::typeBinary);
      source = std::make_unique<LocalImageSource>(std::move(file));
    } catch (CException* e) {
      e->Delete();
      return -1;
    }
  }

  if (!m_pPage || !lists) return 0;
  if (idx < 0) {
    std::u16string cacheFile = ImageCacheFile(m_strCacheDir, m_nDepth, idx);
    std::uint64_t allowance =
        m_pBudget ? m_pBudget->ImageAllowance(kMaxImageBytes) : kMaxImageBytes;
    const int tooLarge = allowance < kMaxImageBytes ? NBP_ERR_IMAGE_BYTES : NBP_ERR_IMAGE_TOO_LARGE;
    std::uint64_t copied = 0;
    if (int why = CopyIntoCache(*source, cacheFile, allowance, tooLarge, copied); why != 0) {
      // Not remembered: a later page may fetch it again, and nothing half-read reaches the book.
      DeleteFileW(cacheFile.c_str());
      if (m_pBudget) m_pBudget->Dropped(address, why);
      return 0;
    }
    if (m_pBudget) m_pBudget->SpendImageBytes(copied);
    // Drawing an SVG image counts against the page's time too.
    std::chrono::milliseconds drawLimit = nbparser::kSvgDrawLimit;
    if (m_pBudget)
      drawLimit = std::min(drawLimit, std::chrono::milliseconds(m_pBudget->RemainingMs()));
    nbparser::RasterizeSvgCacheFile(cacheFile, element, drawLimit);
    m_pImageNames->push_back(cacheName);
    CNBKImageBlock* block = m_pPage->CreateImageBlock(NBK_IMAGE_BLOCK_KIND);
    CNBKImageObject* image = block ? block->GetImageObject() : nullptr;
    CNBKImageStreamObject* stream = image ? image->CreateImageStream(cacheFile) : nullptr;
    m_pImageStreams->push_back(stream);
    if (image) PlaceImage(image, block, element);
  } else {
    CNBKImageBlock* block = m_pPage->CreateImageBlock(NBK_IMAGE_BLOCK_KIND);
    CNBKImageStreamObject* stream =
        static_cast<std::size_t>(idx) < m_pImageStreams->size() ? (*m_pImageStreams)[idx] : nullptr;
    CNBKImageObject* image = block ? block->GetImageObject() : nullptr;
    if (image) {
      image->SetImageStream(stream);
      PlaceImage(image, block, element);
    }
  }
  return 0;
}

void CHtmlPageConverter::PlaceImage(CNBKImageObject* image, CNBKImageBlock* block,
                                    IHTMLElement* element) {
  if (image->canPutImage() == 0) return;
  if (IsImageAlone(element) == 1) {
    if (m_pTextObject) CloseTextBlock();
    PlaceBlock(block->GetBlockObject());
    ++m_nImagesPlaced;
    return;
  }
  OpenTextBlock(nullptr);
  if (m_pTextObject) {
    PayOwedBlank();
    m_pTextObject->PlotImage(image, 2);
    m_bAtLineStart = false;
    ++m_nImagesPlaced;
  }
}

int CHtmlPageConverter::IsImageAlone(IHTMLElement* element) {
  IHTMLElement* block = FindEnclosingBlock(element);
  if (!block) return 0;
  bool shown = HasShownText(block);
  block->Release();
  return shown ? 0 : 1;
}

// The nearest ancestor laid out as a block that is not a table cell. Climbed in a loop so that
// a deeply nested image costs no stack.
IHTMLElement* CHtmlPageConverter::FindEnclosingBlock(IHTMLElement* element) {
  if (!element) return nullptr;
  ComPtr<IHTMLElement> current(element);
  for (;;) {
    ComPtr<IHTMLElement> parent;
    if (FAILED(current->get_parentElement(&parent)) || !parent) return nullptr;
    BStr tag;
    parent->get_tagName(&tag);
    ComPtr<IHTMLElement2> parent2;
    ComPtr<IHTMLCurrentStyle> style;
    BStr display;
    if (FAILED(parent.As(IID_IHTMLElement2, std::addressof(parent2))) || !parent2 ||
        FAILED(parent2->get_currentStyle(&style)) || !style ||
        FAILED(style->get_display(&display)) || !display) {
      return nullptr;
    }
    std::u16string_view shown(display.Get(), display.Length());
    std::u16string_view name(tag.Get() ? tag.Get() : u"", tag.Length());
    if ((shown == u"block" || shown == u"inline-block") && name != u"TD" && name != u"TH") {
      return parent.Detach();
    }
    current = std::move(parent);
  }
}
