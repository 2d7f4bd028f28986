// SVG images: the reader shows PNG, JPEG and GIF only, so an SVG image is drawn into a PNG at
// the size the page displays it, in the cache file it was fetched into. The drawing (librsvg) is
// done by the program nbparser-svg beside the engine, under a time limit.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "parser/images/SvgSize.h"

struct IHTMLElement;

namespace nbparser {

// Whether bytes (the start of a file will do) look like an SVG document.
bool LooksLikeSvg(std::string_view bytes);

// An image that takes longer than this to draw is left out (the reader cannot show SVG).
constexpr std::chrono::milliseconds kSvgDrawLimit{10'000};

// The PNG of an SVG document at width x height pixels (0 x 0: its intrinsic size), or empty
// when it cannot be drawn within timeLimit (a warning then says why).
std::string RasterizeSvg(std::string_view svg, int widthAttr, int heightAttr,
                         std::chrono::milliseconds timeLimit = kSvgDrawLimit);

// When the cache file holds an SVG image, replaces it by the PNG at the size element (an IMG)
// displays it. Returns true when the file was replaced.
bool RasterizeSvgCacheFile(const std::u16string& cacheFile, IHTMLElement* element,
                           std::chrono::milliseconds timeLimit = kSvgDrawLimit);

}  // namespace nbparser
