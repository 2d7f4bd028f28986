// Which files canPutImage accepts, and that image data is stored once per book.
#include "nbkcreator/image_probe.h"
#include "nbkcreator/reader.h"
#include "tests/nbkcreator/support.h"

namespace nbktest {
namespace {

std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> v, std::size_t drop) {
  v.resize(v.size() - drop);
  return v;
}

std::vector<std::uint8_t> Str(const std::string& s) {
  return {s.begin(), s.end()};
}

struct ProbeCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  nbk::ImageType type;
  std::uint32_t width, height;
};

class ProbeTest : public ScratchTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(ProbeTest, RecognisesWholeImagesOfShownTypes) {
  const ProbeCase& c = GetParam();
  nbk::ImageInfo info = nbk::ProbeImage(c.bytes);
  EXPECT_EQ(info.type, c.type);
  EXPECT_EQ(info.width, c.width);
  EXPECT_EQ(info.height, c.height);

  // The same answer through the contract.
  WriteFile(Path("image"), c.bytes);
  CNBKBook book;
  CNBKImageObject* image =
      book.CreatePage(NBK_PAGE_KIND)->CreateImageBlock(NBK_IMAGE_BLOCK_KIND)->GetImageObject();
  EXPECT_EQ(image->canPutImage(), 0) << "no stream yet";
  ASSERT_NE(image->CreateImageStream(WPath("image")), nullptr);
  EXPECT_EQ(image->canPutImage(), c.type == nbk::ImageType::kUnknown ? 0 : 1);
}

std::vector<std::uint8_t> PngWithBadCrc() {
  auto v = MakePng(4, 4);
  v[v.size() - 20] ^= 0x40;  // inside IDAT
  return v;
}

std::vector<std::uint8_t> BmpShortOfPixels() {
  return Cut(MakeBmp(10, 10), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProbeTest,
    ::testing::Values(
        ProbeCase{"Png", MakePng(16, 8), nbk::ImageType::kPng, 16, 8},
        ProbeCase{"Jpeg", MakeJpeg(640, 480), nbk::ImageType::kJpeg, 640, 480},
        ProbeCase{"Gif", MakeGif(3, 2), nbk::ImageType::kGif, 3, 2},
        ProbeCase{"Bmp", MakeBmp(5, 4), nbk::ImageType::kBmp, 5, 4},
        ProbeCase{"BmpTopDown", MakeBmp(5, -4), nbk::ImageType::kBmp, 5, 4},
        ProbeCase{"HtmlErrorPage", Str("<html><body>404 Not Found</body></html>"),
                  nbk::ImageType::kUnknown, 0, 0},
        ProbeCase{"TextFile", Str("GIF is a nice format\n"), nbk::ImageType::kUnknown, 0, 0},
        ProbeCase{"Empty", {}, nbk::ImageType::kUnknown, 0, 0},
        ProbeCase{"TruncatedPng", Cut(MakePng(16, 8), 12), nbk::ImageType::kUnknown, 0, 0},
        ProbeCase{"PngBadChunkCrc", PngWithBadCrc(), nbk::ImageType::kUnknown, 0, 0},
        ProbeCase{"TruncatedJpeg", Cut(MakeJpeg(8, 8), 2), nbk::ImageType::kUnknown, 0, 0},
        ProbeCase{"TruncatedGif", Cut(MakeGif(8, 8), 1), nbk::ImageType::kUnknown, 0, 0},
        ProbeCase{"TruncatedBmp", BmpShortOfPixels(), nbk::ImageType::kUnknown, 0, 0},
        ProbeCase{"ZeroWidthPng", MakePng(0, 8), nbk::ImageType::kUnknown, 0, 0},
        ProbeCase{"HugePng", MakePng(100000, 100000), nbk::ImageType::kUnknown, 0, 0},
        ProbeCase{"ZeroHeightJpeg", MakeJpeg(8, 0), nbk::ImageType::kUnknown, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

class ImageDedupTest : public ScratchTest {};

std::size_t ImageCount(const std::string& path) {
  std::string error;
  auto book = nbk::ReadBook(path, error);
  return book ? book->images.size() : 9999;
}

TEST_F(ImageDedupTest, ImageBytesAreStoredOncePerBook) {
  WriteFile(Path("a.png"), MakePng(4, 4, 1));
  WriteFile(Path("a2.png"), MakePng(4, 4, 1));
  WriteFile(Path("b.png"), MakePng(4, 4, 2));
  {
    CNBKBook book;
    book.SetNBKFileName(WPath("d.nbk"));
    ASSERT_EQ(book.Open(nullptr, NBK_OPEN_NEW), 0);
    CNBKPageObject* page = book.CreatePage(NBK_PAGE_KIND);
    CNBKImageStreamObject* shared = nullptr;
    for (const char* file : {"a.png", "a2.png", "b.png", "", ""}) {
      CNBKImageBlock* block = page->CreateImageBlock(NBK_IMAGE_BLOCK_KIND);
      if (*file) {
        CNBKImageStreamObject* s = block->GetImageObject()->CreateImageStream(WPath(file));
        if (!shared) shared = s;
      } else {
        ASSERT_EQ(block->GetImageObject()->SetImageStream(shared), 0);
      }
      page->AddBlock(block->GetBlockObject());
    }
    book.AddPage(page);
    ASSERT_EQ(book.OutputAll(), 0);
  }
  EXPECT_EQ(ImageCount(Path("d.nbk")), 2u);

  // A later session that brings the same bytes again refers to the stored data.
  {
    CNBKBook book;
    ASSERT_EQ(book.Open(WPath("d.nbk").c_str(), NBK_OPEN_APPEND), 0);
    CNBKPageObject* page = book.CreatePage(NBK_PAGE_KIND);
    CNBKImageBlock* block = page->CreateImageBlock(NBK_IMAGE_BLOCK_KIND);
    block->GetImageObject()->CreateImageStream(WPath("a2.png"));
    EXPECT_EQ(block->GetImageObject()->canPutImage(), 1) << "stored data keeps its type";
    page->AddBlock(block->GetBlockObject());
    book.AddPage(page);
    ASSERT_EQ(book.OutputAll(), 0);
  }
  std::string error;
  auto book = nbk::ReadBook(Path("d.nbk"), error);
  ASSERT_TRUE(book) << error;
  ASSERT_EQ(book->images.size(), 2u);
  ASSERT_EQ(book->pages.size(), 2u);
  const auto& first = std::get<nbk::ImageBlock>(book->pages[0].items[0]);
  const auto& later = std::get<nbk::ImageBlock>(book->pages[1].items[0]);
  EXPECT_EQ(first.dataId, later.dataId);
}

TEST_F(ImageDedupTest, ImagesNoPageShowsAreNotStored) {
  WriteFile(Path("a.png"), MakePng(4, 4, 1));
  CNBKBook book;
  book.SetNBKFileName(WPath("u.nbk"));
  ASSERT_EQ(book.Open(nullptr, NBK_OPEN_NEW), 0);
  CNBKPageObject* page = book.CreatePage(NBK_PAGE_KIND);
  page->CreateImageBlock(NBK_IMAGE_BLOCK_KIND)->GetImageObject()->CreateImageStream(WPath("a.png"));
  book.AddPage(page);
  ASSERT_EQ(book.OutputAll(), 0);
  EXPECT_EQ(ImageCount(Path("u.nbk")), 0u);
}

}  // namespace
}  // namespace nbktest
