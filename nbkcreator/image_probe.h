// Recognises the image files the reader shows by their signature and header, and checks that
// the file is whole, so an error page or a cut-off download is not put into a book.
#pragma once

#include <cstdint>
#include <span>

#include "nbkcreator/format.h"

namespace nbk {

struct ImageInfo {
  ImageType type = ImageType::kUnknown;  // kUnknown: not an image the reader shows
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// Largest side and area accepted; beyond them the reader cannot show the image.
inline constexpr std::uint32_t kMaxImageSide = 16384;
inline constexpr std::uint64_t kMaxImagePixels = 64ull << 20;

ImageInfo ProbeImage(std::span<const std::uint8_t> bytes);

}  // namespace nbk
