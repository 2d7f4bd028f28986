// How large an SVG image is drawn: shared by the engine and the program that draws it.
#pragma once

#include <cstddef>

namespace nbparser {

// Sides of the PNG drawn for one SVG image, whatever the page says.
constexpr int kMaxSvgSide = 2048;
// An SVG document larger than this is not drawn.
constexpr std::size_t kMaxSvgBytes = std::size_t{8} << 20;
// The size of an image that gives none (CSS's replaced-element default).
constexpr double kDefaultSvgWidth = 300, kDefaultSvgHeight = 150;

// The displayed size of an image of intrinsic size (iw, ih) in pixels, given the width and
// height attributes the page wrote (0 when absent): one attribute keeps the aspect ratio, none
// gives the intrinsic size; sides are kept to at most maxSide pixels.
void DisplayedSize(double iw, double ih, int widthAttr, int heightAttr, int maxSide, int& width,
                   int& height);

}  // namespace nbparser
