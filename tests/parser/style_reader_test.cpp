// The style stack: what is read from a computed style, and the attribute calls it makes.
#include <gtest/gtest.h>

#include "contracts/NBKCreator.h"
#include "parser/style/StyleReader.h"
#include "tests/parser/FakeDom.h"
#include "tests/parser/RecordingWriter.h"

namespace {

using fakedom::Styled;
using Calls = std::vector<std::string>;

class StyleReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    recording::Reset();
    page_ = book_.CreatePage(77);
    text_ = page_->CreateTextBlock(0, 0)->GetTextObject();
    recording::Reset();
  }
  CNBKBook book_;
  CNBKPageObject* page_ = nullptr;
  CNBKTextObject* text_ = nullptr;
  CStyleReader reader_;
};

// the old code kept one base that every size beginning with a number replaced for good, so sizes
// compounded (H1, H2, H3 at 200, 300, 351). Now a relative size is taken against the
// enclosing record, and the base comes back when the element ends.
TEST_F(StyleReaderTest, RelativeSizesFollowTheEnclosingElement) {
  struct Step {
    const char* fontSize;  // pushed on top of what is open
    WORD size;
  };
  for (const Step& s : {Step{"12pt", 90}, Step{"2em", 200}, Step{"small", 90}, Step{"150%", 150},
                        Step{"0", 100}, Step{"larger", 120}}) {
    reader_.PushStyle(Styled({{"font-size", s.fontSize}}));
    EXPECT_EQ(reader_.GetTopStyle()->m_nFontSize, s.size) << s.fontSize;
    reader_.PopStyle();
  }
  // Nested: each size against the one around it; a pop brings the earlier base back.
  reader_.PushStyle(Styled({{"font-size", "90%"}}));
  EXPECT_EQ(reader_.GetTopStyle()->m_nFontSize, 90);
  reader_.PushStyle(Styled({{"font-size", "2em"}}));
  EXPECT_EQ(reader_.GetTopStyle()->m_nFontSize, 180);
  reader_.PopStyle();
  reader_.PushStyle(Styled({{"font-size", "150%"}}));
  EXPECT_EQ(reader_.GetTopStyle()->m_nFontSize, 135);
  reader_.PushStyle(Styled({{"font-size", "smaller"}}));
  EXPECT_EQ(reader_.GetTopStyle()->m_nFontSize, 112);
  EXPECT_EQ(reader_.BaseFontSize(), 100);
}

TEST_F(StyleReaderTest, LineHeightIsRelativeToTheOwnSize) {
  reader_.PushStyle(Styled({{"font-size", "medium"}}));
  reader_.PushStyle(Styled({{"font-size", "2em"}, {"line-height", "150%"}}));
  EXPECT_EQ(reader_.GetTopStyle()->m_nLineHeight, 300);
  reader_.PushStyle(Styled({{"font-size", "50%"}, {"line-height", "normal"}}));
  EXPECT_EQ(reader_.GetTopStyle()->m_nLineHeight, 155);
}

