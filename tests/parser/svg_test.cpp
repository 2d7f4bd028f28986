// SVG images drawn into PNG at the size the page displays them.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "parser/images/SvgRaster.h"
#include "tests/support/lazy_library.h"

namespace {

constexpr const char* kSvg =
    "<?xml version=\"1.0\"?>\n<!-- a drawing -->\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
    "width=\"40\" height=\"20\"><rect width=\"40\" height=\"20\" fill=\"red\"/></svg>";

// Width and height from a PNG's header.
std::pair<int, int> PngSize(const std::string& png) {
  auto be32 = [&](std::size_t at) {
    return (static_cast<unsigned char>(png[at]) << 24) |
           (static_cast<unsigned char>(png[at + 1]) << 16) |
           (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
  };
  if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return {0, 0};
  return {be32(16), be32(20)};
}

TEST(SvgTest, RecognisedByItsFirstElement) {
  EXPECT_TRUE(nbparser::LooksLikeSvg(kSvg));
  EXPECT_TRUE(nbparser::LooksLikeSvg("<svg>"));
  EXPECT_FALSE(nbparser::LooksLikeSvg("<html><svg></svg></html>"));
  EXPECT_FALSE(nbparser::LooksLikeSvg("\x89PNG\r\n"));
  EXPECT_FALSE(nbparser::LooksLikeSvg(""));
}

TEST(SvgTest, DisplayedSize) {
  struct Case {
    double iw, ih;
    int w, h, expectW, expectH;
  } cases[] = {
      {40, 20, 0, 0, 40, 20},        // intrinsic
      {40, 20, 80, 0, 80, 40},       // width only keeps the ratio
      {40, 20, 0, 10, 20, 10},       // height only
      {40, 20, 30, 30, 30, 30},      // both
      {0, 0, 0, 0, 300, 150},        // none at all
      {40, 20, 9000, 0, 1000, 500},  // kept to the largest side
  };
  for (const Case& c : cases) {
    int w = 0, h = 0;
    nbparser::DisplayedSize(c.iw, c.ih, c.w, c.h, 1000, w, h);
    EXPECT_EQ(w, c.expectW) << c.iw << "x" << c.ih << " " << c.w << "/" << c.h;
    EXPECT_EQ(h, c.expectH) << c.iw << "x" << c.ih << " " << c.w << "/" << c.h;
  }
}

TEST(SvgTest, DrawnAsPngAtTheDisplayedSize) {
  EXPECT_EQ(PngSize(nbparser::RasterizeSvg(kSvg, 0, 0)), std::make_pair(40, 20));
  EXPECT_EQ(PngSize(nbparser::RasterizeSvg(kSvg, 100, 0)), std::make_pair(100, 50));
  EXPECT_TRUE(nbparser::RasterizeSvg("<svg><unclosed", 0, 0).empty());
}

// librsvg and what it brings stay out of the converting process: images are drawn by a program
// of their own.
TEST(SvgTest, DISABLED_LibraryProbe) {
  ASSERT_FALSE(lazy_test::Mapped(NB_RSVG_SONAME)) << "linked in";
  ASSERT_EQ(PngSize(nbparser::RasterizeSvg(kSvg, 0, 0)), std::make_pair(40, 20));
  EXPECT_FALSE(lazy_test::Mapped(NB_RSVG_SONAME)) << "loaded to draw";
}
TEST(SvgTest, LibraryStaysOutOfTheProcess) {
  EXPECT_EQ(lazy_test::RunProbe("SvgTest.DISABLED_LibraryProbe"), 0);
}

// An image that would take many seconds to draw (large blurs over the largest PNG) is given up
// at its time limit, and the next image is drawn by a fresh drawing process.
TEST(SvgTest, SlowImageGivenUpAtItsTimeLimit) {
  std::string slow = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"2048\" height=\"2048\">";
  for (int i = 0; i < 100; ++i) {
    std::string id = "f" + std::to_string(i);
    slow += "<filter id=\"" + id + "\"><feGaussianBlur stdDeviation=\"300\"/></filter>" +
            "<rect width=\"2048\" height=\"2048\" filter=\"url(#" + id + ")\"/>";
  }
  slow += "</svg>";
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(nbparser::RasterizeSvg(slow, 0, 0, std::chrono::milliseconds(200)).empty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(PngSize(nbparser::RasterizeSvg(kSvg, 0, 0)), std::make_pair(40, 20));
  EXPECT_TRUE(nbparser::RasterizeSvg(kSvg, 0, 0, std::chrono::milliseconds(0)).empty());
}

}  // namespace
