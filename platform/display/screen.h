// The one display the platform stands for: the window system reports it as the screen and the
// desktop's size, and CSS media queries and viewport units measure against it.
#pragma once

namespace platform::display {

struct ScreenSize {
  int width;
  int height;
};

// A 1024x768 colour display.
constexpr ScreenSize kScreen{1024, 768};

}  // namespace platform::display
