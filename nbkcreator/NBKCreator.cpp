// The writer's contract: the objects a caller builds a book with. The data behind each object
// lives in its internal subclass (book_impl.h); writing the file is in book_output.cpp.
#include "contracts/NBKCreator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "nbkcreator/book_impl.h"
#include "nbkcreator/image_probe.h"
#include "nbkcreator/reader.h"

using nbk::BlockImpl;
using nbk::BookImpl;
using nbk::ButtonImpl;
using nbk::ImageBlockImpl;
using nbk::ImageImpl;
using nbk::kErrBadCall;
using nbk::PageImpl;
using nbk::StreamImpl;
using nbk::TextBlockImpl;
using nbk::TextImpl;

namespace {

// The bytes of an image file; nothing for a file that is no regular file (a FIFO would never
// end) or too large for an IMAG section, which then is no image the reader shows.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return bytes;
  struct stat st {};
  const std::uint64_t limit = nbk::SectionLimit() - nbk::kImagePayloadHead;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) > limit) {
    ::close(fd);
    return bytes;
  }
  std::uint8_t buffer[65536];
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
    if (bytes.size() > limit) {  // grew while being read
      bytes.clear();
      break;
    }
  }
  ::close(fd);
  return bytes;
}

// The block object a button target names: the block itself, its card, or its text or image.
BlockImpl* BlockOf(CNBKObject* object) {
  if (auto* b = dynamic_cast<BlockImpl*>(object)) return b;
  if (auto* t = dynamic_cast<TextBlockImpl*>(object)) return t->m_block;
  if (auto* i = dynamic_cast<ImageBlockImpl*>(object)) return i->m_block;
  if (auto* x = dynamic_cast<TextImpl*>(object)) return x->m_block;
  return nullptr;
}

}  // namespace

CNBKObject::~CNBKObject() = default;

// ---- table of contents

int CNBKTocObject::AddEntry(const std::u16string& title, CNBKPageObject* page, void* reserved) {
  BookImpl* book = m_pBook->Impl();
  if (reserved != nullptr || !book->Owns(page) || !dynamic_cast<PageImpl*>(page))
    return kErrBadCall;
  book->m_newToc.push_back({static_cast<std::uint32_t>(page->GetObjID()), title});
  return 0;
}

// ---- blocks

int CNBKBlockObject::ChangeAtr(unsigned short tag, std::uint32_t value) {
  static_cast<BlockImpl*>(this)->m_attrs.push_back({tag, value});
  return 0;
}

CNBKBlockObject* CNBKCard::GetBlockObject() {
  return nullptr;
}

int CNBKTextBlock::SetStyle(int style, int size) {
  auto* self = static_cast<TextBlockImpl*>(this);
  self->m_styleSet = true;
  self->m_style = style;
  self->m_size = size;
  return 0;
}

CNBKTextObject* CNBKTextBlock::GetTextObject() {
  return static_cast<TextBlockImpl*>(this)->m_text;
}

CNBKBlockObject* CNBKTextBlock::GetBlockObject() {
  return static_cast<TextBlockImpl*>(this)->m_block;
}

CNBKImageObject* CNBKImageBlock::GetImageObject() {
  return static_cast<ImageBlockImpl*>(this)->m_image;
}

CNBKBlockObject* CNBKImageBlock::GetBlockObject() {
  return static_cast<ImageBlockImpl*>(this)->m_block;
}

// ---- text

int CNBKTextObject::AddText(const std::u16string& text) {
  auto* self = static_cast<TextImpl*>(this);
  if (text.empty()) return 0;
  if (text.size() > std::numeric_limits<std::uint32_t>::max() / 4) return kErrBadCall;
  self->m_stream.Text(text);
  self->m_content = true;
  return 0;
}

int CNBKTextObject::AddCommand(unsigned short code, const unsigned short* data, int words) {
  auto* self = static_cast<TextImpl*>(this);
  if (words < 0 || words > 0xFFFF || (words > 0 && data == nullptr)) return kErrBadCall;
  self->m_stream.Command(code, data, static_cast<std::uint16_t>(words));
  self->m_content = true;
  return 0;
}

int CNBKTextObject::ChangeAtr(unsigned short tag, std::uint32_t value) {
  static_cast<TextImpl*>(this)->m_stream.Attr(tag, value);
  return 0;
}

int CNBKTextObject::Write() {
  auto* self = static_cast<TextImpl*>(this);
  // A second Write with nothing added in between records nothing.
  if (self->m_stream.Size() != self->m_sizeAtMark) {
    self->m_stream.Write();
    self->m_sizeAtMark = self->m_stream.Size();
  }
  self->m_sizeAtWrite = self->m_stream.Size();
  self->m_contentAtWrite = self->m_content;
  return 0;
}

