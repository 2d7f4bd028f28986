// Reading NBK files: a section scanner that checks the frame and checksum of every section,
// and the whole-book reader behind `nbclip dump`. Damaged input gives false/nullopt and a
// message that says what and where; nothing is read outside the input.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "nbkcreator/model.h"

namespace nbk {

// Where the scanner reads from: a file or a buffer.
class Source {
 public:
  virtual ~Source() = default;
  virtual std::uint64_t Size() const = 0;
  virtual bool Read(std::uint64_t offset, std::size_t size, std::uint8_t* out) = 0;
};

class MemorySource : public Source {
 public:
  explicit MemorySource(std::span<const std::uint8_t> data) : m_data(data) {}
  std::uint64_t Size() const override { return m_data.size(); }
  bool Read(std::uint64_t offset, std::size_t size, std::uint8_t* out) override;

 private:
  std::span<const std::uint8_t> m_data;
};

// Reads with pread from an open descriptor (which it does not own).
class FdSource : public Source {
 public:
  FdSource(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
  std::uint64_t Size() const override { return m_size; }
  bool Read(std::uint64_t offset, std::size_t size, std::uint8_t* out) override;

 private:
  int m_fd;
  std::uint64_t m_size;
};

struct SectionInfo {
  std::uint32_t type = 0;
  std::uint64_t offset = 0;  // of the frame (its type field)
  std::uint32_t length = 0;  // of the payload
  std::uint64_t FrameSize() const { return kSectionOverhead + std::uint64_t{length}; }
};

// Checks the header, then hands every section before END to visit (payload only). Fails on a
// bad header, a frame that runs past the end, a checksum mismatch, a missing END or bytes after
// it, or when visit returns false (visit then sets error). Memory use is one section at a time.
bool ScanSections(Source& source, FileKind& kind,
                  const std::function<bool(const SectionInfo&, std::span<const std::uint8_t>,
                                           std::string&)>& visit,
                  std::string& error, bool verifyChecksums = true,
                  std::uint16_t* versionMinor = nullptr);

// The whole book from memory (ReadBook, in the public header, reads a file).
// verifyChecksums = false is for the fuzz target, so it can reach the decoders.
std::optional<Book> ParseBook(std::span<const std::uint8_t> data, std::string& error,
                              bool verifyChecksums = true);
// The design section of an NBK file (a design file or a book), checked for sanity.
bool ReadDesign(const std::string& path, Design& design, std::string& error);

}  // namespace nbk
