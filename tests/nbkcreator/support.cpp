#include "tests/nbkcreator/support.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "nbkcreator/dump.h"
#include "nbkcreator/format.h"
#include "nbkcreator/reader.h"

namespace nbktest {

namespace {

// Every folder the system may touch points into one temporary folder, never the real home.
class ScratchEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/nbktest-XXXXXX";
    root = mkdtemp(templ.data());
    for (const char* var :
         {"XDG_DATA_HOME", "XDG_DOCUMENTS_DIR", "NUBRA_COMMON_DIR", "NUBRA_REGISTRY_DIR"}) {
      std::string dir = root + "/" + var;
      std::filesystem::create_directories(dir);
      setenv(var, dir.c_str(), 1);
    }
    setenv("TMPDIR", root.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(root); }
  std::string root;
};

ScratchEnvironment* g_env =
    static_cast<ScratchEnvironment*>(::testing::AddGlobalTestEnvironment(new ScratchEnvironment));

void Be32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  for (int i = 3; i >= 0; --i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}
void Le16(std::vector<std::uint8_t>& v, std::uint32_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void Le32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  Le16(v, x);
  Le16(v, x >> 16);
}

void PngChunk(std::vector<std::uint8_t>& v, const char* type,
              const std::vector<std::uint8_t>& data) {
  Be32(v, static_cast<std::uint32_t>(data.size()));
  std::size_t at = v.size();
  v.insert(v.end(), type, type + 4);
  v.insert(v.end(), data.begin(), data.end());
  Be32(v, nbk::Crc32(v.data() + at, v.size() - at));
}

}  // namespace

void ScratchTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  m_dir = g_env->root + "/" + name;
  std::filesystem::remove_all(m_dir);
  std::filesystem::create_directories(m_dir);
}

void ScratchTest::TearDown() {
  std::filesystem::remove_all(m_dir);
}

std::u16string ScratchTest::WPath(const std::string& name) const {
  return W(Path(name));
}