long CNBKTextObject::GetStreamSize() {
  auto* self = static_cast<TextImpl*>(this);
  // Attributes and button marks alone do not make a block worth showing.
  return self->m_contentAtWrite ? static_cast<long>(self->m_sizeAtWrite) : 0;
}

int CNBKTextObject::StartTextButton(unsigned long buttonID) {
  auto* self = static_cast<TextImpl*>(this);
  if (!dynamic_cast<ButtonImpl*>(m_pBook->Impl()->Find(buttonID))) return kErrBadCall;
  // Buttons do not nest: a new one ends the one still open.
  if (self->m_buttonOpen) self->m_stream.ButtonEnd();
  self->m_stream.ButtonStart(static_cast<std::uint32_t>(buttonID));
  self->m_buttonOpen = true;
  return 0;
}

int CNBKTextObject::EndTextButton() {
  auto* self = static_cast<TextImpl*>(this);
  if (!self->m_buttonOpen) return kErrBadCall;
  self->m_stream.ButtonEnd();
  self->m_buttonOpen = false;
  return 0;
}

CNBKBlockObject* CNBKTextObject::GetBlock() {
  return static_cast<TextImpl*>(this)->m_block;
}

int CNBKTextObject::PlotImage(CNBKImageObject* image, int mode) {
  auto* self = static_cast<TextImpl*>(this);
  if (!m_pBook->Impl()->Owns(image)) return kErrBadCall;
  StreamImpl* stream = static_cast<ImageImpl*>(image)->m_stream;
  std::uint32_t dataId = stream ? stream->m_dataId : 0;
  self->m_stream.Image(static_cast<std::uint32_t>(image->GetObjID()), mode,
                       stream ? static_cast<std::uint32_t>(stream->GetObjID()) : 0, dataId);
  if (dataId != 0) self->m_imageData.push_back(dataId);
  self->m_content = true;
  return 0;
}

// ---- images

CNBKImageStreamObject* CNBKImageObject::CreateImageStream(const std::u16string& file) {
  BookImpl* book = m_pBook->Impl();
  // The bytes are taken now: the caller may remove the file before the book is written.
  std::uint32_t dataId = book->InternImage(ReadWholeFile(nbk::ToFsPath(file)));
  StreamImpl* stream = book->Make<StreamImpl>(dataId);
  static_cast<ImageImpl*>(this)->m_stream = stream;
  return stream;
}

int CNBKImageObject::SetImageStream(CNBKImageStreamObject* stream) {
  if (!m_pBook->Impl()->Owns(stream)) return kErrBadCall;
  static_cast<ImageImpl*>(this)->m_stream = static_cast<StreamImpl*>(stream);
  return 0;
}

int CNBKImageObject::canPutImage() {
  StreamImpl* stream = static_cast<ImageImpl*>(this)->m_stream;
  if (!stream) return 0;
  const nbk::ImageData* data = m_pBook->Impl()->FindImage(stream->m_dataId);
  return data && data->type != nbk::ImageType::kUnknown ? 1 : 0;
}

// ---- buttons

int CNBKButtonObject::SetJumpTo(CNBKObject* page, CNBKObject* block) {
  auto* self = static_cast<ButtonImpl*>(this);
  BookImpl* book = m_pBook->Impl();
  if ((page && (!book->Owns(page) || !dynamic_cast<PageImpl*>(page))) ||
      (block && (!book->Owns(block) || !BlockOf(block))))
    return kErrBadCall;
  self->m_jumpSet = true;
  self->m_pageId = page ? static_cast<std::uint32_t>(page->GetObjID()) : 0;
  self->m_blockId = block ? static_cast<std::uint32_t>(BlockOf(block)->GetObjID()) : 0;
  return 0;
}

// ---- pages

CNBKTextBlock* CNBKPageObject::CreateTextBlock(int kind, int flags) {
  BookImpl* book = m_pBook->Impl();
  auto* page = static_cast<PageImpl*>(this);
  auto* card = book->Make<TextBlockImpl>(kind, flags);
  card->m_block = book->Make<BlockImpl>(page, card);
  card->m_text = book->Make<TextImpl>(card->m_block);
  return card;
}

