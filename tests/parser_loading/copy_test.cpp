// The cache copy with its charset sniffing, chunk by chunk, and the decoding of all five
// encodings, checked on the characters that come out.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "parser/loading/Loading.h"
#include "platform/com/com.h"
#include "platform/win32/mfc/afx.h"
#include "platform/win32/ui/automation.h"
#include "platform/win32/ui/defs.h"
#include "tests/parser_loading/iconv_text.h"

namespace fs = std::filesystem;

namespace {

using platform::com::Utf8ToUtf16;

// Hands out its chunks one per Read, then ends or throws as a broken file would.
class ChunkSource : public CStdioFile {
 public:
  ChunkSource(std::vector<std::string> chunks, bool failAtEnd = false)
      : chunks_(std::move(chunks)), failAtEnd_(failAtEnd) {}
  UINT Read(void* buffer, UINT count) override {
    if (next_ == chunks_.size()) {
      if (failAtEnd_) throw new CFileException(CFileException::hardIO);
      return 0;
    }
    const std::string& c = chunks_[next_++];
    EXPECT_LE(c.size(), count);
    std::memcpy(buffer, c.data(), c.size());
    return static_cast<UINT>(c.size());
  }

 private:
  std::vector<std::string> chunks_;
  std::size_t next_ = 0;
  bool failAtEnd_;
};

class CopyToCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = fs::temp_directory_path() / ("nb-copy-" + std::to_string(::getpid()) + ".tmp");
    std::u16string wide = path_.u16string();
    ASSERT_TRUE(
        cache_.Open(wide.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary));
    platform::ui::ClearMessageBoxes();
    platform::ui::SetMessageBoxHandler([](const platform::ui::MessageBoxRecord&) { return 1; });
  }
  void TearDown() override {
    cache_.Close();
    fs::remove(path_);
    ::unsetenv("NUBRA_PAGE_MAX_BYTES");
  }
  std::string CacheBytes() {
    std::string bytes(cache_.GetLength(), '\0');
    cache_.SeekToBegin();
    bytes.resize(cache_.Read(bytes.data(), static_cast<UINT>(bytes.size())));
    return bytes;
  }

  fs::path path_;
  CFile cache_;
};

TEST_F(CopyToCacheTest, SniffsChunkByChunk) {
  const std::string meta = R"(<meta http-equiv="Content-Type" content="text/html; charset=)";
  struct Case {
    const char* name;
    int startCode;
    std::vector<std::string> chunks;
    int code;
  } cases[] = {
      {"first chunk", 0, {meta + "EUC-JP\">", "<p>x</p>"}, 2},
      {"second chunk", 0, {"<html><head>", meta + "Shift_JIS\">"}, 1},
      {"split name", 0, {meta + "EUC", "-JP\">"}, 0},
      {"only the first code is kept", 0, {meta + "EUC-JP\">", R"(<meta charset="utf-8">)"}, 2},
      {"a code of 0 leaves later chunks searched",
       0,
       {meta + "ISO-8859-1\">", R"(<meta charset="utf-8">)"},
       17},
      {"a header code stops the search", 1, {R"(<meta charset="utf-8">)"}, 1},
      {"nothing declared", 0, {"<p>plain</p>"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cache_.SetLength(0);
    cache_.SeekToBegin();
    ChunkSource source(c.chunks);
    int code = c.startCode;
    EXPECT_EQ(CopyToCache(cache_, &source, code), 0);
    EXPECT_EQ(code, c.code);
    std::string all;
    for (const std::string& chunk : c.chunks) all += chunk;
    EXPECT_EQ(CacheBytes(), all);
  }
  EXPECT_TRUE(platform::ui::MessageBoxes().empty());
}

TEST_F(CopyToCacheTest, FailuresAreReported) {
  int code = 0;
  EXPECT_EQ(CopyToCache(cache_, nullptr, code), -1);
  EXPECT_TRUE(platform::ui::MessageBoxes().empty());

  ChunkSource broken({"<p>part of a page"}, /*failAtEnd=*/true);
  EXPECT_EQ(CopyToCache(cache_, &broken, code), -1);
  ASSERT_EQ(platform::ui::MessageBoxes().size(), 1u);
  EXPECT_EQ(platform::ui::MessageBoxes()[0].text, u"Failed");
  EXPECT_EQ(platform::ui::MessageBoxes()[0].type, MB_OK);

  ::setenv("NUBRA_PAGE_MAX_BYTES", "100", 1);
  ChunkSource big({std::string(60, 'a'), std::string(60, 'b')});
  EXPECT_EQ(CopyToCache(cache_, &big, code), -1);
  ASSERT_EQ(platform::ui::MessageBoxes().size(), 2u);
  EXPECT_NE(platform::ui::MessageBoxes()[1].text.find(u"larger than 100 bytes"),
            std::u16string::npos);
}

TEST(DecodePage, FiveEncodingsGiveTheSameCharacters) {
  ::unsetenv("NUBRA_ACP");  // the system ANSI code page is 932
  const std::string text = "<p>日本語「電子書籍」ｶﾀｶﾅ ひらがな ~/user/ \\ ABC</p>";
  struct Case {
    const char* iconvName;
    CharsetCode code;
  } cases[] = {
      {"CP932", kCharsetShiftJis},  {"CP932", kCharsetUnknown},    {"EUC-JP", kCharsetEucJp},
      {"ISO-2022-JP", kCharsetJis}, {"UTF-16LE", kCharsetUnicode}, {"UTF-8", kCharsetUtf8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.iconvName);
    // ISO-2022-JP has no half-width katakana; iconv writes them full-width.
    std::string source = text;
    std::string expected = text;
    if (c.code == kCharsetJis) {
      source = "<p>日本語「電子書籍」カタカナ ひらがな ~/user/ \\ ABC</p>";
      expected = source;
    }
    EXPECT_EQ(DecodePage(nbtest::Encode(source, c.iconvName), c.code), Utf8ToUtf16(expected));
  }
}

// A UTF-16 page whose charset cannot be read from its bytes decoded to "<" and gave an empty
// book; its zero bytes tell it.
TEST(DecodePage, Utf16WithoutAByteOrderMarkIsRecognised) {
  const std::string page = "<html><body><p>UTF-16 日本語</p></body></html>";
  for (const char* name : {"UTF-16LE", "UTF-16BE"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(DecodePage(nbtest::Encode(page, name), kCharsetUnknown), Utf8ToUtf16(page));
    EXPECT_EQ(DecodePage(nbtest::Encode(page, name), kCharsetShiftJis), Utf8ToUtf16(page));
  }
  // Text with a few zero bytes is no UTF-16.
  EXPECT_EQ(DecodePage(std::string("abcdefgh\0ijklmnop", 17), kCharsetShiftJis), u"abcdefgh");
}

TEST(DecodePage, ZeroEndsTheTextAndUtf8LosesLineFeeds) {
  EXPECT_EQ(DecodePage(std::string("ab\0cd", 5), kCharsetShiftJis), u"ab");
  EXPECT_EQ(DecodePage(std::string("a\0b\0\0\0c\0", 8), kCharsetUnicode), u"ab");
  EXPECT_EQ(DecodePage(std::string("a\0b", 3), kCharsetUnicode), u"ab");  // odd length
  EXPECT_EQ(DecodePage("one\ntwo\r\n", kCharsetUtf8), u"onetwo\r");
  EXPECT_EQ(DecodePage("one\ntwo", kCharsetShiftJis), u"one\ntwo");
  EXPECT_EQ(DecodePage("", kCharsetEucJp), u"");
}

}  // namespace
