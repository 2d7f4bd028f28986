#include "parser/images/SvgSize.h"

#include <algorithm>
#include <cmath>

namespace nbparser {

void DisplayedSize(double iw, double ih, int widthAttr, int heightAttr, int maxSide, int& width,
                   int& height) {
  if (!(iw > 0) || !(ih > 0)) {
    iw = kDefaultSvgWidth;
    ih = kDefaultSvgHeight;
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

}  // namespace nbparser