TEST_F(StyleReaderTest, ReadsEachProperty) {
  struct Case {
    fakedom::Props props;
    WORD fontSize, lineHeight, align, marginBottom;
    DWORD text;
    BOOL bold;
  };
  const Case cases[] = {
      {{{"font-size", "medium"}, {"line-height", "normal"}}, 100, 155, 1, 0, 0, 0},
      {{{"font-size", "small"}, {"line-height", "normal"}}, 90, 140, 1, 0, 0, 0},
      {{{"line-height", "normal"}}, 0, 5, 1, 0, 0, 0},
      {{{"line-height", "1.5em"}}, 0, 150, 1, 0, 0, 0},
      {{{"text-align", "justify"}}, 0, 0, 1, 0, 0, 0},
      {{{"text-align", "center"}}, 0, 0, 4, 0, 0, 0},
      {{{"text-align", "right"}}, 0, 0, 8, 0, 0, 0},
      {{{"margin-bottom", "16px"}}, 0, 0, 1, 16, 0, 0},
      {{{"color", "#ff0000"}}, 0, 0, 1, 0, 0xFF0000, 0},
      {{{"color", "int:0x00ff00"}}, 0, 0, 1, 0, 0x00FF00, 0},
      {{{"font-weight", "600"}}, 0, 0, 1, 0, 0, 1},
      {{{"font-weight", "bolder"}}, 0, 0, 1, 0, 0, 1},
      {{{"font-weight", "lighter"}}, 0, 0, 1, 0, 0, 0},
      {{{"font-weight", "int:700"}}, 0, 0, 1, 0, 0, 1},
      {{{"font-weight", "400"}}, 0, 0, 1, 0, 0, 0},
  };
  for (const Case& c : cases) {
    CStyleReader reader;
    reader.PushStyle(Styled(c.props));
    const CTextStyle* s = reader.GetTopStyle();
    std::string what = c.props.begin()->first + "=" + c.props.begin()->second;
    EXPECT_EQ(s->m_nFontSize, c.fontSize) << what;
    EXPECT_EQ(s->m_nLineHeight, c.lineHeight) << what;
    EXPECT_EQ(s->m_nAlign, c.align) << what;
    EXPECT_EQ(s->m_nMarginBottom, c.marginBottom) << what;
    EXPECT_EQ(s->m_crText, c.text) << what;
    EXPECT_EQ(s->m_bBold, c.bold) << what;
  }
}

TEST_F(StyleReaderTest, Backgrounds) {
  // An integer 0 is skipped like a missing value.
  reader_.PushStyle(Styled({{"background-color", "int:0"}}));
  EXPECT_EQ(reader_.GetTopStyle()->m_bBlockBackSet, 0);
  reader_.PopStyle();

  // "transparent" on the first element: no colour, both set.
  reader_.PushStyle(Styled({{"background-color", "transparent"}}));
  EXPECT_EQ(reader_.GetTopStyle()->m_crBlockBack, kNoColor);
  EXPECT_EQ(reader_.GetTopStyle()->m_bTextBackSet, 1);
  reader_.PopStyle();

  // Under an element with its own background the block background is inherited, the text
  // background stays unset, so no text-background command goes out.
  reader_.PushStyle(Styled({{"background-color", "yellow"}}));
  reader_.PushStyle(Styled({{"background-color", "transparent"}}));
  const CTextStyle* top = reader_.GetTopStyle();
  EXPECT_EQ(top->m_crBlockBack, 0xFFFF00u);
  EXPECT_EQ(top->m_bBlockBackSet, 1);
  EXPECT_EQ(top->m_bTextBackSet, 0);
  EXPECT_EQ(top->m_crTextBack, kNoColor);
  EXPECT_EQ(reader_.EmitStyleChanges(text_), 0);
  EXPECT_TRUE(recording::Calls().empty());
}

TEST_F(StyleReaderTest, ChangesAreSentAndRestoredInReverse) {
  reader_.PushStyle(Styled({{"font-size", "medium"}, {"color", "black"}}));
  reader_.PushStyle(
      Styled({{"font-size", "large"}, {"color", "#123456"}, {"font-weight", "bold"}}));
  EXPECT_EQ(reader_.EmitStyleChanges(text_), 0);
  EXPECT_EQ(reader_.RestoreEnclosingStyle(text_), 0);
  EXPECT_EQ(reader_.RestoreEnclosingStyle(text_), 0);  // nothing left to switch back
  EXPECT_EQ(recording::Calls(),
            (Calls{"T3.AddCommand(F511:006E)", "T3.AddCommand(F515:02BC)",
                   "T3.AddCommand(F517:1200 5634)", "T3.AddCommand(F517:0000 0000)",
                   "T3.AddCommand(F515:0190)", "T3.AddCommand(F511:0064)"}));
}