CNBKImageBlock* CNBKPageObject::CreateImageBlock(int kind) {
  BookImpl* book = m_pBook->Impl();
  auto* page = static_cast<PageImpl*>(this);
  auto* card = book->Make<ImageBlockImpl>(kind);
  card->m_block = book->Make<BlockImpl>(page, card);
  card->m_image = book->Make<ImageImpl>();
  return card;
}

int CNBKPageObject::AddBlock(CNBKBlockObject* block) {
  auto* self = static_cast<PageImpl*>(this);
  if (!m_pBook->Impl()->Owns(block)) return kErrBadCall;
  auto* b = static_cast<BlockImpl*>(block);
  // A block goes on the page that made it, once.
  if (b->m_page != self || b->m_placed) return kErrBadCall;
  b->m_placed = true;
  self->m_items.emplace_back(b);
  return 0;
}

int CNBKPageObject::SetLocation(int x, int y) {
  static_cast<PageImpl*>(this)->m_items.emplace_back(nbk::Location{x, y});
  return 0;
}

int CNBKPageObject::AddRuledLine(int length, int style, int width, int flags) {
  static_cast<PageImpl*>(this)->m_items.emplace_back(nbk::RuledLine{length, style, width, flags});
  return 0;
}

// ---- the book

CNBKBook::CNBKBook() : m_pImpl(std::make_unique<BookImpl>(this)) {}

CNBKBook::~CNBKBook() {
  m_pImpl->Close();
}

int CNBKBook::SetScrambleKey(unsigned short key) {
  m_pImpl->m_scrambleKey = key;
  return 0;
}

int CNBKBook::SetNBKFileName(const std::u16string& path) {
  if (m_pImpl->m_open) return kErrBadCall;
  m_pImpl->m_fileName = path;
  return 0;
}

int CNBKBook::SetBookID(std::u16string id) {
  m_pImpl->m_bookId = std::move(id);
  return 0;
}

int CNBKBook::Open(const char16_t* path, int mode) {
  try {
    return m_pImpl->Open(path, mode);
  } catch (...) {
    return nbk::kErrIo;
  }
}

int CNBKBook::SetWaitNotice(std::function<void(const std::u16string& holder)> notice) {
  m_pImpl->m_waitNotice = std::move(notice);
  return 0;
}

int CNBKBook::SetTitle(std::u16string title) {
  m_pImpl->m_title = std::move(title);
  return 0;
}

int CNBKBook::SetTitle_reading(std::u16string reading) {
  m_pImpl->m_titleReading = std::move(reading);
  return 0;
}

int CNBKBook::SetAuthor(std::u16string author) {
  m_pImpl->m_author = std::move(author);
  return 0;
}

int CNBKBook::SetAuthor_reading(std::u16string reading) {
  m_pImpl->m_authorReading = std::move(reading);
  return 0;
}

int CNBKBook::SetDesignFile(const std::u16string& path) {
  std::string fsPath = nbk::ToFsPath(path);
  if (path.empty() || ::access(fsPath.c_str(), R_OK) != 0) return kErrBadCall;
  nbk::Design design;
  std::string error;
  if (!nbk::ReadDesign(fsPath, design, error)) return nbk::kErrNotNbk;
  m_pImpl->m_design = std::move(design);
  return 0;
}

CNBKTocObject* CNBKBook::CreateToc() {
  if (!m_pImpl->m_toc) m_pImpl->m_toc = m_pImpl->Make<nbk::TocImpl>();
  return m_pImpl->m_toc;
}

int CNBKBook::CreateCoverPage(const std::u16string& title, const std::u16string& author) {
  m_pImpl->m_cover = nbk::Cover{title, author};
  return 0;
}

CNBKPageObject* CNBKBook::CreatePage(int kind) {
  return m_pImpl->Make<PageImpl>(kind);
}

int CNBKBook::AddPage(CNBKPageObject* page) {
  if (!m_pImpl->Owns(page)) return kErrBadCall;
  auto* p = static_cast<PageImpl*>(page);
  if (p->m_added) return kErrBadCall;
  p->m_added = true;
  m_pImpl->m_pages.push_back(p);
  return 0;
}

CNBKObject* CNBKBook::CreateObject(int kind) {
  if (kind != NBK_BUTTON_KIND) return nullptr;
  auto* button = m_pImpl->Make<ButtonImpl>(kind);
  m_pImpl->m_buttons.push_back(button);
  return button;
}

int CNBKBook::OutputAll() {
  try {
    return m_pImpl->OutputAll();
  } catch (const std::bad_alloc&) {
    return nbk::kErrIo;
  } catch (...) {
    return nbk::kErrIo;
  }
}

int CNBKBook::Close() {
  return m_pImpl->Close();
}