std::u16string W(const std::string& utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp;
    std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
    cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (std::size_t k = 1; k < n; ++k) cp = cp << 6 | (utf8[i + k] & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> ListDir(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::uint8_t> MakePng(std::uint32_t w, std::uint32_t h, std::uint8_t seed) {
  std::vector<std::uint8_t> v = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> ihdr;
  Be32(ihdr, w);
  Be32(ihdr, h);
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  PngChunk(v, "IHDR", ihdr);
  PngChunk(v, "IDAT", {0x78, 0x9C, seed, 0x01, 0x02, 0x03});
  PngChunk(v, "IEND", {});
  return v;
}

std::vector<std::uint8_t> MakeJpeg(std::uint16_t w, std::uint16_t h) {
  std::vector<std::uint8_t> v = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F',
                                 0,    1,    1,    0,    0,    1,    0,   1,   0,   0};
  v.insert(v.end(), {0xFF, 0xC0, 0x00, 0x11, 0x08, static_cast<std::uint8_t>(h >> 8),
                     static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(w >> 8),
                     static_cast<std::uint8_t>(w), 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1});
  v.insert(v.end(), {0xFF, 0xDA, 0x00, 0x0C, 3, 1, 0, 2, 0x11, 3, 0x11, 0, 0x3F, 0});
  v.insert(v.end(), {0x12, 0x34, 0xFF, 0x00, 0x56, 0xFF, 0xD0, 0x78, 0xFF, 0xD9});
  return v;
}

std::vector<std::uint8_t> MakeGif(std::uint16_t w, std::uint16_t h) {
  std::vector<std::uint8_t> v = {'G', 'I', 'F', '8', '9', 'a'};
  Le16(v, w);
  Le16(v, h);
  v.insert(v.end(), {0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF});
  v.insert(v.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});  // graphic control extension
  v.push_back(0x2C);
  Le16(v, 0);
  Le16(v, 0);
  Le16(v, w);
  Le16(v, h);
  v.insert(v.end(), {0, 2, 2, 0x44, 0x01, 0, 0x3B});
  return v;
}

std::vector<std::uint8_t> MakeBmp(std::int32_t w, std::int32_t h) {
  std::uint32_t row = ((static_cast<std::uint32_t>(w) * 24 + 31) / 32) * 4;
  std::uint32_t data = row * static_cast<std::uint32_t>(h < 0 ? -h : h);
  std::vector<std::uint8_t> v = {'B', 'M'};
  Le32(v, 54 + data);
  Le32(v, 0);
  Le32(v, 54);
  Le32(v, 40);
  Le32(v, static_cast<std::uint32_t>(w));
  Le32(v, static_cast<std::uint32_t>(h));
  Le16(v, 1);
  Le16(v, 24);
  Le32(v, 0);
  Le32(v, data);
  for (int i = 0; i < 4; ++i) Le32(v, 0);
  v.resize(v.size() + data, 0x7F);
  return v;
}

void WriteSampleBook(const std::string& path, const std::string& dir) {
  WriteFile(dir + "/a.png", MakePng(16, 8, 1));
  WriteFile(dir + "/a-copy.png", MakePng(16, 8, 1));  // same bytes, other file
  WriteFile(dir + "/b.jpg", MakeJpeg(40, 30));
  WriteFile(dir + "/c.gif", MakeGif(3, 2));
  WriteFile(dir + "/d.bmp", MakeBmp(5, 4));
  WriteFile(dir + "/error.png", {'<', 'h', 't', 'm', 'l', '>', '4', '0', '4'});

  CNBKBook book;
  book.SetScrambleKey(0x0D3B);
  book.SetNBKFileName(W(path));
  book.SetBookID(u"FBJPTB0000000001");
  ASSERT_EQ(book.Open(nullptr, NBK_OPEN_NEW), 0);
  book.SetTitle(W("マイブック"));
  book.SetTitle_reading(W("まいぶっく"));
  book.SetAuthor(u"Author \"A\"\\B");
  book.SetAuthor_reading(u"");
  ASSERT_EQ(book.SetDesignFile(W(NBK_STANDARD_DESIGN)), 0);
  CNBKTocObject* toc = book.CreateToc();
  book.CreateCoverPage(W("マイブック"), u"Author");

  // Page 1: styled text with commands and a link to page 2 that is made before its target.
  CNBKPageObject* page1 = book.CreatePage(NBK_PAGE_KIND);
  toc->AddEntry(W("第一章"), page1, nullptr);
  auto* forward = static_cast<CNBKButtonObject*>(book.CreateObject(NBK_BUTTON_KIND));
  CNBKTextBlock* block1 = page1->CreateTextBlock(0, 0);
  block1->SetStyle(83, 100);
  CNBKTextObject* text1 = block1->GetTextObject();
  text1->ChangeAtr(0x0001, 100);
  text1->ChangeAtr(0x0002, 155);
  text1->ChangeAtr(0x0003, 1);
  text1->ChangeAtr(0x0004, 0x000000FF);
  text1->GetBlock()->ChangeAtr(0x0010, 0xEEDDCC00);
  text1->AddText(u"Hello, ");
  text1->AddCommand(0xF581, nullptr, 0);
  text1->AddText(u"italic\tline\nnext");
  text1->AddCommand(0xF582, nullptr, 0);
  const unsigned short colour[2] = {0x3412, 0x0078};
  text1->AddCommand(0x0004, colour, 2);
  text1->StartTextButton(forward->GetObjID());
  text1->AddText(u"to page 2");
  text1->EndTextButton();
  text1->Write();
  page1->AddBlock(block1->GetBlockObject());
  page1->SetLocation(0, 20);
  page1->AddRuledLine(600, 32, 5, 0);
  CNBKImageBlock* pic1 = page1->CreateImageBlock(NBK_IMAGE_BLOCK_KIND);
  CNBKImageStreamObject* pngStream = pic1->GetImageObject()->CreateImageStream(W(dir + "/a.png"));
  ASSERT_EQ(pic1->GetImageObject()->canPutImage(), 1);
  page1->AddBlock(pic1->GetBlockObject());
  book.AddPage(page1);

  // Page 2: the target of the forward link, a link back, shared and duplicated images, ruby.
  CNBKPageObject* page2 = book.CreatePage(NBK_PAGE_KIND);
  toc->AddEntry(W("第二章"), page2, nullptr);
  CNBKTextBlock* block2 = page2->CreateTextBlock(0, 0);
  block2->SetStyle(83, 100);
  CNBKTextObject* text2 = block2->GetTextObject();
  forward->SetJumpTo(page2, nullptr);
  forward->SetJumpTo(page2, block2->GetBlockObject());  // set again: the later target counts
  auto* back = static_cast<CNBKButtonObject*>(book.CreateObject(NBK_BUTTON_KIND));
  back->SetJumpTo(page1, block1->GetBlockObject());
  auto* nowhere = static_cast<CNBKButtonObject*>(book.CreateObject(NBK_BUTTON_KIND));
  nowhere->SetJumpTo(nullptr, nullptr);
  book.CreateObject(NBK_BUTTON_KIND);  // never given a target
  text2->StartTextButton(back->GetObjID());
  text2->AddText(u"back");
  text2->EndTextButton();
  text2->EndTextButton();  // no button open: ignored
  text2->Write();
  text2->AddCommand(0xF5A9, nullptr, 0);
  text2->AddCommand(0xF5AB, nullptr, 0);
  text2->AddText(W("漢字"));
  text2->AddCommand(0xF5AC, nullptr, 0);
  text2->AddCommand(0xF5AD, nullptr, 0);
  text2->AddText(W("かんじ"));
  text2->AddCommand(0xF5AE, nullptr, 0);
  text2->AddCommand(0xF5AA, nullptr, 0);
  CNBKImageBlock* shared = page2->CreateImageBlock(NBK_IMAGE_BLOCK_KIND);
  shared->GetImageObject()->SetImageStream(pngStream);
  text2->PlotImage(shared->GetImageObject(), 2);
  text2->AddCommand(0xF5D2, nullptr, 0);
  text2->Write();
  text2->Write();
  page2->AddBlock(block2->GetBlockObject());
  CNBKImageBlock* copy = page2->CreateImageBlock(NBK_IMAGE_BLOCK_KIND);
  copy->GetImageObject()->CreateImageStream(W(dir + "/a-copy.png"));
  page2->AddBlock(copy->GetBlockObject());
  CNBKImageBlock* jpeg = page2->CreateImageBlock(NBK_IMAGE_BLOCK_KIND);
  jpeg->GetImageObject()->CreateImageStream(W(dir + "/b.jpg"));
  jpeg->GetBlockObject()->ChangeAtr(0x0020, 7);
  page2->AddBlock(jpeg->GetBlockObject());
  CNBKImageBlock* broken = page2->CreateImageBlock(NBK_IMAGE_BLOCK_KIND);
  broken->GetImageObject()->CreateImageStream(W(dir + "/error.png"));
  ASSERT_EQ(broken->GetImageObject()->canPutImage(), 0);  // made but not placed
  book.AddPage(page2);

  // Page 3: rules of several styles, GIF and BMP, a text block with an empty stream.
  CNBKPageObject* page3 = book.CreatePage(NBK_PAGE_KIND);
  page3->AddRuledLine(600, 1, 2, 0);
  page3->SetLocation(0, -4);
  page3->AddRuledLine(600, 16, 1, 0);
  for (const char* name : {"/c.gif", "/d.bmp"}) {
    CNBKImageBlock* b = page3->CreateImageBlock(NBK_IMAGE_BLOCK_KIND);
    b->GetImageObject()->CreateImageStream(W(dir + name));
    page3->AddBlock(b->GetBlockObject());
  }
  CNBKTextBlock* empty = page3->CreateTextBlock(0, 0);
  empty->GetTextObject()->ChangeAtr(0x0001, 100);
  empty->GetTextObject()->Write();
  page3->AddBlock(empty->GetBlockObject());
  book.AddPage(page3);
  book.CreatePage(NBK_PAGE_KIND);  // created, never added: not in the book

  ASSERT_EQ(book.OutputAll(), 0);
  ASSERT_EQ(book.Close(), 0);
}

int AppendPage(const std::string& path, const std::u16string& text) {
  return AppendPage(path, text, text);
}

int AppendPage(const std::string& path, const std::u16string& text, const std::u16string& title) {
  CNBKBook book;
  book.SetScrambleKey(0x0D3B);
  book.SetNBKFileName(W(path));
  if (int rc = book.Open(W(path).c_str(), NBK_OPEN_APPEND); rc != 0) return rc;
  CNBKTocObject* toc = book.CreateToc();
  CNBKPageObject* page = book.CreatePage(NBK_PAGE_KIND);
  toc->AddEntry(title, page, nullptr);
  CNBKTextBlock* block = page->CreateTextBlock(0, 0);
  block->SetStyle(83, 100);
  block->GetTextObject()->AddText(text);
  block->GetTextObject()->Write();
  page->AddBlock(block->GetBlockObject());
  book.AddPage(page);
  int rc = book.OutputAll();
  book.Close();
  return rc;
}

std::string Dump(const std::string& path, bool json) {
  std::string error;
  std::optional<nbk::Book> book = nbk::ReadBook(path, error);
  if (!book) return "error: " + error;
  return json ? nbk::DumpJson(*book) : nbk::DumpText(*book);
}

void ExpectGolden(const std::string& name, const std::string& text) {
  const std::string path = std::string(NBK_TEST_DATA_DIR) + "/" + name;
  const char* rebaseline = std::getenv("NBK_REBASELINE");
  if (rebaseline && std::string(rebaseline) == "1") {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "missing golden file " << path << " (run with NBK_REBASELINE=1 to make it)";
  std::stringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(expected.str(), text)
      << "golden file " << path << " differs; if the change is meant, rerun with NBK_REBASELINE=1";
}

}  // namespace nbktest
