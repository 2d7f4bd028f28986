// SVG images: the reader shows PNG, JPEG and GIF only, so an SVG image is drawn into a PNG at
// the size the page displays it (librsvg), in the cache file it was fetched into.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct IHTMLElement;

namespace nbparser {

// Whether bytes (the start of a file will do) look like an SVG document.
bool LooksLikeSvg(std::string_view bytes);

// The displayed size of an image of intrinsic size (iw, ih) in pixels, given the width and
// height attributes the page wrote (0 when absent): one attribute keeps the aspect ratio, none
// gives the intrinsic size; sides are kept to at most maxSide pixels.
void DisplayedSize(double iw, double ih, int widthAttr, int heightAttr, int maxSide, int& width,
                   int& height);

// The PNG of an SVG document at width x height pixels (0 x 0: its intrinsic size), or empty
// when it cannot be drawn.
std::string RasterizeSvg(std::string_view svg, int widthAttr, int heightAttr);

// When the cache file holds an SVG image, replaces it by the PNG at the size element (an IMG)
// displays it. Returns true when the file was replaced.
bool RasterizeSvgCacheFile(const std::u16string& cacheFile, IHTMLElement* element);

}  // namespace nbparser
