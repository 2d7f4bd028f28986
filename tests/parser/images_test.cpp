// Images: cache names and files, fetching once per book, and placement as a block or inline.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
  ASSERT_EQ(
      ConvertLocal({El("TABLE", {El("TR", {El("TD", {Img(Url("a.png"))})})}),
                    El("TABLE", {El("TR", {El("TD", {Img(Url("a.png"))}), El("TD", {"t"})})})}),
      0);
  // The first table holds no text: a block. The second holds text beside the cell: inline.
  EXPECT_EQ(recording::Only({"AddBlock", "PlotImage"}),
            (Calls{"P1.AddBlock(B7)", "T10.PlotImage(I13,2)", "P1.AddBlock(B11)"}));
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
