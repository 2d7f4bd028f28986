// Low-level pieces of the NBK file format (docs/nbk-format.md): constants, checksums,
// little-endian byte writers and bounded readers, section framing and text scrambling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "contracts/NBKReader.h"

namespace nbk {

inline constexpr std::uint16_t kVersionMajor = 1;
inline constexpr std::uint16_t kVersionMinor = 0;
inline constexpr std::size_t kHeaderSize = 24;
// Section frame: type (4), length (4), payload, CRC-32 (4).
inline constexpr std::size_t kSectionOverhead = 12;
// Guards the reader against absurd lengths in damaged files.
inline constexpr std::uint32_t kMaxSectionSize = 256u << 20;
// Bytes of an IMAG payload before the image bytes: id, type, width, height, hash, length.
inline constexpr std::uint32_t kImagePayloadHead = 4 + 4 + 4 + 4 + 8 + 4;

constexpr std::uint32_t SectionType(const char (&s)[5]) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[0])) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[3])) << 24;
}
inline constexpr std::uint32_t kSecMeta = SectionType("META");
inline constexpr std::uint32_t kSecDesign = SectionType("DSGN");
inline constexpr std::uint32_t kSecCover = SectionType("COVR");
inline constexpr std::uint32_t kSecToc = SectionType("TOC ");
inline constexpr std::uint32_t kSecImage = SectionType("IMAG");
inline constexpr std::uint32_t kSecButtons = SectionType("BUTN");
inline constexpr std::uint32_t kSecPage = SectionType("PAGE");
inline constexpr std::uint32_t kSecEnd = SectionType("END ");
std::string SectionName(std::uint32_t type);

// Items of a page, in the order they were placed.
enum class PageItemType : std::uint8_t {
  kTextBlock = 1,
  kImageBlock = 2,
  kLocation = 3,
  kRuledLine = 4,
};

// CRC-32 (IEEE 802.3, reflected, the one of zip and PNG); pass the previous result to continue.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
// 64-bit FNV-1a, the content hash of image data.
std::uint64_t Fnv1a64(const std::uint8_t* data, std::size_t size);

// XORs data with the key stream of key; applying it twice gives the data back.
void Scramble(std::uint8_t* data, std::size_t size, std::uint16_t key);

class ByteWriter {
 public:
  void U8(std::uint8_t v) { m_buf.push_back(v); }
  // Inline: a stream is written a word at a time.
  void U16(std::uint16_t v) {
    m_buf.push_back(static_cast<std::uint8_t>(v));
    m_buf.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) m_buf.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void U64(std::uint64_t v);
  void Str(std::u16string_view s);
  void Bytes(std::span<const std::uint8_t> b) { m_buf.insert(m_buf.end(), b.begin(), b.end()); }
  std::vector<std::uint8_t>& Buffer() { return m_buf; }
  const std::vector<std::uint8_t>& Buffer() const { return m_buf; }
  std::size_t Size() const { return m_buf.size(); }

 private:
  std::vector<std::uint8_t> m_buf;
};

// Reads within its span only; after the first short read every later read fails too and
// Ok() stays false, so decoders check once at the end of a record.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> data) : m_data(data) {}
  // Inline, as the writer's words: a stream is read back a word at a time.
  bool U8(std::uint8_t& v) {
    const std::uint8_t* p;
    if (!Take(1, p)) return false;
    v = p[0];
    return true;
  }
  bool U16(std::uint16_t& v) {
    const std::uint8_t* p;
    if (!Take(2, p)) return false;
    v = static_cast<std::uint16_t>(p[0] | p[1] << 8);
    return true;
  }
  bool U32(std::uint32_t& v) {
    const std::uint8_t* p;
    if (!Take(4, p)) return false;
    v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return true;
  }
  bool I32(std::int32_t& v);
  bool U64(std::uint64_t& v);
  bool Str(std::u16string& s);
  bool Bytes(std::size_t n, std::span<const std::uint8_t>& out);
  bool Ok() const { return m_ok; }
  bool AtEnd() const { return m_pos == m_data.size(); }
  std::size_t Remaining() const { return m_data.size() - m_pos; }
  std::size_t Position() const { return m_pos; }

 private:
  bool Take(std::size_t n, const std::uint8_t*& p) {
    if (!m_ok || n > m_data.size() - m_pos) {
      m_ok = false;
      return false;
    }
    p = m_data.data() + m_pos;
    m_pos += n;
    return true;
  }
  std::span<const std::uint8_t> m_data;
  std::size_t m_pos = 0;
  bool m_ok = true;
};

std::vector<std::uint8_t> EncodeHeader(FileKind kind);
// Appends one framed section (type, length, payload, CRC) to out.
void AppendSection(std::vector<std::uint8_t>& out, std::uint32_t type,
                   std::span<const std::uint8_t> payload);

// UTF-16 to UTF-8 for printing; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view s);
// A path given by the system (UTF-16, possibly with '\' separators) as a file-system path.
std::string ToFsPath(std::u16string_view path);

}  // namespace nbk
