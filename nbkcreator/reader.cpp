#include "nbkcreator/reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "nbkcreator/codec.h"

namespace nbk {

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string At(std::uint64_t offset) {
  return " at offset " + std::to_string(offset);
}

class Fd {
 public:
  explicit Fd(int fd) : m_fd(fd) {}
  ~Fd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return m_fd; }

 private:
  int m_fd;
};

template <typename Fn>
bool WithFile(const std::string& path, std::string& error, Fn&& fn) {
  // Not blocking: a FIFO in the book's place is refused below instead of waiting forever.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
    error = "cannot open: " + std::string(std::strerror(errno));
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = "not a regular file";
    return false;
  }
  FdSource source(fd.Get(), static_cast<std::uint64_t>(st.st_size));
  return fn(source);
}

// textUnits: pages keep no text, and the count of each one's text units goes there instead.
std::optional<Book> ParseFrom(Source& source, std::string& error, bool verify,
                              std::vector<std::size_t>* textUnits = nullptr) {
  Book book;
  bool seenMeta = false, seenDesign = false, seenCover = false, seenToc = false;
  auto once = [](bool& seen, const SectionInfo& s, std::string& err) {
    if (seen) {
      err = "second " + SectionName(s.type) + " section" + At(s.offset);
      return false;
    }
    seen = true;
    return true;
  };
  auto visit = [&](const SectionInfo& s, std::span<const std::uint8_t> payload,
                   std::string& err) -> bool {
    std::string what = "section " + SectionName(s.type) + At(s.offset) + ": ";
    switch (s.type) {
      case kSecMeta: {
        Metadata meta;
        if (!once(seenMeta, s, err)) return false;
        if (!DecodeMeta(payload, meta)) return err = what + "malformed metadata", false;
        book.meta = std::move(meta);
        return true;
      }
      case kSecDesign: {
        Design d;
        if (!once(seenDesign, s, err)) return false;
        if (!DecodeDesign(payload, d)) return err = what + "malformed design", false;
        book.design = std::move(d);
        return true;
      }
      case kSecCover: {
        Cover c;
        if (!once(seenCover, s, err)) return false;
        if (!DecodeCover(payload, c)) return err = what + "malformed cover", false;
        book.cover = std::move(c);
        return true;
      }
      case kSecToc:
        if (!once(seenToc, s, err)) return false;
        if (!DecodeToc(payload, book.toc)) return err = what + "malformed table of contents", false;
        return true;
      case kSecImage: {
        ImageData image;
        if (!DecodeImage(payload, image, false)) return err = what + "malformed image", false;
        if (Fnv1a64(image.bytes.data(), image.bytes.size()) != image.hash)
          return err = what + "image data does not match its hash", false;
        book.images.push_back(std::move(image));
        return true;
      }
      case kSecButtons: {
        std::vector<Button> buttons;
        if (!DecodeButtons(payload, buttons)) return err = what + "malformed buttons", false;
        book.buttons.insert(book.buttons.end(), buttons.begin(), buttons.end());
        return true;
      }
      case kSecPage: {
        Page page;
        std::string pageError;
        std::size_t units = 0;
        if (!DecodePage(payload, page, pageError, textUnits ? &units : nullptr))
          return err = what + pageError, false;
        book.pages.push_back(std::move(page));
        if (textUnits) textUnits->push_back(units);
        return true;
      }
      default:
        // A section of a later minor version: framed and checked, so it can be skipped.
        return true;
    }
  };
  if (!ScanSections(source, book.kind, visit, error, verify, &book.versionMinor))
    return std::nullopt;
  if (book.kind == FileKind::kBook && !book.meta) {
    error = "book has no META section";
    return std::nullopt;
  }
  if (book.kind == FileKind::kDesign && !book.design) {
    error = "design file has no DSGN section";
    return std::nullopt;
  }
  return book;
}

}  // namespace

bool MemorySource::Read(std::uint64_t offset, std::size_t size, std::uint8_t* out) {
  if (offset > m_data.size() || size > m_data.size() - offset) return false;
  if (size != 0) std::memcpy(out, m_data.data() + offset, size);
  return true;
}

