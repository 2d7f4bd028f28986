// Opening a book file (new, or existing to append to) and writing the book out. An appended
// book's pages and images are not rebuilt: their sections are copied into the new file as
// bytes, so the cost of adding a page does not depend on the pages already there.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <set>

#include "nbkcreator/book_impl.h"
#include "nbkcreator/image_probe.h"
#include "nbkcreator/reader.h"

namespace nbk {

namespace {

// Room asked for at Open beyond the size of the book: the pages of one session are small.
constexpr std::uint64_t kOpenReserve = 1u << 20;
constexpr std::uint64_t kImageBytesAt = kImagePayloadHead;

}  // namespace

BookImpl::~BookImpl() {
  Close();
}

CNBKObject* BookImpl::Find(unsigned long id) const {
  const auto key = static_cast<std::uint32_t>(id);
  auto idOf = [](const std::unique_ptr<CNBKObject>& o) {
    return static_cast<std::uint32_t>(o->GetObjID());
  };
  if (m_idsAscending) {
    auto it = std::lower_bound(
        m_objects.begin(), m_objects.end(), key,
        [&](const std::unique_ptr<CNBKObject>& o, std::uint32_t k) { return idOf(o) < k; });
    return it != m_objects.end() && idOf(*it) == key ? it->get() : nullptr;
  }
  for (auto it = m_objects.rbegin(); it != m_objects.rend(); ++it) {
    if (idOf(*it) == key) return it->get();
  }
  return nullptr;
}

const ImageData* BookImpl::FindImage(std::uint32_t id) const {
  for (const ImageData& image : m_newImages) {
    if (image.id == id) return &image;
  }
  for (const StoredImage& stored : m_oldImages) {
    if (stored.header.id == id) return &stored.header;
  }
  return nullptr;
}

bool BookImpl::SameAsStored(const StoredImage& stored,
                            const std::vector<std::uint8_t>& bytes) const {
  if (m_oldFd < 0 || stored.size != bytes.size()) return false;
  std::vector<std::uint8_t> old(bytes.size());
  FdSource source(m_oldFd, std::numeric_limits<std::uint64_t>::max());
  return source.Read(stored.bytesOffset, old.size(), old.data()) && old == bytes;
}

std::uint32_t BookImpl::InternImage(std::vector<std::uint8_t> bytes) {
  const std::uint64_t hash = Fnv1a64(bytes.data(), bytes.size());
  // The same bytes are stored once, whichever stream or session brought them.
  for (const ImageData& image : m_newImages) {
    if (image.hash == hash && image.bytes == bytes) return image.id;
  }
  for (const StoredImage& stored : m_oldImages) {
    if (stored.header.hash == hash && SameAsStored(stored, bytes)) return stored.header.id;
  }
  ImageData image;
  image.id = m_nextImageId++;
  ImageInfo info = ProbeImage(bytes);
  image.type = info.type;
  image.width = info.width;
  image.height = info.height;
  image.hash = hash;
  image.bytes = std::move(bytes);
  m_newImages.push_back(std::move(image));
  return m_newImages.back().id;
}

int BookImpl::Open(const char16_t* path, int mode) {
  if (m_open) return kErrBadCall;
  std::u16string name;
  if (mode == NBK_OPEN_NEW) {
    name = path ? std::u16string(path) : m_fileName;
  } else if (mode == NBK_OPEN_APPEND) {
    name = path ? std::u16string(path) : m_fileName;
  } else {
    return kErrBadCall;
  }
  if (name.empty()) return kErrBadCall;
  // A book object may be opened again after Close; forget the file it had before.
  m_oldMeta = {};
  m_oldDesign.reset();
  m_oldCover.reset();
  m_oldTocCount = 0;
  m_oldTocAt = m_oldTocSize = 0;
  m_oldBody.clear();
  m_oldImages.clear();
  m_oldMode = 0644;
  m_fileName = name;
  // A book reached through a link is written where the link points, and locked there, so two
  // writers that name it differently still take turns.
  if (int rc = ResolveBookPath(ToFsPath(name), m_path); rc != 0) return rc;
  // A FIFO or device would hang the reader or be replaced by a plain file: refused at once.
  struct stat st {};
  if (::stat(m_path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return kErrNotAFile;

  if (int rc = m_lock.Acquire(m_path, m_waitNotice); rc != 0) return rc;
  // Left by a writer that died while writing; we hold the lock, so it is nobody's now.
  if (int rc = NewBookFile::RemoveLeftover(m_path); rc != 0) {
    m_lock.Release();
    return rc;
  }

  std::uint64_t oldSize = 0;
  if (::stat(m_path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      m_lock.Release();
      return kErrNotAFile;
    }
    m_oldMode = st.st_mode & 07777;
    if (mode == NBK_OPEN_APPEND) {
      m_oldFd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      struct stat opened {};
      if (m_oldFd >= 0 && (::fstat(m_oldFd, &opened) != 0 || !S_ISREG(opened.st_mode))) {
        ::close(m_oldFd);
        m_oldFd = -1;
        m_lock.Release();
        return kErrNotAFile;
      }
      if (m_oldFd < 0) {
        m_lock.Release();
        return kErrIo;
      }
      if (int rc = LoadExisting(); rc != 0) {
        Close();
        m_lock.Release();
        return rc;
      }
      oldSize = static_cast<std::uint64_t>(st.st_size);
    }
  } else if (errno != ENOENT) {
    m_lock.Release();
    return kErrIo;
  }

  std::optional<std::uint64_t> free = FreeSpace(FolderOf(m_path));
  if (free && *free < oldSize + kOpenReserve) {
    if (m_oldFd >= 0) ::close(m_oldFd);
    m_oldFd = -1;
    m_lock.Release();
    return kErrDiskFull;
  }
  m_open = true;
  return 0;
}

int BookImpl::LoadExisting() {
  struct stat st {};
  if (::fstat(m_oldFd, &st) != 0) return kErrIo;
  FdSource source(m_oldFd, static_cast<std::uint64_t>(st.st_size));
  FileKind kind;
  bool seenMeta = false, seenToc = false;
  auto addBody = [&](const SectionInfo& s) {
    if (!m_oldBody.empty() && m_oldBody.back().first + m_oldBody.back().second == s.offset) {
      m_oldBody.back().second += s.FrameSize();
    } else {
      m_oldBody.emplace_back(s.offset, s.FrameSize());
    }
  };
  auto visit = [&](const SectionInfo& s, std::span<const std::uint8_t> payload,
                   std::string& error) -> bool {
    bool ok = true;
    switch (s.type) {
      case kSecMeta:
        ok = !seenMeta && DecodeMeta(payload, m_oldMeta);
        seenMeta = true;
        break;
      case kSecDesign:
        ok = !m_oldDesign && DecodeDesign(payload, m_oldDesign.emplace());
        break;
      case kSecCover:
        ok = !m_oldCover && DecodeCover(payload, m_oldCover.emplace());
        break;
      case kSecToc:
        ok = !seenToc && CheckToc(payload, m_oldTocCount);
        seenToc = true;
        m_oldTocAt = s.offset + 8 + 4;
        m_oldTocSize = s.length - 4;
        break;
      case kSecImage: {
        StoredImage stored{};
        ok = DecodeImage(payload, stored.header, true);
        stored.bytesOffset = s.offset + 8 + kImageBytesAt;
        stored.size = s.length - kImageBytesAt;
        m_oldImages.push_back(std::move(stored));
        addBody(s);
        break;
      }
      case kSecPage: {
        // Copied as bytes later, but checked now: a book whose pages do not decode is refused
        // as it is, not rewritten into one that still does not read.
        Page page;
        ok = DecodePage(payload, page, error);
        addBody(s);
        break;
      }
      case kSecButtons: {
        std::vector<Button> buttons;
        ok = DecodeButtons(payload, buttons);
        addBody(s);
        break;
      }
      default:
        addBody(s);
        break;
    }
    if (!ok) error = "malformed " + SectionName(s.type) + " section";
    return ok;
  };
  std::string error;
  if (!ScanSections(source, kind, visit, error) || kind != FileKind::kBook || !seenMeta)
    return kErrNotNbk;
  // Ids go on from where the book left off, so they stay unique in the book.
  m_nextId = std::max(m_nextId, m_oldMeta.nextObjectId);
  m_nextImageId = std::max(m_nextImageId, m_oldMeta.nextImageId);
  for (const StoredImage& stored : m_oldImages) {
    m_nextImageId = std::max(m_nextImageId, stored.header.id + 1);
  }
  return 0;
}

int BookImpl::OutputAll() {
  if (!m_open) return kErrBadCall;

  Metadata meta = m_oldMeta;
  if (m_title) meta.title = *m_title;
  if (m_titleReading) meta.titleReading = *m_titleReading;
  if (m_author) meta.author = *m_author;
  if (m_authorReading) meta.authorReading = *m_authorReading;
  if (m_bookId) meta.bookId = *m_bookId;
  meta.nextObjectId = m_nextId;
  meta.nextImageId = m_nextImageId;
  const std::optional<Design>& design = m_design ? m_design : m_oldDesign;
  const std::optional<Cover>& cover = m_cover ? m_cover : m_oldCover;

  // Nothing is written that the reader would refuse: a section past the format's limit fails
  // the whole write, and the old book stays.
  const std::uint64_t limit = SectionLimit();
  bool tooLarge = false;
  auto append = [&](std::vector<std::uint8_t>& out, std::uint32_t type,
                    const std::vector<std::uint8_t>& payload) {
    if (payload.size() > limit) tooLarge = true;
    if (!tooLarge) AppendSection(out, type, payload);
  };
  std::vector<std::uint8_t> front = EncodeHeader(FileKind::kBook);
  append(front, kSecMeta, EncodeMeta(meta));
  if (design) append(front, kSecDesign, EncodeDesign(*design));
  if (cover) append(front, kSecCover, EncodeCover(*cover));
  // The TOC: count, the old entries copied from the old file, the new entries, CRC.
  std::vector<std::uint8_t> newEntries = EncodeToc(m_newToc);
  newEntries.erase(newEntries.begin(), newEntries.begin() + 4);
  if (4 + m_oldTocSize + newEntries.size() > limit) return kErrTooLarge;
  ByteWriter tocHead;
  tocHead.U32(kSecToc);
  tocHead.U32(static_cast<std::uint32_t>(4 + m_oldTocSize + newEntries.size()));
  tocHead.U32(m_oldTocCount + static_cast<std::uint32_t>(m_newToc.size()));
  std::uint32_t tocCrc = Crc32(tocHead.Buffer().data(), tocHead.Size());

  std::vector<std::uint8_t> pages;
  std::set<std::uint32_t> shown;
  for (PageImpl* p : m_pages) {
    Page page;
    page.id = static_cast<std::uint32_t>(p->GetObjID());
    page.kind = p->GetKind();
    page.scrambleKey = m_scrambleKey;
    for (const auto& item : p->m_items) {
      if (const auto* loc = std::get_if<Location>(&item)) {
        page.items.emplace_back(*loc);
      } else if (const auto* rule = std::get_if<RuledLine>(&item)) {
        page.items.emplace_back(*rule);
      } else {
        BlockImpl* block = std::get<BlockImpl*>(item);
        if (auto* card = dynamic_cast<TextBlockImpl*>(block->m_card)) {
          TextBlock t;
          t.cardId = static_cast<std::uint32_t>(card->GetObjID());
          t.blockId = static_cast<std::uint32_t>(block->GetObjID());
          t.textId = static_cast<std::uint32_t>(card->m_text->GetObjID());
          t.kind = card->GetKind();
          t.flags = card->m_flags;
          t.styleSet = card->m_styleSet;
          t.style = card->m_style;
          t.size = card->m_size;
          t.blockAttrs = block->m_attrs;
          // The whole stream, also what was added after the last Write.
          t.stream = card->m_text->m_stream.Bytes();
          shown.insert(card->m_text->m_imageData.begin(), card->m_text->m_imageData.end());
          page.items.emplace_back(std::move(t));
        } else {
          auto* icard = static_cast<ImageBlockImpl*>(block->m_card);
          ImageBlock b;
          b.cardId = static_cast<std::uint32_t>(icard->GetObjID());
          b.blockId = static_cast<std::uint32_t>(block->GetObjID());
          b.imageId = static_cast<std::uint32_t>(icard->m_image->GetObjID());
          b.kind = icard->GetKind();
          b.blockAttrs = block->m_attrs;
          if (StreamImpl* stream = icard->m_image->m_stream) {
            b.streamId = static_cast<std::uint32_t>(stream->GetObjID());
            b.dataId = stream->m_dataId;
            shown.insert(b.dataId);
          }
          page.items.emplace_back(std::move(b));
        }
      }
    }
    append(pages, kSecPage, EncodePage(page));
    if (tooLarge) return kErrTooLarge;
  }

  std::vector<std::uint8_t> tail;
  // Image data no page shows is not stored.
  for (const ImageData& image : m_newImages) {
    if (shown.count(image.id)) append(tail, kSecImage, EncodeImage(image));
  }
  if (!m_buttons.empty()) {
    std::vector<Button> buttons;
    for (ButtonImpl* b : m_buttons) {
      buttons.push_back({static_cast<std::uint32_t>(b->GetObjID()), b->GetKind(), b->m_jumpSet,
                         b->m_pageId, b->m_blockId});
    }
    append(tail, kSecButtons, EncodeButtons(buttons));
  }
  if (tooLarge) return kErrTooLarge;
  tail.insert(tail.end(), pages.begin(), pages.end());
  AppendSection(tail, kSecEnd, {});

  std::uint64_t total =
      front.size() + tocHead.Size() + m_oldTocSize + newEntries.size() + 4 + tail.size();
  for (const auto& range : m_oldBody) total += range.second;
  std::optional<std::uint64_t> free = FreeSpace(FolderOf(m_path));
  if (free && *free < total) return kErrDiskFull;

  NewBookFile out;
  if (int rc = out.Create(m_path, m_oldMode); rc != 0) return rc;
  if (int rc = out.Write(front); rc != 0) return rc;
  if (int rc = out.Write(tocHead.Buffer()); rc != 0) return rc;
  if (m_oldTocSize != 0) {
    if (int rc = out.CopyFrom(m_oldFd, m_oldTocAt, m_oldTocSize, &tocCrc); rc != 0) return rc;
  }
  tocCrc = Crc32(newEntries.data(), newEntries.size(), tocCrc);
  ByteWriter tocEnd;
  tocEnd.Bytes(newEntries);
  tocEnd.U32(tocCrc);
  if (int rc = out.Write(tocEnd.Buffer()); rc != 0) return rc;
  for (const auto& [offset, size] : m_oldBody) {
    if (int rc = out.CopyFrom(m_oldFd, offset, size); rc != 0) return rc;
  }
  if (int rc = out.Write(tail); rc != 0) return rc;
  return out.Commit();
}

int BookImpl::Close() {
  if (!m_open && m_oldFd < 0) return kErrBadCall;
  if (m_oldFd >= 0) ::close(m_oldFd);
  m_oldFd = -1;
  m_lock.Release();
  m_open = false;
  return 0;
}

}  // namespace nbk
