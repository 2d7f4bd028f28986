#include "nbkcreator/format.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace nbk {

namespace {

// Slice-by-16 tables: the reader checks every byte of a book on each append, and nbclip reads
// each book it writes back, so this matters.
struct CrcTables {
  std::array<std::array<std::uint32_t, 256>, 16> t{};
  CrcTables() {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (std::uint32_t i = 0; i < 256; ++i) {
      for (int s = 1; s < 16; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    }
  }
};

const CrcTables& Tables() {
  static const CrcTables tables;
  return tables;
}

}  // namespace

std::string SectionName(std::uint32_t type) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    char c = static_cast<char>((type >> (8 * i)) & 0xFF);
    s += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return s;
}

const char* ImageTypeName(ImageType type) {
  switch (type) {
    case ImageType::kPng:
      return "png";
    case ImageType::kJpeg:
      return "jpeg";
    case ImageType::kGif:
      return "gif";
    case ImageType::kBmp:
      return "bmp";
    case ImageType::kUnknown:
      break;
  }
  return "unknown";
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  const auto& t = Tables().t;
  crc = ~crc;
  while (size >= 16) {
    std::uint32_t lo =
        crc ^
        (static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
         static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24);
    crc = t[15][lo & 0xFF] ^ t[14][(lo >> 8) & 0xFF] ^ t[13][(lo >> 16) & 0xFF] ^ t[12][lo >> 24] ^
          t[11][data[4]] ^ t[10][data[5]] ^ t[9][data[6]] ^ t[8][data[7]] ^ t[7][data[8]] ^
          t[6][data[9]] ^ t[5][data[10]] ^ t[4][data[11]] ^ t[3][data[12]] ^ t[2][data[13]] ^
          t[1][data[14]] ^ t[0][data[15]];
    data += 16;
    size -= 16;
  }
  // Fewer than sixteen bytes are left: a byte at a time.
  while (size--) crc = t[0][(crc ^ *data++) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::uint64_t Fnv1a64(const std::uint8_t* data, std::size_t size) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i < size; ++i) {
    h ^= data[i];
    h *= 0x100000001b3ull;
  }
  return h;
}

namespace {

// The bytes a key XORs in: the high byte of each next state of a full-period 16-bit linear
// congruential sequence started at the key, so the stream repeats every 65,536 bytes. A book has
// one key and many streams, each scrambled from its start: the bytes are made once per key.
const std::uint8_t* KeyStream(std::uint16_t key) {
  struct Cache {
    std::uint16_t key = 0;
    bool made = false;
    std::array<std::uint8_t, 65536> bytes;
  };
  thread_local Cache cache;
  if (!cache.made || cache.key != key) {
    std::uint16_t state = key;
    for (std::uint8_t& b : cache.bytes) {
      state = static_cast<std::uint16_t>(state * 0x6255u + 0x3619u);
      b = static_cast<std::uint8_t>(state >> 8);
    }
    cache.key = key;
    cache.made = true;
  }
  return cache.bytes.data();
}

}  // namespace

void Scramble(std::uint8_t* data, std::size_t size, std::uint16_t key) {
  const std::uint8_t* stream = KeyStream(key);
  for (std::size_t at = 0; at < size; at += 65536) {
    std::size_t n = std::min<std::size_t>(65536, size - at);
    std::size_t i = 0;
    // Thirty-two bytes at a time, in the compiler's 16-byte vectors (unaligned through memcpy).
    using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
    for (; i + 32 <= n; i += 32) {
      Bytes16 d0, d1, k0, k1;
      std::memcpy(&d0, data + at + i, 16);
      std::memcpy(&d1, data + at + i + 16, 16);
      std::memcpy(&k0, stream + i, 16);
      std::memcpy(&k1, stream + i + 16, 16);
      d0 ^= k0;
      d1 ^= k1;
      std::memcpy(data + at + i, &d0, 16);
      std::memcpy(data + at + i + 16, &d1, 16);
    }
    for (; i + 8 <= n; i += 8) {  // eight bytes at a time
      std::uint64_t d, k;
      std::memcpy(&d, data + at + i, 8);
      std::memcpy(&k, stream + i, 8);
      d ^= k;
      std::memcpy(data + at + i, &d, 8);
    }
    for (; i < n; ++i) data[at + i] ^= stream[i];
  }
}

void ByteWriter::U64(std::uint64_t v) {
  for (int i = 0; i < 8; ++i) m_buf.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void ByteWriter::Str(std::u16string_view s) {
  U32(static_cast<std::uint32_t>(s.size()));
  // Sized once and written through a pointer: most of a book's bytes are text.
  const std::size_t at = m_buf.size();
  m_buf.resize(at + 2 * s.size());
  std::uint8_t* w = m_buf.data() + at;
  for (char16_t c : s) {
    *w++ = static_cast<std::uint8_t>(c);
    *w++ = static_cast<std::uint8_t>(c >> 8);
  }
}

bool ByteReader::I32(std::int32_t& v) {
  std::uint32_t u;
  if (!U32(u)) return false;
  v = static_cast<std::int32_t>(u);
  return true;
}

bool ByteReader::U64(std::uint64_t& v) {
  std::uint32_t lo, hi;
  if (!U32(lo) || !U32(hi)) return false;
  v = static_cast<std::uint64_t>(hi) << 32 | lo;
  return true;
}

bool ByteReader::Str(std::u16string& s) {
  std::uint32_t n;
  if (!U32(n)) return false;
  if (n > Remaining() / 2) {
    m_ok = false;
    return false;
  }
  const std::uint8_t* p = nullptr;
  if (!Take(std::size_t{n} * 2, p)) return false;
  s.resize(n);
  for (std::uint32_t i = 0; i < n; ++i) s[i] = static_cast<char16_t>(p[2 * i] | p[2 * i + 1] << 8);
  return true;
}

bool ByteReader::Bytes(std::size_t n, std::span<const std::uint8_t>& out) {
  const std::uint8_t* p;
  if (!Take(n, p)) return false;
  out = {p, n};
  return true;
}

std::vector<std::uint8_t> EncodeHeader(FileKind kind) {
  ByteWriter w;
  w.Bytes(kMagic);
  w.U16(kVersionMajor);
  w.U16(kVersionMinor);
  w.U16(static_cast<std::uint16_t>(kind));
  w.U16(0);
  w.U32(0);
  w.U32(Crc32(w.Buffer().data(), w.Size()));
  return std::move(w.Buffer());
}

void AppendSection(std::vector<std::uint8_t>& out, std::uint32_t type,
                   std::span<const std::uint8_t> payload) {
  std::size_t start = out.size();
  ByteWriter w;
  w.U32(type);
  w.U32(static_cast<std::uint32_t>(payload.size()));
  out.insert(out.end(), w.Buffer().begin(), w.Buffer().end());
  out.insert(out.end(), payload.begin(), payload.end());
  std::uint32_t crc = Crc32(out.data() + start, out.size() - start);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
}

std::string ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    std::uint32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string ToFsPath(std::u16string_view path) {
  std::string p = ToUtf8(path);
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return p;
}

}  // namespace nbk
