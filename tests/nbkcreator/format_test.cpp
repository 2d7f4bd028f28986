// The format's building blocks and design files.
#include "nbkcreator/format.h"

#include <fstream>
#include <sstream>

#include "nbkcreator/codec.h"
#include "nbkcreator/design.h"
#include "nbkcreator/reader.h"
#include "tests/nbkcreator/support.h"

namespace nbktest {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

TEST(FormatTest, ChecksumsMatchTheirPublishedCheckValues) {
  auto check = Bytes("123456789");
  EXPECT_EQ(nbk::Crc32(check.data(), check.size()), 0xCBF43926u);
  // Continuing a CRC over a split gives the CRC of the whole (the reader checks in pieces).
  EXPECT_EQ(nbk::Crc32(check.data() + 4, 5, nbk::Crc32(check.data(), 4)), 0xCBF43926u);
  EXPECT_EQ(nbk::Crc32(nullptr, 0), 0u);
  auto a = Bytes("a");
  EXPECT_EQ(nbk::Fnv1a64(a.data(), a.size()), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(nbk::Fnv1a64(nullptr, 0), 0xcbf29ce484222325ull);
}

// The table-driven checksum against the bit-at-a-time definition, at every length and offset
// around the steps it takes (16, 8 and single bytes), whole and continued in two parts.
TEST(FormatTest, Crc32AgreesWithTheBitwiseDefinition) {
  auto bitwise = [](const std::uint8_t* p, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
      c ^= p[i];
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
  };
  std::vector<std::uint8_t> bytes(200);
  std::uint32_t x = 12345;
  for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  for (std::size_t offset : {0u, 1u, 3u, 7u}) {
    for (std::size_t n = 0; n + offset <= 140; ++n) {
      SCOPED_TRACE(testing::Message() << "offset " << offset << " length " << n);
      const std::uint8_t* p = bytes.data() + offset;
      EXPECT_EQ(nbk::Crc32(p, n), bitwise(p, n));
      EXPECT_EQ(nbk::Crc32(p + n / 3, n - n / 3, nbk::Crc32(p, n / 3)), bitwise(p, n));
    }
  }
}

TEST(FormatTest, ScrambleIsItsOwnInverseAndHidesText) {
  for (std::uint16_t key : {0x0001, 0x0D3B, 0xFFFF}) {
    for (std::size_t size : {1u, 7u, 4096u}) {
      SCOPED_TRACE(testing::Message() << "key " << key << " size " << size);
      std::vector<std::uint8_t> plain(size, 'a');
      std::vector<std::uint8_t> data = plain;
      nbk::Scramble(data.data(), data.size(), key);
      EXPECT_NE(data, plain);
      nbk::Scramble(data.data(), data.size(), key);
      EXPECT_EQ(data, plain);
    }
  }
  std::vector<std::uint8_t> a(64, 0), b(64, 0);
  nbk::Scramble(a.data(), a.size(), 1);
  nbk::Scramble(b.data(), b.size(), 2);
  EXPECT_NE(a, b) << "the key matters";
}

// Stored books hold text scrambled with this exact stream: the bytes must stay what the
// sequence gives, across its period and when keys alternate.
TEST(FormatTest, ScrambleXorsTheSequenceOfItsKey) {
  auto reference = [](std::size_t size, std::uint16_t key) {
    std::vector<std::uint8_t> out(size);
    std::uint16_t state = key;
    for (std::uint8_t& b : out) {
      state = static_cast<std::uint16_t>(state * 0x6255u + 0x3619u);
      b = static_cast<std::uint8_t>(state >> 8);
    }
    return out;
  };
  struct Case {
    std::uint16_t key;
    std::size_t size;
  } cases[] = {{0x0000, 1},     {0x0D3B, 300},    {0xFFFF, 65535},
               {0x0D3B, 65536}, {0x1234, 200000}, {0x0D3B, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << c.key << " size " << c.size);
    std::vector<std::uint8_t> data(c.size, 0);
    nbk::Scramble(data.data(), data.size(), c.key);
    EXPECT_EQ(data, reference(c.size, c.key));
  }
}

// The reader behind nbclip's summary counts text instead of decoding it; it must accept and
// refuse exactly what decoding does, with the same message, at every length of a stream and
// of a page.
TEST(FormatTest, CountingTextChecksStreamsAndPagesAsDecodingDoes) {
  nbk::StreamBuilder b;
  const std::uint16_t words[] = {7, 8, 9};
  b.Text(u"first");
  b.Command(0xF511, words, 3);
  b.Attr(0xF517, 0x112233);
  b.ButtonStart(4);
  b.Text(u"");
  b.Text(u"second piece");
  b.ButtonEnd();
  b.Image(1, 2, 3, 4);
  b.Write();
  const std::vector<std::uint8_t> good = b.Bytes();
  std::vector<std::vector<std::uint8_t>> streams;
  for (std::size_t n = 0; n <= good.size(); ++n)
    streams.emplace_back(good.begin(), good.begin() + n);
  streams.push_back({9});                                  // an unknown operation
  streams.push_back({1, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0});  // text longer than the stream
  streams.push_back({2, 0x11, 0xF5, 0xFF, 0x7F, 1, 0});    // a command longer than the stream
  for (const auto& stream : streams) {
    SCOPED_TRACE(testing::Message() << "stream of " << stream.size() << " bytes, first "
                                    << (stream.empty() ? -1 : stream[0]));
    std::vector<nbk::TextItem> items;
    std::string decodeError, countError;
    bool decoded = nbk::DecodeStream(stream, items, decodeError);
    std::size_t units = 0;
    bool counted = nbk::CountStreamText(stream, units, countError);
    ASSERT_EQ(decoded, counted);
    EXPECT_EQ(decodeError, countError);
    std::size_t expected = 0;
    for (const auto& item : items) {
      if (item.op == nbk::StreamOp::kText) expected += item.text.size();
    }
    if (decoded) {
      EXPECT_EQ(expected, units);
    }
  }

  nbk::Page page;
  page.id = 5;
  page.scrambleKey = 0x0D3B;
  nbk::TextBlock text;
  text.blockAttrs = {{0xF534, 0x445566}};
  text.stream = good;
  page.items.emplace_back(text);
  page.items.emplace_back(nbk::Location{1, 2});
  page.items.emplace_back(text);
  const std::vector<std::uint8_t> payload = nbk::EncodePage(page);
  for (std::size_t n = 0; n <= payload.size(); ++n) {
    SCOPED_TRACE(testing::Message() << "page of " << n << " bytes");
    std::span<const std::uint8_t> part(payload.data(), n);
    nbk::Page decoded, outline;
    std::string decodeError, countError;
    std::size_t units = 0;
    bool ok = nbk::DecodePage(part, decoded, decodeError);
    ASSERT_EQ(ok, nbk::DecodePage(part, outline, countError, &units));
    EXPECT_EQ(decodeError, countError);
    if (!ok) continue;
    ASSERT_EQ(decoded.items.size(), outline.items.size());
    std::size_t expected = 0;
    for (std::size_t i = 0; i < decoded.items.size(); ++i) {
      EXPECT_EQ(decoded.items[i].index(), outline.items[i].index());
      if (const auto* t = std::get_if<nbk::TextBlock>(&decoded.items[i])) {
        const auto& o = std::get<nbk::TextBlock>(outline.items[i]);
        EXPECT_EQ(t->blockAttrs.size(), o.blockAttrs.size());
        EXPECT_TRUE(o.items.empty() && o.stream.empty());
        for (const auto& item : t->items) {
          if (item.op == nbk::StreamOp::kText) expected += item.text.size();
        }
      }
    }
    EXPECT_EQ(expected, units);
    if (n == payload.size()) {
      EXPECT_EQ(2 * 17u, units);  // "first" and "second piece", twice
    }
  }
}

class ScrambleFileTest : public ScratchTest {};

TEST_F(ScrambleFileTest, TextIsStoredScrambledAndReadBackPlain) {
  const std::u16string text = u"Plainly visible words";
  const std::string utf16le(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  for (std::uint16_t key : {0, 0x0D3B}) {
    SCOPED_TRACE(key);
    {
      CNBKBook book;
      book.SetScrambleKey(key);
      book.SetNBKFileName(WPath("s.nbk"));
      ASSERT_EQ(book.Open(nullptr, NBK_OPEN_NEW), 0);
      CNBKPageObject* page = book.CreatePage(NBK_PAGE_KIND);
      CNBKTextBlock* block = page->CreateTextBlock(0, 0);
      block->GetTextObject()->AddText(text);
      block->GetTextObject()->Write();
      page->AddBlock(block->GetBlockObject());
      book.AddPage(page);
      ASSERT_EQ(book.OutputAll(), 0);
    }
    auto raw = ReadFile(Path("s.nbk"));
    bool plainInFile = std::string(raw.begin(), raw.end()).find(utf16le) != std::string::npos;
    EXPECT_EQ(plainInFile, key == 0);
    EXPECT_NE(Dump(Path("s.nbk")).find("text \"Plainly visible words\""), std::string::npos);
  }
}

struct DesignSourceCase {
  const char* name;
  std::string text;
  bool ok;
};

class DesignSourceTest : public ::testing::TestWithParam<DesignSourceCase> {};

const char kGoodDesign[] =
    "name = Test\npage-width = 600\npage-height = 800\nmargin-top = 1\nmargin-right = 2\n"
    "margin-bottom = 3\nmargin-left = 4\nfont-size = 100\ntext-colour = 0\n"
    "background-colour = 0xFFFFFF\n";

TEST_P(DesignSourceTest, ParsesOnlyCompleteSaneDescriptions) {
  nbk::Design design;
  std::string error;
  EXPECT_EQ(nbk::ParseDesignSource(GetParam().text, design, error), GetParam().ok) << error;
  if (!GetParam().ok) {
    EXPECT_FALSE(error.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, DesignSourceTest,
    ::testing::Values(
        DesignSourceCase{"Complete", kGoodDesign, true},
        DesignSourceCase{"CommentsAndBlankLines", std::string("# c\n\n") + kGoodDesign + "  # x\n",
                         true},
        DesignSourceCase{"MissingKey", "name = x\npage-width = 600\n", false},
        DesignSourceCase{"DuplicateKey", std::string(kGoodDesign) + "font-size = 90\n", false},
        DesignSourceCase{"UnknownKey", std::string(kGoodDesign) + "colour = 1\n", false},
        DesignSourceCase{
            "BadNumber",
            std::string(kGoodDesign).replace(std::string(kGoodDesign).find("600"), 3, "6x0"),
            false},
        DesignSourceCase{"NoEquals", std::string(kGoodDesign) + "oops\n", false},
        DesignSourceCase{
            "MarginsWiderThanPage",
            std::string(kGoodDesign).replace(std::string(kGoodDesign).find("4\n"), 1, "600"),
            false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DesignFileTest, StandardDesignIsGeneratedFromItsSource) {
  nbk::Design design;
  std::string error;
  ASSERT_TRUE(nbk::ReadDesign(NBK_STANDARD_DESIGN, design, error)) << error;
  std::ifstream in(std::string(NBK_TEST_DATA_DIR) + "/../../../nbkcreator/designs/standard.design");
  std::stringstream text;
  text << in.rdbuf();
  nbk::Design source;
  ASSERT_TRUE(nbk::ParseDesignSource(text.str(), source, error)) << error;
  EXPECT_EQ(nbk::EncodeDesign(design), nbk::EncodeDesign(source));
}

class SetDesignFileTest : public ScratchTest {};

TEST_F(SetDesignFileTest, AcceptsOnlyFilesWithASaneDesign) {
  nbk::Design insane;
  insane.pageWidth = 0;
  insane.pageHeight = 800;
  insane.fontSize = 100;
  std::string error;
  ASSERT_TRUE(nbk::WriteDesignFile(Path("insane.nbk"), insane, error));
  WriteFile(Path("text.nbk"), Bytes("not a design"));
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  ASSERT_EQ(AppendPage(Path("plain.nbk"), u"no design in this one"), 0);
  auto good = ReadFile(NBK_STANDARD_DESIGN);
  auto damaged = good;
  damaged[40] ^= 1;
  WriteFile(Path("damaged.nbk"), damaged);

  const struct {
    const char* file;
    bool ok;
  } cases[] = {{"missing.nbk", false}, {"text.nbk", false},    {"insane.nbk", false},
               {"plain.nbk", false},   {"damaged.nbk", false}, {"book.nbk", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    CNBKBook book;
    int rc = book.SetDesignFile(WPath(c.file));
    if (c.ok) {
      EXPECT_EQ(rc, 0);
    } else {
      EXPECT_LT(rc, 0);
    }
  }
  CNBKBook book;
  EXPECT_EQ(book.SetDesignFile(W(NBK_STANDARD_DESIGN)), 0);
  EXPECT_LT(book.SetDesignFile(u""), 0);
}

TEST_F(SetDesignFileTest, BackslashPathsReachTheFile) {
  std::string path = std::string(NBK_STANDARD_DESIGN);
  std::u16string windowsStyle;
  for (char16_t c : W(path)) windowsStyle += c == u'/' ? u'\\' : c;
  CNBKBook book;
  EXPECT_EQ(book.SetDesignFile(windowsStyle), 0);
}

}  // namespace
}  // namespace nbktest
