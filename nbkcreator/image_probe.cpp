#include "nbkcreator/image_probe.h"

#include <cstring>

namespace nbk {

namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
std::uint16_t Be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}
std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// PNG: IHDR first, every chunk whole with a matching CRC, ending with IEND.
bool ProbePng(std::span<const std::uint8_t> b, ImageInfo& info) {
  static const std::uint8_t kSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (b.size() < 8 || std::memcmp(b.data(), kSig, 8) != 0) return false;
  std::size_t pos = 8;
  bool first = true;
  while (b.size() - pos >= 12) {
    std::uint32_t len = Be32(&b[pos]);
    if (len > b.size() - pos - 12) return false;
    const std::uint8_t* type = &b[pos + 4];
    if (Crc32(type, 4 + std::size_t{len}) != Be32(&b[pos + 8 + len])) return false;
    if (first) {
      if (std::memcmp(type, "IHDR", 4) != 0 || len != 13) return false;
      info.width = Be32(type + 4);
      info.height = Be32(type + 8);
      first = false;
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      return true;
    }
    pos += 12 + std::size_t{len};
  }
  return false;
}

bool IsSof(std::uint8_t m) {
  return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// JPEG: segments walked from SOI; a frame header gives the size; entropy-coded data runs to
// the next marker; the file is whole when EOI is reached.
bool ProbeJpeg(std::span<const std::uint8_t> b, ImageInfo& info) {
  if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8) return false;
  std::size_t pos = 2;
  bool sized = false;
  while (pos + 2 <= b.size()) {
    if (b[pos] != 0xFF) return false;
    std::uint8_t m = b[pos + 1];
    if (m == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    pos += 2;
    if (m == 0xD9) return sized;
    if ((m >= 0xD0 && m <= 0xD7) || m == 0x01) continue;  // no length
    if (pos + 2 > b.size()) return false;
    std::uint16_t len = Be16(&b[pos]);
    if (len < 2 || len > b.size() - pos) return false;
    if (IsSof(m)) {
      if (len < 7) return false;
      info.height = Be16(&b[pos + 3]);
      info.width = Be16(&b[pos + 5]);
      sized = true;
    }
    pos += len;
    if (m == 0xDA) {
      // Entropy-coded data: FF 00 is a data byte, FF D0-D7 a restart marker.
      while (pos + 1 < b.size()) {
        if (b[pos] == 0xFF && b[pos + 1] != 0x00 && !(b[pos + 1] >= 0xD0 && b[pos + 1] <= 0xD7))
          break;
        ++pos;
      }
      if (pos + 1 >= b.size()) return false;
    }
  }
  return false;
}

bool SkipSubBlocks(std::span<const std::uint8_t> b, std::size_t& pos) {
  while (pos < b.size()) {
    std::uint8_t n = b[pos++];
    if (n == 0) return true;
    if (n > b.size() - pos) return false;
    pos += n;
  }
  return false;
}

// GIF: header and logical screen, then extensions and images up to the trailer.
bool ProbeGif(std::span<const std::uint8_t> b, ImageInfo& info) {
  if (b.size() < 13 ||
      (std::memcmp(b.data(), "GIF87a", 6) != 0 && std::memcmp(b.data(), "GIF89a", 6) != 0))
    return false;
  info.width = Le16(&b[6]);
  info.height = Le16(&b[8]);
  std::size_t pos = 13;
  if (b[10] & 0x80) pos += 3u << ((b[10] & 7) + 1);
  bool image = false;
  while (pos < b.size()) {
    std::uint8_t tag = b[pos++];
    if (tag == 0x3B) return image;
    if (tag == 0x21) {
      if (pos >= b.size()) return false;
      ++pos;  // label
      if (!SkipSubBlocks(b, pos)) return false;
    } else if (tag == 0x2C) {
      if (b.size() - pos < 10) return false;
      std::uint8_t flags = b[pos + 8];
      pos += 9;
      if (flags & 0x80) pos += 3u << ((flags & 7) + 1);
      if (pos >= b.size()) return false;
      ++pos;  // LZW minimum code size
      if (!SkipSubBlocks(b, pos)) return false;
      image = true;
    } else {
      return false;
    }
  }
  return false;
}

// BMP: file and info headers, and pixel data that is all there.
bool ProbeBmp(std::span<const std::uint8_t> b, ImageInfo& info) {
  if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') return false;
  std::uint32_t dataOffset = Le32(&b[10]);
  std::uint32_t headerSize = Le32(&b[14]);
  std::int64_t width, height;
  std::uint32_t bpp, compression = 0, imageSize = 0;
  if (headerSize == 12) {
    width = Le16(&b[18]);
    height = Le16(&b[20]);
    bpp = Le16(&b[24]);
  } else if (headerSize >= 40 && b.size() >= 54) {
    width = static_cast<std::int32_t>(Le32(&b[18]));
    height = static_cast<std::int32_t>(Le32(&b[22]));
    bpp = Le16(&b[28]);
    compression = Le32(&b[30]);
    imageSize = Le32(&b[34]);
  } else {
    return false;
  }
  if (height < 0) height = -height;  // top-down rows
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  if (dataOffset < 14 + headerSize || dataOffset > b.size()) return false;
  std::uint64_t need;
  if (compression == 0 || compression == 3) {
    std::uint64_t row = ((static_cast<std::uint64_t>(width) * bpp + 31) / 32) * 4;
    need = row * static_cast<std::uint64_t>(height);
  } else if (compression == 1 || compression == 2) {
    need = imageSize;  // run-length data says how long it is
    if (need == 0) return false;
  } else {
    return false;
  }
  if (need > b.size() - dataOffset) return false;
  info.width = static_cast<std::uint32_t>(width);
  info.height = static_cast<std::uint32_t>(height);
  return true;
}

}  // namespace

ImageInfo ProbeImage(std::span<const std::uint8_t> bytes) {
  ImageInfo info;
  ImageType type = ImageType::kUnknown;
  if (ProbePng(bytes, info)) {
    type = ImageType::kPng;
  } else if (info = {}; ProbeJpeg(bytes, info)) {
    type = ImageType::kJpeg;
  } else if (info = {}; ProbeGif(bytes, info)) {
    type = ImageType::kGif;
  } else if (info = {}; ProbeBmp(bytes, info)) {
    type = ImageType::kBmp;
  }
  if (type == ImageType::kUnknown || info.width == 0 || info.height == 0 ||
      info.width > kMaxImageSide || info.height > kMaxImageSide ||
      std::uint64_t{info.width} * info.height > kMaxImagePixels) {
    return {};
  }
  info.type = type;
  return info;
}

}  // namespace nbk
