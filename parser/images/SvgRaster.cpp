#include "parser/images/SvgRaster.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "parser/style/WideText.h"
#include "platform/loader/worker.h"
#include "platform/mshtml/mshtml.h"
#include "platform/win32/crt.h"

namespace nbparser {

namespace {

// The drawing program, kept beside the engine.
constexpr std::string_view kDrawProgram = "nbparser-svg";

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

std::string RasterizeSvg(std::string_view svg, int widthAttr, int heightAttr,
                         std::chrono::milliseconds timeLimit) {
  std::string png;
  if (svg.empty() || svg.size() > kMaxSvgBytes || timeLimit.count() <= 0) return png;
  static std::mutex mutex;
  static std::unique_ptr<platform::loader::Worker> drawer;
  std::lock_guard lock(mutex);
  if (!drawer) {
    drawer = std::make_unique<platform::loader::Worker>(platform::loader::HelperBesideModule(
        reinterpret_cast<const void*>(&RasterizeSvgCacheFile), kDrawProgram));
  }
  // Said once, not for every image: an image that is not drawn is left out of the book.
  static bool toldMissing = false;
  if (drawer->Program().empty()) {
    if (!std::exchange(toldMissing, true)) {
      std::fprintf(stderr, "warning: SVG images are not drawn: %s is not beside the engine\n",
                   std::string(kDrawProgram).c_str());
    }
    return png;
  }
  std::int32_t size[2] = {widthAttr, heightAttr};
  std::string request(reinterpret_cast<const char*>(size), sizeof size);
  request.append(svg);
  switch (drawer->Ask(request, png, timeLimit)) {
    case platform::loader::Worker::Outcome::kAnswered:
      break;
    case platform::loader::Worker::Outcome::kLate:
      std::fprintf(stderr, "warning: an SVG image was not drawn within %.1f s and is left out\n",
                   static_cast<double>(timeLimit.count()) / 1000);
      break;
    case platform::loader::Worker::Outcome::kNoProgram:
      if (!std::exchange(toldMissing, true)) {
        std::fprintf(stderr, "warning: SVG images are not drawn: %s cannot be started\n",
                     drawer->Program().c_str());
      }
      break;
    case platform::loader::Worker::Outcome::kFailed:
      std::fprintf(stderr, "warning: an SVG image could not be drawn: %s ended without an answer\n",
                   std::string(kDrawProgram).c_str());
      break;
  }
  return png;
}

bool RasterizeSvgCacheFile(const std::u16string& cacheFile, IHTMLElement* element,
                           std::chrono::milliseconds timeLimit) {
  std::string bytes = ReadFile(cacheFile, kMaxSvgBytes);
  if (bytes.size() > kMaxSvgBytes || !LooksLikeSvg(bytes)) return false;
  std::string png = RasterizeSvg(bytes, PixelAttribute(element, u"width"),
                                 PixelAttribute(element, u"height"), timeLimit);
  if (png.empty()) return false;
  int out = _wopen(cacheFile.c_str(), _O_BINARY | _O_TRUNC | _O_CREAT | _O_WRONLY, _S_IWRITE);
  if (out == -1) return false;
  bool ok = _write(out, png.data(), static_cast<unsigned int>(png.size())) ==
            static_cast<int>(png.size());
  _close(out);
  return ok;
}

}  // namespace nbparser
