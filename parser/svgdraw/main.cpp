// nbparser-svg: draws SVG images into PNG for the engine, in a process of its own, so that an
// image that takes minutes to draw or brings librsvg down costs the engine only that image.
//
// On standard input, requests one after the other: a 32-bit length in host order, then the
// width and height attributes the page gave the image (two 32-bit integers, 0 when absent) and
// the SVG document. On standard output, for each request a 32-bit length and the PNG (length 0:
// the image cannot be drawn). Ends at the end of its input.
#include <cairo.h>
#include <librsvg/rsvg.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "parser/images/SvgSize.h"

namespace {

// Reads or writes all of [data, data + size); false at the end of input or on an error.
template <typename Byte, typename Call>
bool Whole(Call call, int fd, Byte* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = call(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, char* data, std::size_t size) {
  return Whole(::read, fd, data, size);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  return Whole(::write, fd, data, size);
}

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

std::string Draw(std::string_view svg, int widthAttr, int heightAttr) {
  std::string png;
  GError* error = nullptr;
  RsvgHandle* handle =
      rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &error);
  if (!handle) {
    if (error) g_error_free(error);
    return png;
  }
  double iw = 0, ih = 0;
  if (!rsvg_handle_get_intrinsic_size_in_pixels(handle, &iw, &ih)) {
    // Only a viewBox: its proportions, at the default width.
    gboolean hasWidth = FALSE, hasHeight = FALSE, hasViewBox = FALSE;
    RsvgLength lw, lh;
    RsvgRectangle box{};
    rsvg_handle_get_intrinsic_dimensions(handle, &hasWidth, &lw, &hasHeight, &lh, &hasViewBox,
                                         &box);
    if (hasViewBox && box.width > 0 && box.height > 0) {
      iw = nbparser::kDefaultSvgWidth;
      ih = nbparser::kDefaultSvgWidth * box.height / box.width;
    }
  }
  int width = 0, height = 0;
  nbparser::DisplayedSize(iw, ih, widthAttr, heightAttr, nbparser::kMaxSvgSide, width, height);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  RsvgRectangle viewport{0, 0, static_cast<double>(width), static_cast<double>(height)};
  bool drawn = rsvg_handle_render_document(handle, cr, &viewport, &error);
  if (error) g_error_free(error);
  cairo_destroy(cr);
  if (drawn && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    if (cairo_surface_write_to_png_stream(surface, AppendToString, &png) != CAIRO_STATUS_SUCCESS)
      png.clear();
  }
  cairo_surface_destroy(surface);
  g_object_unref(handle);
  return png;
}

}  // namespace

int main() {
  for (;;) {
    std::uint32_t length = 0;
    if (!ReadAll(0, reinterpret_cast<char*>(&length), sizeof length)) return 0;
    constexpr std::size_t kHead = 2 * sizeof(std::int32_t);
    if (length < kHead || length > nbparser::kMaxSvgBytes + kHead) return 1;
    std::string request(length, '\0');
    if (!ReadAll(0, request.data(), length)) return 1;
    std::int32_t widthAttr = 0, heightAttr = 0;
    std::memcpy(&widthAttr, request.data(), sizeof widthAttr);
    std::memcpy(&heightAttr, request.data() + sizeof widthAttr, sizeof heightAttr);
    std::string png = Draw(std::string_view(request).substr(kHead), widthAttr, heightAttr);
    auto size = static_cast<std::uint32_t>(png.size());
    if (!WriteAll(1, reinterpret_cast<const char*>(&size), sizeof size) ||
        !WriteAll(1, png.data(), png.size())) {
      return 1;
    }
  }
}
