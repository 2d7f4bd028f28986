// Images: cache names and files, fetching once per book, and placement as a block or inline.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "parser/facade/PageBudget.h"
#include "parser/images/CacheNames.h"
#include "tests/parser/ConverterFixture.h"

namespace testing_parser {
namespace {

namespace fs = std::filesystem;

TEST(CacheNamesTest, KeysAndFiles) {
  struct Case {
    int depth;
    std::u16string address, name;
  };
  for (const Case& c :
       {Case{0, u"http://a.com/x/y.png", u"C\\__cash[0]http@++a.com+x+y.png"},
        Case{1, u"http://a.com:8080/i?a=1&b=%20", u"C\\__cash[1]http@++a.com@8080+i@a=1+b=+20"},
        Case{0, u"file:///p/\"<>|*", u"C\\__cash[0]file@+++p+@@@@@"}}) {
    EXPECT_EQ(ImageCacheName(u"C\\", c.depth, c.address), c.name);
  }
  EXPECT_EQ(ImageCacheFile(u"C\\", 0, -1), u"C\\__cash[0]index-0001.tmp");
  EXPECT_EQ(ImageCacheFile(u"C\\", 2, -12), u"C\\__cash[2]index-0012.tmp");
  EXPECT_EQ(ImageCacheFile(u"C\\", 0, -123456), u"C\\__cash[0]index-123456.tmp");
}

const char kPng[] = "\x89PNG\r\n\x1a\n0000";

class ImageTest : public ConverterTest {
 protected:
  void SetUp() override {
    ConverterTest::SetUp();
    char pattern[] = "/tmp/nbparser-images-XXXXXX";
    dir_ = mkdtemp(pattern);
    fs::create_directory(dir_ / "cache");
    Write("a.png", kPng);
    Write("b b.png", kPng);
    Write("text.png", "not an image");
    conv_->SetCacheDir(platform::com::Utf8ToUtf16((dir_ / "cache").string() + "\\"));
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Url(const std::string& name) const { return "file://" + (dir_ / name).string(); }
  std::shared_ptr<fakedom::Element> Img(const std::string& href) {
    return El("IMG", {{"href", href}}, {});
  }
  int ConvertLocal(std::vector<fakedom::Item> body) {
    return Convert({.url = Url("page.html"), .body = std::move(body)});
  }
  std::vector<std::string> CacheFiles() const {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(dir_ / "cache"))
      files.push_back(e.path().filename());
    std::sort(files.begin(), files.end());
    return files;
  }
  fs::path dir_;
};

TEST_F(ImageTest, AloneInAParagraphBecomesABlock) {
  ASSERT_EQ(ConvertLocal({El("P", {"  ", Img(Url("a.png")), " "})}), 0);
  EXPECT_EQ(Layout(), (Calls{"I6.CreateImageStream(__cash[0]index-0001.tmp) -> S8", "T3.Write()",
                             "P1.AddBlock(B7)"}));
  EXPECT_EQ(CacheFiles(), (std::vector<std::string>{"__cash[0]index-0001.tmp"}));
  std::ifstream cached(dir_ / "cache" / "__cash[0]index-0001.tmp", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(cached)), {});
  EXPECT_EQ(bytes, std::string(kPng));
}

TEST_F(ImageTest, InTextItIsPlottedInline) {
  ASSERT_EQ(ConvertLocal({El("P", {"see ", Img(Url("a.png")), " here"})}), 0);
  EXPECT_EQ(Layout(),
            (Calls{"T3.AddText(see)", "I6.CreateImageStream(__cash[0]index-0001.tmp) -> S8",
                   "T3.AddText( )", "T3.PlotImage(I6,2)", "T3.AddText( here)", "T3.Write()",
                   "P1.AddBlock(B4)"}));
}

TEST_F(ImageTest, InlineImageWithoutOpenBlockOpensOne) {
  ASSERT_EQ(ConvertLocal({El("SPAN", {"x", Img(Url("a.png"))})}), 0);
  EXPECT_EQ(recording::Only({"CreateTextBlock", "CreateImageBlock", "PlotImage", "AddText"}),
            (Calls{"P1.CreateTextBlock(0,0) -> TB2 T3 B4", "T3.AddText(x)",
                   "P1.CreateImageBlock(79) -> IB5 I6 B7", "T3.PlotImage(I6,2)"}));
}

TEST_F(ImageTest, UsedTwiceIsStoredOnce) {
  ASSERT_EQ(ConvertLocal({El("P", {"a", Img(Url("a.png")), "b", Img(Url("a.png"))})}), 0);
  EXPECT_EQ(recording::Only({"ImageStream", "PlotImage"}),
            (Calls{"I6.CreateImageStream(__cash[0]index-0001.tmp) -> S8", "T3.PlotImage(I6,2)",
                   "I10.SetImageStream(S8)", "T3.PlotImage(I10,2)"}));
  EXPECT_EQ(names_.size(), 1u);
  EXPECT_EQ(streams_.size(), 1u);
  EXPECT_EQ(CacheFiles().size(), 1u);
}

TEST_F(ImageTest, SpacesInThePath) {
  ASSERT_EQ(ConvertLocal({El("P", {Img(Url("b%20b.png"))})}), 0);
  EXPECT_EQ(recording::Only({"AddBlock"}), (Calls{"P1.AddBlock(B7)"}));
}

TEST_F(ImageTest, NotAnImageIsNotPlaced) {
  ASSERT_EQ(ConvertLocal({El("P", {"x", Img(Url("text.png"))})}), 0);
  EXPECT_EQ(recording::Only({"ImageStream", "PlotImage", "AddBlock"}),
            (Calls{"I6.CreateImageStream(__cash[0]index-0001.tmp) -> S8", "P1.AddBlock(B4)"}));
}

TEST_F(ImageTest, RefusedAddresses) {
  conv_->m_pPage = book_->CreatePage(77);
  conv_->m_strScheme = u"file://";
  struct Case {
    std::string href;
    int result;
  };
  for (const Case& c : {Case{"https://example.com/a.png", -1}, Case{"ftp://example.com/a.png", -1},
                        Case{Url("missing.png"), -1}, Case{"a.png", -1}}) {
    auto img = Img(c.href);
    auto doc = fakedom::Doc({.body = {img}});
    EXPECT_EQ(conv_->AddImage(fakedom::AsElement(img), fakedom::AsElement(img)), c.result)
        << c.href;
  }
  // Not an image element at all.
  auto p = El("P");
  auto doc = fakedom::Doc({.body = {p}});
  EXPECT_EQ(conv_->AddImage(fakedom::AsElement(p), fakedom::AsElement(p)), 0);
  EXPECT_TRUE(recording::Only({"Image"}).empty());
}

TEST_F(ImageTest, PageFromTheWebCannotPullLocalFiles) {
  ASSERT_EQ(
      Convert({.url = "http://example.com/page.html", .body = {El("P", {Img(Url("a.png"))})}}), 0);
  EXPECT_TRUE(recording::Only({"Image"}).empty());
  EXPECT_TRUE(CacheFiles().empty());
}

TEST_F(ImageTest, TableCellsArePassedOver) {
  ASSERT_EQ(ConvertLocal(
                {El("TABLE", {{"display", "block"}}, {El("TR", {El("TD", {Img(Url("a.png"))})})}),
                 El("TABLE", {{"display", "block"}},
                    {El("TR", {El("TD", {Img(Url("a.png"))}), El("TD", {"t"})})})}),
            0);
  // Tables a page made blocks (a table's own display is "table", which no image takes as its
  // block). The first holds no text: a block. The second holds text beside the cell: inline.
  EXPECT_EQ(recording::Only({"AddBlock", "PlotImage"}),
            (Calls{"P1.AddBlock(B7)", "T10.PlotImage(I13,2)", "P1.AddBlock(B11)"}));
}

// What a page's bounds leave out: each image past a bound is not fetched or not kept, the
// reason is told once per bound, and nothing of it reaches the book or stays in the cache.
TEST_F(ImageTest, PageBoundsLeaveImagesOutAndSaySo) {
  struct Told {
    std::vector<std::pair<std::string, int>> dropped;
    int fetched = 0;
  };
  auto progress = [](void* context, NBProgress event, const unsigned short* subject, int code) {
    auto* told = static_cast<Told*>(context);
    std::u16string what(reinterpret_cast<const char16_t*>(subject));
    if (event == NBProgress::kFetchingImage) ++told->fetched;
    if (event == NBProgress::kImageDropped) {
      told->dropped.emplace_back(platform::com::Utf16ToUtf8(what.substr(what.rfind(u'/') + 1)),
                                 code);
    }
  };
  for (const char* name : {"c.png", "d.png"}) Write(name, kPng);  // 12 bytes each
  struct Case {
    const char* name;
    NBPageLimits limits;
    int fetched, placed;
    std::vector<std::pair<std::string, int>> dropped;
  };
  const std::vector<Case> cases = {
      {"no bounds", {0, 0, 0}, 3, 3, {}},
      {"two images", {2, 0, 0}, 2, 2, {{"d.png", NBP_ERR_IMAGE_COUNT}}},
      {"one image, told once", {1, 0, 0}, 1, 1, {{"c.png", NBP_ERR_IMAGE_COUNT}}},
      // The third is fetched, but its bytes pass what is left of the page's total.
      {"bytes for two", {0, 30, 0}, 3, 2, {{"d.png", NBP_ERR_IMAGE_BYTES}}},
      {"time up, told once", {0, 0, 1}, 0, 0, {{"a.png", NBP_ERR_TIME_UP}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    conv_->SetCacheDir(platform::com::Utf8ToUtf16((dir_ / "cache").string() + "\\"));
    Told told;
    PageBudget budget(c.limits, progress, &told);
    if (c.limits.timeLimitMs != 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    conv_->SetBudget(&budget);
    ASSERT_EQ(ConvertLocal({El("P", {Img(Url("a.png"))}), El("P", {Img(Url("c.png"))}),
                            El("P", {Img(Url("d.png"))}), El("P", {Img(Url("a.png"))})}),
              0);
    // The fourth image is the first again: it is placed whenever the first was.
    const int again = c.placed > 0 ? 1 : 0;
    EXPECT_EQ(recording::Only({"CreateImageStream"}).size(), static_cast<std::size_t>(c.placed));
    EXPECT_EQ(recording::Only({"AddBlock"}).size(), static_cast<std::size_t>(c.placed + again));
    EXPECT_EQ(told.dropped, c.dropped);
    EXPECT_EQ(told.fetched, c.fetched);
    EXPECT_EQ(CacheFiles().size(), static_cast<std::size_t>(c.placed));
    names_.clear();
    streams_.clear();
    for (const auto& e : fs::directory_iterator(dir_ / "cache")) fs::remove(e.path());
    recording::Reset();
  }
}

// A cache file that cannot be written whole (a full temporary folder; here a file-size limit)
// leaves the image out with that reason, and nothing half-written stays.
TEST_F(ImageTest, FullTemporaryFolderLeavesTheImageOut) {
  std::vector<std::pair<NBProgress, int>> told;
  PageBudget budget(
      {0, 0, 0},
      [](void* context, NBProgress event, const unsigned short*, int code) {
        static_cast<std::vector<std::pair<NBProgress, int>>*>(context)->emplace_back(event, code);
      },
      &told);
  conv_->SetBudget(&budget);
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit tiny = old;
  tiny.rlim_cur = 4;
  auto oldSignal = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  int result = ConvertLocal({El("P", {Img(Url("a.png"))})});
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldSignal);
  ASSERT_EQ(result, 0);
  EXPECT_TRUE(recording::Only({"Image"}).empty());
  EXPECT_EQ(told,
            (std::vector<std::pair<NBProgress, int>>{
                {NBProgress::kFetchingImage, 0}, {NBProgress::kImageDropped, NBP_ERR_CACHE_FULL}}));
  EXPECT_TRUE(CacheFiles().empty());
  EXPECT_TRUE(names_.empty()) << "not remembered: a later page may fetch it again";
}

TEST_F(ImageTest, DepthIsPartOfTheKey) {
  conv_->m_nDepth = 0;
  std::u16string a = ImageCacheName(conv_->m_strCacheDir, 0, u"http://x/a.png");
  std::u16string b = ImageCacheName(conv_->m_strCacheDir, 1, u"http://x/a.png");
  EXPECT_NE(a, b);
  names_ = {a};
  EXPECT_EQ(conv_->FindCachedImage(a), 0);
  EXPECT_EQ(conv_->FindCachedImage(b), -2);
}

}  // namespace
}  // namespace testing_parser