bool FdSource::Read(std::uint64_t offset, std::size_t size, std::uint8_t* out) {
  while (size > 0) {
    ssize_t n = ::pread(m_fd, out, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    size -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

bool ScanSections(Source& source, FileKind& kind,
                  const std::function<bool(const SectionInfo&, std::span<const std::uint8_t>,
                                           std::string&)>& visit,
                  std::string& error, bool verifyChecksums, std::uint16_t* versionMinor) {
  const std::uint64_t size = source.Size();
  std::uint8_t header[kHeaderSize];
  if (size < kHeaderSize || !source.Read(0, kHeaderSize, header)) {
    error = size == 0 ? "empty file" : "not an NBK file (too short for a header)";
    return false;
  }
  if (std::memcmp(header, kMagic, sizeof kMagic) != 0) {
    error = "not an NBK file (bad magic)";
    return false;
  }
  if (verifyChecksums && Crc32(header, 20) != Le32(header + 20)) {
    error = "header checksum mismatch";
    return false;
  }
  std::uint16_t major = static_cast<std::uint16_t>(header[8] | header[9] << 8);
  std::uint16_t rawKind = static_cast<std::uint16_t>(header[12] | header[13] << 8);
  if (major != kVersionMajor) {
    error = "unsupported format version " + std::to_string(major);
    return false;
  }
  if (rawKind != static_cast<std::uint16_t>(FileKind::kBook) &&
      rawKind != static_cast<std::uint16_t>(FileKind::kDesign)) {
    error = "unknown file kind " + std::to_string(rawKind);
    return false;
  }
  kind = static_cast<FileKind>(rawKind);
  if (versionMinor) *versionMinor = static_cast<std::uint16_t>(header[10] | header[11] << 8);

  std::vector<std::uint8_t> frame;
  std::uint64_t offset = kHeaderSize;
  while (true) {
    if (offset == size) {
      error = "file ends without an END section (truncated)";
      return false;
    }
    std::uint8_t head[8];
    if (size - offset < kSectionOverhead || !source.Read(offset, 8, head)) {
      error = "truncated section" + At(offset);
      return false;
    }
    SectionInfo info{Le32(head), offset, Le32(head + 4)};
    if (info.length > kMaxSectionSize) {
      error = "section " + SectionName(info.type) + At(offset) + " has an impossible length";
      return false;
    }
    if (info.FrameSize() > size - offset) {
      error = "section " + SectionName(info.type) + At(offset) +
              " runs past the end of the file (truncated)";
      return false;
    }
    frame.resize(info.FrameSize());
    if (!source.Read(offset, frame.size(), frame.data())) {
      error = "read error" + At(offset);
      return false;
    }
    std::size_t crcAt = frame.size() - 4;
    if (verifyChecksums && Crc32(frame.data(), crcAt) != Le32(frame.data() + crcAt)) {
      error = "section " + SectionName(info.type) + At(offset) + ": checksum mismatch (damaged)";
      return false;
    }
    offset += info.FrameSize();
    if (info.type == kSecEnd) {
      if (info.length != 0) {
        error = "END section" + At(info.offset) + " is not empty";
        return false;
      }
      if (offset != size) {
        error = "data after the END section" + At(offset);
        return false;
      }
      return true;
    }
    if (!visit(info, std::span<const std::uint8_t>(frame.data() + 8, info.length), error))
      return false;
  }
}

std::optional<Book> ParseBook(std::span<const std::uint8_t> data, std::string& error,
                              bool verifyChecksums) {
  MemorySource source(data);
  return ParseFrom(source, error, verifyChecksums);
}

std::optional<Book> ReadBook(const std::string& path, std::string& error) {
  std::optional<Book> book;
  WithFile(path, error, [&](Source& source) {
    book = ParseFrom(source, error, true);
    return book.has_value();
  });
  return book;
}

std::optional<Book> ReadBookOutline(const std::string& path, std::vector<std::size_t>& textUnits,
                                    std::string& error) {
  std::optional<Book> book;
  WithFile(path, error, [&](Source& source) {
    textUnits.clear();
    book = ParseFrom(source, error, true, &textUnits);
    return book.has_value();
  });
  if (!book) textUnits.clear();
  return book;
}

bool ReadDesign(const std::string& path, Design& design, std::string& error) {
  return WithFile(path, error, [&](Source& source) {
    FileKind kind;
    bool found = false;
    auto visit = [&](const SectionInfo& s, std::span<const std::uint8_t> payload,
                     std::string& err) {
      if (s.type != kSecDesign) return true;
      if (found || !DecodeDesign(payload, design)) return err = "malformed design section", false;
      found = true;
      return true;
    };
    if (!ScanSections(source, kind, visit, error)) return false;
    if (!found) return error = "no design section", false;
    if (!IsSaneDesign(design)) return error = "design values out of range", false;
    return true;
  });
}

BookIndex::BookIndex(const Book& book) {
  for (std::size_t p = 0; p < book.pages.size(); ++p) {
    m_pages.emplace(book.pages[p].id, p + 1);
    for (std::size_t i = 0; i < book.pages[p].items.size(); ++i) {
      const PageItem& item = book.pages[p].items[i];
      if (const auto* t = std::get_if<TextBlock>(&item)) {
        m_blocks.emplace(t->blockId, Place{p + 1, i + 1});
      } else if (const auto* b = std::get_if<ImageBlock>(&item)) {
        m_blocks.emplace(b->blockId, Place{p + 1, i + 1});
      }
    }
  }
  for (const Button& b : book.buttons) m_buttons.emplace(b.id, &b);
  for (const ImageData& image : book.images) m_images.emplace(image.id, &image);
}

std::size_t BookIndex::PageNumber(std::uint32_t pageId) const {
  auto it = m_pages.find(pageId);
  return it == m_pages.end() ? 0 : it->second;
}

std::optional<Place> BookIndex::BlockPlace(std::uint32_t blockId) const {
  auto it = m_blocks.find(blockId);
  if (it == m_blocks.end()) return std::nullopt;
  return it->second;
}

const Button* BookIndex::FindButton(std::uint32_t buttonId) const {
  auto it = m_buttons.find(buttonId);
  return it == m_buttons.end() ? nullptr : it->second;
}

const ImageData* BookIndex::FindImage(std::uint32_t dataId) const {
  auto it = m_images.find(dataId);
  return it == m_images.end() ? nullptr : it->second;
}

}  // namespace nbk