TEST_F(StyleReaderTest, SameStyleSendsNothing) {
  reader_.PushStyle(Styled({{"font-size", "medium"}, {"font-weight", "bold"}}));
  reader_.PushStyle(Styled({{"font-size", "medium"}, {"font-weight", "700"}}));
  EXPECT_FALSE(reader_.HasStyleChanges());
  reader_.EmitStyleChanges(text_);
  reader_.RestoreEnclosingStyle(text_);
  EXPECT_TRUE(recording::Calls().empty());
}

TEST_F(StyleReaderTest, NeedsTwoRecordsAndAText) {
  EXPECT_EQ(reader_.GetTopStyle(), nullptr);
  reader_.PopStyle();  // harmless on an empty stack
  EXPECT_EQ(reader_.ApplyTopStyle(text_), -1);
  reader_.PushStyle(Styled({{"font-size", "large"}}));
  EXPECT_EQ(reader_.EmitStyleChanges(text_), -1);
  EXPECT_EQ(reader_.RestoreEnclosingStyle(text_), -1);
  EXPECT_EQ(reader_.ApplyEnclosingStyle(text_), -1);
  reader_.PushStyle(Styled({{"font-size", "small"}}));
  EXPECT_EQ(reader_.EmitStyleChanges(nullptr), -2);
  EXPECT_EQ(reader_.ApplyTopStyle(nullptr), -1);
  EXPECT_TRUE(recording::Calls().empty());
}

TEST_F(StyleReaderTest, WholeStyles) {
  reader_.PushStyle(Styled({{"font-size", "large"}, {"background-color", "#010203"}}));
  reader_.PushStyle(Styled({{"font-size", "small"},
                            {"font-weight", "bold"},
                            {"line-height", "normal"},
                            {"text-align", "center"},
                            {"color", "#00ff00"},
                            {"background-color", "#0000ff"}}));
  reader_.ApplyTopStyle(text_);
  reader_.ApplyEnclosingStyle(text_);
  // Colours go as their bytes in memory order: 0x00RRGGBB as 0xBBGGRR00.
  EXPECT_EQ(recording::Calls(),
            // The weight goes with the rest: a heading's text is bold.
            (Calls{"T3.ChangeAtr(F511,5A)", "T3.ChangeAtr(F51B,8C)", "T3.ChangeAtr(F53C,4)",
                   "T3.ChangeAtr(F517,FF0000)", "T3.ChangeAtr(F515,2BC)",
                   "B4.ChangeAtr(F534,FF000000)", "T3.ChangeAtr(F511,6E)", "T3.ChangeAtr(F51B,0)",
                   "T3.ChangeAtr(F53C,1)", "T3.ChangeAtr(F517,0)", "T3.ChangeAtr(F515,190)"}));
}

TEST(PackColorTest, BytesInMemoryOrder) {
  EXPECT_EQ(PackColor(0x00123456), 0x56341200u);
  EXPECT_EQ(PackColor(kNoColor), 0x000000FFu);
}

// The changed tags are a stack past the few it holds in place: pushes and pops in any mix give
// the tags back last first, as a vector would.
TEST(TagListTest, PopsInReverseAcrossTheInlinePart) {
  const std::vector<int> scripts[] = {
      {5, -5}, {8, -3, 4, -9}, {12, -12}, {9, -2, 3, -1, 6, -15}, {20, -4, 1, -17}};
  for (const auto& script : scripts) {
    CTagList list;
    std::vector<WORD> model;
    WORD next = 0xF500;
    for (int step : script) {
      for (int i = 0; i < step; ++i) {
        list.push_back(next);
        model.push_back(next++);
      }
      for (int i = 0; i < -step; ++i) {
        ASSERT_FALSE(list.empty());
        EXPECT_EQ(list.back(), model.back());
        list.pop_back();
        model.pop_back();
      }
      EXPECT_EQ(list.empty(), model.empty());
    }
  }
}

}  // namespace
