#include "parser/images/SvgRaster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "parser/style/WideText.h"
#include "platform/mshtml/mshtml.h"
#include "platform/win32/crt.h"

// After the platform's headers: glib defines TRUE and FALSE as macros.
#include "parser/images/RsvgApi.h"

namespace nbparser {

namespace {

// Sides of the PNG drawn for one SVG image, whatever the page says.
constexpr int kMaxSide = 2048;
// An SVG document larger than this is not drawn.
constexpr std::size_t kMaxSvgBytes = std::size_t{8} << 20;
// The size of an image that gives none (CSS's replaced-element default).
constexpr double kDefaultWidth = 300, kDefaultHeight = 150;

int PixelAttribute(IHTMLElement* element, const char16_t* name) {
  if (!element) return 0;
  BStr attr(name);
  ScopedVariant value;
  if (FAILED(element->getAttribute(attr.Get(), 0, &value)) || value.vt != VT_BSTR ||
      !value.bstrVal) {
    return 0;
  }
  std::u16string_view text(value.bstrVal, SysStringLen(value.bstrVal));
  // "50%" depends on a layout the book does not have.
  if (text.find(u'%') != std::u16string_view::npos) return 0;
  int n = WideToInt(text);
  return n > 0 ? n : 0;
}

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

std::string ReadFile(const std::u16string& path, std::size_t limit) {
  std::string bytes;
  int fd = _wopen(path.c_str(), _O_BINARY | _O_RDONLY);
  if (fd == -1) return bytes;
  char buffer[8192];
  for (int n; (n = _read(fd, buffer, sizeof buffer)) > 0;) {
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > limit) break;
  }
  _close(fd);
  return bytes;
}

}  // namespace

bool LooksLikeSvg(std::string_view bytes) {
  std::string_view head = bytes.substr(0, 4096);
  // Past a byte order mark, white space, an XML declaration, comments and a doctype, the first
  // element is <svg.
  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
  for (std::size_t i = 0; i < head.size();) {
    char c = head[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c != '<') return false;
    std::string_view rest = head.substr(i);
    if (rest.starts_with("<svg") && rest.size() > 4 &&
        (rest[4] == ' ' || rest[4] == '>' || rest[4] == '\n' || rest[4] == '\t' ||
         rest[4] == '\r' || rest[4] == '/')) {
      return true;
    }
    std::string_view close = rest.starts_with("<!--") ? "-->" : ">";
    if (!rest.starts_with("<?") && !rest.starts_with("<!")) return false;
    std::size_t end = rest.find(close);
    if (end == std::string_view::npos) return false;
    i += end + close.size();
  }
  return false;
}

void DisplayedSize(double iw, double ih, int widthAttr, int heightAttr, int maxSide, int& width,
                   int& height) {
  if (!(iw > 0) || !(ih > 0)) {
    iw = kDefaultWidth;
    ih = kDefaultHeight;
  }
  double w = iw, h = ih;
  if (widthAttr > 0 && heightAttr > 0) {
    w = widthAttr;
    h = heightAttr;
  } else if (widthAttr > 0) {
    w = widthAttr;
    h = ih * widthAttr / iw;
  } else if (heightAttr > 0) {
    h = heightAttr;
    w = iw * heightAttr / ih;
  }
  double scale = std::min(1.0, std::min(maxSide / w, maxSide / h));
  width = std::max(1, static_cast<int>(std::lround(w * scale)));
  height = std::max(1, static_cast<int>(std::lround(h * scale)));
}

std::string RasterizeSvg(std::string_view svg, int widthAttr, int heightAttr) {
  std::string png;
  if (svg.empty() || svg.size() > kMaxSvgBytes) return png;
  std::string why;
  const RsvgApi* api = Rsvg(why);
  if (!api) {
    // Said once: the book still gets the image, as the SVG it was.
    static std::once_flag told;
    std::call_once(told, [&why] {
      std::fprintf(stderr, "warning: SVG images are not drawn: %s\n", why.c_str());
    });
    return png;
  }
  GError* error = nullptr;
  RsvgHandle* handle =
      api->handleNewFromData(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &error);
  if (!handle) {
    if (error) api->errorFree(error);
    return png;
  }
  double iw = 0, ih = 0;
  if (!api->intrinsicSizeInPixels(handle, &iw, &ih)) {
    // Only a viewBox: its proportions, at the default width.
    gboolean hasWidth = FALSE, hasHeight = FALSE, hasViewBox = FALSE;
    RsvgLength lw, lh;
    RsvgRectangle box{};
    api->intrinsicDimensions(handle, &hasWidth, &lw, &hasHeight, &lh, &hasViewBox, &box);
    if (hasViewBox && box.width > 0 && box.height > 0) {
      iw = kDefaultWidth;
      ih = kDefaultWidth * box.height / box.width;
    }
  }
  int width = 0, height = 0;
  DisplayedSize(iw, ih, widthAttr, heightAttr, kMaxSide, width, height);
  cairo_surface_t* surface = api->imageSurfaceCreate(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = api->create(surface);
  RsvgRectangle viewport{0, 0, static_cast<double>(width), static_cast<double>(height)};
  bool drawn = api->renderDocument(handle, cr, &viewport, &error);
  if (error) api->errorFree(error);
  api->destroy(cr);
  if (drawn && api->surfaceStatus(surface) == CAIRO_STATUS_SUCCESS) {
    if (api->writeToPngStream(surface, AppendToString, &png) != CAIRO_STATUS_SUCCESS) png.clear();
  }
  api->surfaceDestroy(surface);
  api->objectUnref(handle);
  return png;
}

bool RasterizeSvgCacheFile(const std::u16string& cacheFile, IHTMLElement* element) {
  std::string bytes = ReadFile(cacheFile, kMaxSvgBytes);
  if (bytes.size() > kMaxSvgBytes || !LooksLikeSvg(bytes)) return false;
  std::string png =
      RasterizeSvg(bytes, PixelAttribute(element, u"width"), PixelAttribute(element, u"height"));
  if (png.empty()) return false;
  int out = _wopen(cacheFile.c_str(), _O_BINARY | _O_TRUNC | _O_CREAT | _O_WRONLY, _S_IWRITE);
  if (out == -1) return false;
  bool ok = _write(out, png.data(), static_cast<unsigned int>(png.size())) ==
            static_cast<int>(png.size());
  _close(out);
  return ok;
}

}  // namespace nbparser
