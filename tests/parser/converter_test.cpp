// HTML in, writer calls out: the layout rules of the element handlers, the walker's markers,
// text runs, internal links and the document entry.
#include <gtest/gtest.h>
#include <pthread.h>

#include "parser/engine/LinkAnchor.h"
#include "tests/parser/ConverterFixture.h"

namespace testing_parser {
namespace {

struct LayoutCase {
  const char* name;
  std::vector<fakedom::Item> body;
  Calls expected;
  Markers markers = {};
};

class LayoutTest : public ConverterTest, public testing::WithParamInterface<LayoutCase> {};

TEST_P(LayoutTest, WriterCalls) {
  SetMarkers(GetParam().markers);
  ASSERT_EQ(Convert({.body = GetParam().body}), 0);
  EXPECT_EQ(Layout(), GetParam().expected);
}

const fakedom::Props kBold = {{"font-weight", "bold"}};

INSTANTIATE_TEST_SUITE_P(
    Handlers, LayoutTest,
    testing::Values(
        LayoutCase{"TwoParagraphs",
                   {El("P", {"one"}), El("P", {"two"})},
                   {"T3.AddText(one)", "T3.Write()", "P1.AddBlock(B4)", "T6.AddText(two)",
                    "T6.Write()", "P1.AddBlock(B7)"}},
        LayoutCase{"InlineBoldBetweenTexts",
                   {El("P", {"A", El("B", kBold, {"B"}), "C"})},
                   {"T3.AddText(A)", "T3.AddCommand(F515:02BC)", "T3.AddText(B)",
                    "T3.AddCommand(F515:0190)", "T3.AddText(C)", "T3.Write()", "P1.AddBlock(B4)"}},
        LayoutCase{"BlankBoldSendsNoAttributes",
                   {El("P", {"x", El("B", kBold, {" "}), "y"})},
                   // The blank still stands between the two words.
                   {"T3.AddText(x)", "T3.AddText( y)", "T3.Write()", "P1.AddBlock(B4)"}},
        LayoutCase{"BlankBetweenTwoInlineElements",
                   {El("P", {El("CODE", {"a"}), " ", El("CODE", {"b"}), "  "})},
                   {"T3.AddText(a)", "T3.AddText( b)", "T3.Write()", "P1.AddBlock(B4)"}},
        LayoutCase{"NoBlankAtTheStartOrEndOfABlock",
                   {El("P", {" ", El("B", {" a "}), " "})},
                   {"T3.AddText(a)", "T3.Write()", "P1.AddBlock(B4)"}},
        LayoutCase{"NestedBlockSplitsTheEnclosingOne",
                   {El("DIV", {"a", El("P", {"b"}), "c"})},
                   // c gets a block of the DIV's own after the P's.
                   {"T3.AddText(a)", "T3.Write()", "P1.AddBlock(B4)", "T6.AddText(b)", "T6.Write()",
                    "P1.AddBlock(B7)", "T9.AddText(c)", "T9.Write()", "P1.AddBlock(B10)"}},
        LayoutCase{"LooseTextBeforeABlockIsABlockInItsPlace",
                   {El("DIV", {El("P", {"a"}), "loose", El("P", {"b"})})},
                   {"T3.Write()", "T6.AddText(a)", "T6.Write()", "P1.AddBlock(B7)",
                    "T9.AddText(loose)", "T9.Write()", "P1.AddBlock(B10)", "T12.AddText(b)",
                    "T12.Write()", "P1.AddBlock(B13)"}},
        LayoutCase{"LooseTextBeforeARuleStaysBeforeIt",
                   {"loose", El("HR")},
                   {"T3.AddText(loose)", "T3.Write()", "P1.AddBlock(B4)",
                    "P1.AddRuledLine(600,16,2,0)", "T6.Write()"}},
        LayoutCase{"LineBreakWithoutBlockSendsNothing", {El("BR")}, {}},
        LayoutCase{"LineBreakInParagraph",
                   {El("P", {"a", El("BR"), "b"})},
                   {"T3.AddText(a)", "T3.AddCommand(F5D2)", "T3.AddText(b)", "T3.Write()",
                    "P1.AddBlock(B4)"}},
        LayoutCase{"Italic",
                   {El("P", {El("I", {"x"})})},
                   {"T3.AddCommand(F581)", "T3.AddText(x)", "T3.AddCommand(F582)", "T3.Write()",
                    "P1.AddBlock(B4)"}},
        LayoutCase{"TableRowCellsSeparatedByOneBlank",
                   {El("TABLE", {El("TR", {El("TD", {"a  "}), El("TD", {"b"})})})},
                   {"T3.Write()", "T3.AddText(a)", "T3.AddText( b)", "T3.Write()", "T3.Write()",
                    "P1.AddBlock(B4)"}},
        LayoutCase{"ListItemsAreBlocksWithBullets",
                   {El("UL", {El("LI", {"a"}), El("LI", {"b"})})},
                   // The list's own block holds nothing and is dropped.
                   {"T3.Write()", "T6.AddText(\u2022 a)", "T6.Write()", "P1.AddBlock(B7)",
                    "T9.AddText(\u2022 b)", "T9.Write()", "P1.AddBlock(B10)"}},
        LayoutCase{"OrderedItemsAreNumberedFromStartAndValue",
                   {El("OL", {{"start", "3"}},
                       {El("LI", {"a"}), El("LI", {{"value", "7"}}, {"b"}), El("LI", {"c"})})},
                   {"T3.Write()", "T6.AddText(3. a)", "T6.Write()", "P1.AddBlock(B7)",
                    "T9.AddText(7. b)", "T9.Write()", "P1.AddBlock(B10)", "T12.AddText(8. c)",
                    "T12.Write()", "P1.AddBlock(B13)"}},
        LayoutCase{
            "MarkerGoesWithTheFirstTextOfTheItem",
            {El("OL", {El("LI", {El("P", {"para"})})})},
            {"T3.Write()", "T6.Write()", "T9.AddText(1. para)", "T9.Write()", "P1.AddBlock(B10)"}},
        LayoutCase{"DefinitionListEntriesAreBlocks",
                   {El("DL", {El("DT", {"1.1. The shell prompt"}), El("DD", {"text"}),
                              El("DT", {"1.2. Under GUI"})})},
                   {"T3.Write()", "T6.AddText(1.1. The shell prompt)", "T6.Write()",
                    "P1.AddBlock(B7)", "T9.AddText(text)", "T9.Write()", "P1.AddBlock(B10)",
                    "T12.AddText(1.2. Under GUI)", "T12.Write()", "P1.AddBlock(B13)"}},
        LayoutCase{
            "SectioningElementsAreBlocks",
            {El("SECTION", {El("HEADER", {"h"}), El("ARTICLE", {"a"}), El("FOOTER", {"f"})})},
            {"T3.Write()", "T6.AddText(h)", "T6.Write()", "P1.AddBlock(B7)", "T9.AddText(a)",
             "T9.Write()", "P1.AddBlock(B10)", "T12.AddText(f)", "T12.Write()",
             "P1.AddBlock(B13)"}},
        LayoutCase{
            "PreKeepsBlanksTabsAndLineBreaks",
            {El("PRE", {{"white-space", "pre"}}, {"def fib(n):\n\ta, b = 0, 1\n  return"})},
            {"T3.AddText(def fib(n):)", "T3.AddCommand(F5D2)", "T3.AddText(\ta, b = 0, 1)",
             "T3.AddCommand(F5D2)", "T3.AddText(  return)", "T3.Write()", "P1.AddBlock(B4)"}},
        LayoutCase{"HiddenContentIsNotConverted",
                   {El("P", {"a", El("SPAN", {{"display", "none"}}, {"gone"}), "b"}),
                    El("NOSCRIPT", {El("P", {"frame"})}), El("TEMPLATE", {"t"})},
                   {"T3.AddText(ab)", "T3.Write()", "P1.AddBlock(B4)"}},
        LayoutCase{"RuleWithSizeAndDashedBorder",
                   {El("P", {"x"}), El("HR", {{"size", "5"}, {"border-style", "dashed"}}, {})},
                   // The block opened for the rule is written and dropped.
                   {"T3.AddText(x)", "T3.Write()", "P1.AddBlock(B4)", "P1.AddRuledLine(600,32,5,0)",
                    "T6.Write()"}},
        LayoutCase{"RuleDefaults", {El("HR")}, {"P1.AddRuledLine(600,16,2,0)", "T3.Write()"}},
        LayoutCase{
            "RuleStyles",
            {El("HR", {{"border-style", "dotted"}}, {}), El("HR", {{"border-style", "double"}}, {}),
             El("HR", {{"size", " +7px"}, {"border-style", "solid"}}, {})},
            {"P1.AddRuledLine(600,64,2,0)", "T3.Write()", "P1.AddRuledLine(600,48,2,0)",
             "T6.Write()", "P1.AddRuledLine(600,16,7,0)", "T9.Write()"}},
        LayoutCase{"UnknownTagsAreInline",
                   {El("CENTER", {"x", El("FONT", {"y"})})},
                   {"T3.AddText(x)", "T3.AddText(y)", "T3.Write()", "P1.AddBlock(B4)"}},
        LayoutCase{"Margins",
                   {El("P", {{"margin-top", "10px"}, {"margin-bottom", "20px"}}, {"x"})},
                   {"P1.SetLocation(0,10)", "T3.AddText(x)", "T3.Write()", "P1.AddBlock(B4)",
                    "P1.SetLocation(0,20)"}},
        LayoutCase{"NestedBlockTakesTheInnerBottomMargin",
                   {El("DIV", {{"margin-bottom", "5px"}},
                       {"a", El("P", {{"margin-bottom", "7px"}}, {"b"})})},
                   {"T3.AddText(a)", "T3.Write()", "P1.AddBlock(B4)", "P1.SetLocation(0,7)",
                    "T6.AddText(b)", "T6.Write()", "P1.AddBlock(B7)", "P1.SetLocation(0,7)"}},
        LayoutCase{
            "PageBreakAfterKeepsTheBlockOpen",
            {El("P", {{"page-break-after", "always"}, {"margin-bottom", "10px"}}, {El("B", {"x"})}),
             El("P", {{"margin-bottom", "20px"}}, {"y"})},
            // Closed at the next block's start, with that block's bottom margin.
            {"T3.AddText(x)", "T3.Write()", "P1.AddBlock(B4)", "P1.SetLocation(0,20)",
             "T6.AddText(y)", "T6.Write()", "P1.AddBlock(B7)", "P1.SetLocation(0,20)"}},
        LayoutCase{"EmptyBlockIsDropped",
                   {El("P"), El("P", {{"margin-bottom", "9px"}}, {})},
                   {"T3.Write()", "T6.Write()"}},
        LayoutCase{
            "Ruby",
            {El("P", {El("RUBY", {El("RB", {"漢"}), El("RP", {"("}), El("RT", {"かん"}),
                                  El("RP", {")"})})})},
            {"T3.AddCommand(F5A9)", "T3.AddCommand(F5AB)", "T3.AddText(漢)", "T3.AddCommand(F5AC)",
             "T3.AddCommand(F5AD)", "T3.AddText(かん)", "T3.AddCommand(F5AE)",
             "T3.AddCommand(F5AA)", "T3.Write()", "P1.AddBlock(B4)"}}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Markers, LayoutTest,
    testing::Values(
        LayoutCase{"StartMarkerSkipsWhatIsBefore",
                   {El("DIV", {"Intro", Comment("S"), El("P", {"Body"})})},
                   {"T3.AddText(Body)", "T3.Write()", "P1.AddBlock(B4)"},
                   {.start = u"S"}},
        LayoutCase{"ExceptRegionIsLeftOut",
                   {El("P", {"Keep", Comment("X"), "Drop", Comment("/X"), "More"})},
                   {"T3.AddText(Keep)", "T3.AddText(More)", "T3.Write()", "P1.AddBlock(B4)"},
                   {.exceptStart = u"X", .exceptEnd = u"/X"}},
        LayoutCase{"EndMarkerClosesTheBlockAndStops",
                   {El("P", {"Last", Comment("E"), "After"}), El("P", {"Later"})},
                   {"T3.AddText(Last)", "T3.Write()", "P1.AddBlock(B4)"},
                   {.end = u"E"}},
        LayoutCase{"MarkersMatchExactly",
                   {El("P", {"a"}), Comment("word"), El("P", {"b"}), Comment(" word "),
                    El("P", {"c"}), Comment(" WORD ")},
                   {"T3.AddText(c)", "T3.Write()", "P1.AddBlock(B4)"},
                   {.start = u" word "}},
        LayoutCase{"SameTextAsStartAndEndIsTheEnd",
                   {El("P", {"a", Comment("M"), "b"})},
                   {},
                   {.start = u"M", .end = u"M"}},
        LayoutCase{"EmptyCommentIsNoMarkerWhenNoneIsSet",
                   {El("P", {"a", Comment(""), "b"})},
                   {"T3.AddText(a)", "T3.AddText(b)", "T3.Write()", "P1.AddBlock(B4)"}},
        LayoutCase{"EmptyExceptMarkerLeavesNothingOut",
                   {El("P", {"a", Comment(""), "b"}), El("P", {"c"})},
                   {"T3.AddText(a)", "T3.AddText(b)", "T3.Write()", "P1.AddBlock(B4)",
                    "T6.AddText(c)", "T6.Write()", "P1.AddBlock(B7)"},
                   {.exceptEnd = u"/X"}},
        LayoutCase{"OtherCommentIsInline",
                   {El("P", {"a", Comment("note"), "b"})},
                   {"T3.AddText(a)", "T3.AddText(b)", "T3.Write()", "P1.AddBlock(B4)"}},
        LayoutCase{"StartAgainAfterEnd",
                   {Comment("S"), El("P", {"a"}), Comment("E"), El("P", {"b"}), Comment("S"),
                    El("P", {"c"})},
                   {"T3.AddText(a)", "T3.Write()", "P1.AddBlock(B4)", "T6.AddText(c)", "T6.Write()",
                    "P1.AddBlock(B7)"},
                   {.start = u"S", .end = u"E"}},
        LayoutCase{"RegionStartsInsideAStyledElement",
                   {El("DIV", {{"font-size", "large"}}, {Comment("S"), El("B", kBold, {"x"})}),
                    El("P", {"y"})},
                   // The DIV's style was pushed outside the region and is popped with it.
                   {"T3.AddText(x)", "T3.Write()", "P1.AddBlock(B4)", "T6.AddText(y)", "T6.Write()",
                    "P1.AddBlock(B7)"},
                   {.start = u"S"}}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

TEST(NormalizeRunTest, KeepsOneBlankWhereThereWasWhiteSpace) {
  struct Case {
    std::u16string in, out;
  };
  for (const Case& c : {Case{u"  a b  ", u" a b "}, Case{u"a\t", u"a "}, Case{u"\t\t", u""},
                        Case{u"   ", u""}, Case{u"x\u00A0\u00A0", u"x  "}, Case{u"x \t", u"x  "},
                        Case{u"\ta", u" a"}, Case{u"a\nb", u"a\nb"}, Case{u"", u""}}) {
    EXPECT_EQ(NormalizeRun(c.in), c.out);
    // Gathered onto text that ends in white space of its own, which stays as it was.
    for (std::u16string before : {u"", u"x \t", u" ", u"\t", u"\u00A0"}) {
      std::u16string s = before + c.in;
      NormalizeTail(s, before.size());
      EXPECT_EQ(s, before + c.out) << "after " << before.size() << " characters";
    }
  }
}

TEST_F(ConverterTest, OpeningWhileOpenChangesNothing) {
  conv_->m_pPage = book_->CreatePage(77);
  EXPECT_EQ(conv_->OpenTextBlock(nullptr), 0);
  recording::Reset();
  EXPECT_EQ(conv_->OpenTextBlock(fakedom::Styled({{"margin-top", "30px"}})), 0);
  EXPECT_TRUE(recording::Calls().empty());
  EXPECT_EQ(conv_->CloseTextBlock(), 0);
  EXPECT_EQ(recording::Calls(), (Calls{"T3.Write()"}));
  EXPECT_EQ(conv_->m_pTextObject, nullptr);
  EXPECT_EQ(conv_->m_pTextBlock, nullptr);
}

TEST_F(ConverterTest, NoPageNoBlock) {
  EXPECT_EQ(conv_->OpenTextBlock(nullptr), -3);
  EXPECT_EQ(conv_->m_pTextObject, nullptr);
}

TEST_F(ConverterTest, WalkerRejectsWhatIsNoElement) {
  EXPECT_EQ(conv_->WalkNode(nullptr), -1);
  auto doc = fakedom::Doc({});
  EXPECT_EQ(conv_->WalkNode(fakedom::AsDocument(doc)), -2);
}

// The walk of a page nested 20,000 levels deep fits in a quarter megabyte of stack, far less
// than one frame per level would need.
TEST_F(ConverterTest, DeepNestingNeedsNoStack) {
  auto inner = El("SPAN", {"deep"});
  for (int i = 0; i < 20000; ++i) inner = El(i % 2 ? "DIV" : "SPAN", {inner});
  doc_ = fakedom::Doc({.body = {inner}});
  struct Job {
    CHtmlPageConverter* conv;
    IHTMLDocument2* doc;
    int result = -100;
  } job{conv_.get(), fakedom::AsDocument(doc_)};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(
                &thread, &attr,
                [](void* p) -> void* {
                  auto* j = static_cast<Job*>(p);
                  j->result = j->conv->AddDocument(j->doc, 0);
                  return nullptr;
                },
                &job),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  EXPECT_EQ(job.result, 0);
  Calls texts = recording::Only({"AddText"});
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_TRUE(texts[0].ends_with(".AddText(deep)")) << texts[0];
  EXPECT_EQ(conv_->m_styleReader.Depth(), 0u);
}

// ---- Internal links ---------------------------------------------------------------------

struct LinkCase {
  const char* name;
  std::vector<fakedom::Item> body;
  Calls expected;
};

class LinkTest : public ConverterTest, public testing::WithParamInterface<LinkCase> {};

TEST_P(LinkTest, Buttons) {
  ASSERT_EQ(Convert({.body = GetParam().body}), 0);
  EXPECT_EQ(recording::Only({"CreateObject", "TextButton", "SetJumpTo"}), GetParam().expected);
}

std::shared_ptr<fakedom::Element> LinkTo(const std::string& href, const std::string& text) {
  return El("A", {{"href", href}}, {text});
}
std::shared_ptr<fakedom::Element> Named(const std::string& name) {
  return El("A", {{"name", name}}, {"target"});
}
const std::string kSelf = "http://example.com/dir/page.html";

INSTANTIATE_TEST_SUITE_P(
    Orders, LinkTest,
    testing::Values(
        LinkCase{"LinkBeforeTarget",
                 {El("P", {LinkTo(kSelf + "#top", "go")}), El("P", {Named("top")})},
                 {"CreateObject(19) -> BTN5", "T3.StartTextButton(BTN5)", "T3.EndTextButton()",
                  "BTN5.SetJumpTo(P1,B8)"}},
        LinkCase{"TargetBeforeLink",
                 {El("P", {Named("top")}), El("P", {LinkTo(kSelf + "#top", "go")})},
                 {"CreateObject(19) -> BTN8", "T6.StartTextButton(BTN8)", "BTN8.SetJumpTo(P1,B4)",
                  "T6.EndTextButton()"}},
        LinkCase{"TwoLinksBeforeTargetConnectBoth",
                 {El("P", {LinkTo(kSelf + "#top", "a"), LinkTo(kSelf + "#top", "b")}),
                  El("P", {Named("top")})},
                 {"CreateObject(19) -> BTN5", "T3.StartTextButton(BTN5)", "T3.EndTextButton()",
                  "CreateObject(19) -> BTN6", "T3.StartTextButton(BTN6)", "T3.EndTextButton()",
                  "BTN5.SetJumpTo(P1,B9)", "BTN6.SetJumpTo(P1,B9)"}},
        LinkCase{"AnyElementWithAnIdIsATarget",
                 {El("P", {LinkTo(kSelf + "#sec", "go")}), El("H2", {{"id", "sec"}}, {"Title"})},
                 {"CreateObject(19) -> BTN5", "T3.StartTextButton(BTN5)", "T3.EndTextButton()",
                  "BTN5.SetJumpTo(P1,B8)"}},
        LinkCase{"EmptyNameBeforeAHeadingJumpsToTheHeading",
                 {El("P", {LinkTo(kSelf + "#x", "go")}), El("A", {{"name", "x"}}, {}),
                  El("H2", {"Title"})},
                 {"CreateObject(19) -> BTN5", "T3.StartTextButton(BTN5)", "T3.EndTextButton()",
                  "BTN5.SetJumpTo(P1,B8)"}},
        LinkCase{"EscapedFragmentReachesTheNameWithABlank",
                 {El("P", {LinkTo(kSelf + "#with%20blank", "go")}),
                  El("H2", {{"id", "with blank"}}, {"Title"})},
                 {"CreateObject(19) -> BTN5", "T3.StartTextButton(BTN5)", "T3.EndTextButton()",
                  "BTN5.SetJumpTo(P1,B8)"}},
        LinkCase{"TargetAtTheEndJumpsToTheLastBlock",
                 {El("P", {LinkTo(kSelf + "#end", "go")}), El("A", {{"name", "end"}}, {})},
                 {"CreateObject(19) -> BTN5", "T3.StartTextButton(BTN5)", "T3.EndTextButton()",
                  "BTN5.SetJumpTo(P1,B4)"}},
        LinkCase{"OtherPageOfTheSiteIsNoButton",
                 {El("P", {LinkTo("http://example.com/dir/other.html#top", "x")}),
                  El("P", {Named("top")})},
                 {}},
        LinkCase{"SeveralHashes",
                 {El("P", {LinkTo(kSelf + "##top", "x"), Named("top")})},
                 {"CreateObject(19) -> BTN5", "T3.StartTextButton(BTN5)", "T3.EndTextButton()",
                  "BTN5.SetJumpTo(P1,B4)"}},
        LinkCase{"OnlyHashesIsNoButton", {El("P", {LinkTo(kSelf + "###", "x")})}, {}},
        LinkCase{"NamesDifferByCase",
                 {El("P", {LinkTo(kSelf + "#Top", "x"), Named("top")})},
                 {"CreateObject(19) -> BTN5", "T3.StartTextButton(BTN5)", "T3.EndTextButton()"}},
        LinkCase{"DownloadedCopyAddress",
                 {El("P", {LinkTo("about:blank#top", "x")}), El("P", {Named("top")})},
                 {"CreateObject(19) -> BTN5", "T3.StartTextButton(BTN5)", "T3.EndTextButton()",
                  "BTN5.SetJumpTo(P1,B8)"}},
        LinkCase{"LinkToItsOwnName",
                 {El("P", {El("A", {{"href", kSelf + "#me"}, {"name", "me"}}, {"x"})})},
                 {"CreateObject(19) -> BTN5", "T3.StartTextButton(BTN5)", "T3.EndTextButton()",
                  "BTN5.SetJumpTo(P1,B4)"}},
        LinkCase{"RelativeAddressDoesNotParse", {El("P", {LinkTo("#top", "x")})}, {}},
        LinkCase{"LinkWithoutOpenBlockMakesAButtonOnly",
                 {LinkTo(kSelf + "#t", "x"), El("P", {Named("t")})},
                 {"CreateObject(19) -> BTN2", "BTN2.SetJumpTo(P1,B8)"}}),
    [](const testing::TestParamInfo<LinkCase>& info) { return info.param.name; });

TEST_F(ConverterTest, ThousandsOfLinksToOneName) {
  std::vector<fakedom::Item> links;
  for (int i = 0; i < 3000; ++i) links.emplace_back(LinkTo(kSelf + "#n", "x"));
  links.emplace_back(Named("n"));
  ASSERT_EQ(Convert({.body = {El("P", links)}}), 0);
  EXPECT_EQ(recording::Only({"CreateObject"}).size(), 3000u);
  // Every link jumps to the name (the old code connected only the last before it).
  EXPECT_EQ(recording::Only({"SetJumpTo"}).size(), 3000u);
}

TEST(LinkAnchorTest, TargetMovesAndReconnects) {
  recording::Reset();
  CNBKBook book;
  CNBKPageObject* page = book.CreatePage(77);
  CNBKTextObject* first = page->CreateTextBlock(0, 0)->GetTextObject();
  CNBKTextObject* second = page->CreateTextBlock(0, 0)->GetTextObject();
  recording::Reset();
  CLinkAnchor anchor;
  anchor.SetTarget(page, nullptr);  // no text object: no target
  EXPECT_EQ(anchor.m_pTargetPage, nullptr);
  anchor.StartLink(&book, nullptr);  // a button, started nowhere
  anchor.SetTarget(page, first);
  anchor.SetTarget(page, second);
  anchor.StartLink(&book, first);
  EXPECT_EQ(recording::Calls(), (Calls{"CreateObject(19) -> BTN8", "BTN8.SetJumpTo(P1,B4)",
                                       "BTN8.SetJumpTo(P1,B7)", "CreateObject(19) -> BTN9",
                                       "T3.StartTextButton(BTN9)", "BTN9.SetJumpTo(P1,B7)"}));
}

// ---- Document entry -----------------------------------------------------------------------

TEST_F(ConverterTest, PageAndTableOfContentsEntry) {
  CNBKTocObject* toc = book_->CreateToc();
  conv_->SetToc(toc);
  recording::Reset();
  ASSERT_EQ(Convert({.title = "Doc title", .body = {El("P", {"x"})}}), 0);
  EXPECT_EQ(recording::Only({"Page", "AddEntry"}),
            (Calls{"CreatePage(77) -> P2", "AddPage(P2)", "TOC.AddEntry(Doc title,P2)"}));
  EXPECT_EQ(conv_->m_strScheme, u"http://");
  EXPECT_EQ(conv_->m_strServer, u"example.com");
  EXPECT_EQ(conv_->m_strObject, u"/dir/page.html");
}

TEST_F(ConverterTest, TocTitleOverridesTheDocumentTitle) {
  conv_->SetToc(book_->CreateToc());
  const unsigned short title[] = {'M', 'i', 'n', 'e', 0};
  conv_->SetTocTitle(title);
  ASSERT_EQ(Convert({.title = "", .body = {}}), 0);
  EXPECT_EQ(recording::Only({"AddEntry"}), (Calls{"TOC.AddEntry(Mine,P2)"}));
}

TEST_F(ConverterTest, RefusedDocuments) {
  EXPECT_EQ(conv_->AddDocument(nullptr, 0), -1);
  auto doc = fakedom::Doc({.body = {El("P", {"x"})}});
  EXPECT_EQ(conv_->AddDocument(fakedom::AsDocument(doc), 1), -1);  // deeper than the maximum
  auto relative = fakedom::Doc({.url = "page.html"});
  EXPECT_EQ(conv_->AddDocument(fakedom::AsDocument(relative), 0), -1);
  conv_->SetBook(nullptr);
  EXPECT_EQ(conv_->AddDocument(fakedom::AsDocument(doc), 0), -1);
  EXPECT_TRUE(recording::Calls().empty());
}

TEST_F(ConverterTest, DivsById) {
  conv_->SetDivID(u"main");
  ASSERT_EQ(Convert({.body = {El("DIV", {{"id", "main"}}, {El("P", {"one"})}),
                              El("DIV", {{"id", "Main"}}, {El("P", {"no"})}),
                              El("DIV", {El("DIV", {{"id", "main"}}, {"two"})})}}),
            0);
  EXPECT_EQ(recording::Only({"AddText"}), (Calls{"T6.AddText(one)", "T9.AddText(two)"}));
}

TEST_F(ConverterTest, DivIdWithoutMatchMakesAnEmptyPage) {
  conv_->SetDivID(u"none");
  ASSERT_EQ(Convert({.body = {El("P", {"x"})}}), 0);
  EXPECT_EQ(recording::Calls(), (Calls{"CreatePage(77) -> P1", "AddPage(P1)"}));
}

TEST_F(ConverterTest, FramesFollowOntoTheSamePage) {
  auto inner = fakedom::Doc({.url = "http://example.com/inner.html", .body = {El("P", {"inner"})}});
  auto left = fakedom::Doc(
      {.url = "http://example.com/left.html", .body = {El("P", {"left"})}, .frames = {inner}});
  auto right = fakedom::Doc({.url = "http://example.com/right.html", .body = {El("P", {"right"})}});
  ASSERT_EQ(Convert({.body = {El("P", {"top"})}, .frames = {left, right}}), 0);
  EXPECT_EQ(recording::Only({"AddText", "CreatePage"}),
            (Calls{"CreatePage(77) -> P1", "T3.AddText(top)", "T6.AddText(left)",
                   "T9.AddText(inner)", "T12.AddText(right)"}));
  // Each text block is placed once.
  EXPECT_EQ(recording::Only({"AddBlock"}),
            (Calls{"P1.AddBlock(B4)", "P1.AddBlock(B7)", "P1.AddBlock(B10)", "P1.AddBlock(B13)"}));
}

TEST_F(ConverterTest, OpenBlockAtTheEndOfAFrameIsPlacedOnce) {
  auto frame = fakedom::Doc({.body = {El("P", {"f"})}});
  ASSERT_EQ(Convert({.body = {El("SPAN", {"top"})}, .frames = {frame}}), 0);
  EXPECT_EQ(recording::Only({"AddBlock"}), (Calls{"P1.AddBlock(B4)", "P1.AddBlock(B7)"}));
}

TEST_F(ConverterTest, DocumentWithoutFramesIsConvertedOnce) {
  ASSERT_EQ(Convert({.body = {El("P", {"x"})}, .framesFail = true}), 0);
  EXPECT_EQ(recording::Only({"AddText"}), (Calls{"T3.AddText(x)"}));
}

TEST_F(ConverterTest, FramesThatShowThemselvesAreConvertedOnce) {
  auto a = fakedom::Doc({.body = {El("P", {"a"})}});
  auto b = fakedom::Doc({.body = {El("P", {"b"})}});
  fakedom::AddFrame(a, a);
  fakedom::AddFrame(a, b);
  fakedom::AddFrame(b, a);
  ASSERT_EQ(conv_->AddDocument(fakedom::AsDocument(a), 0), 0);
  EXPECT_EQ(recording::Only({"AddText"}), (Calls{"T3.AddText(a)", "T6.AddText(b)"}));
  EXPECT_EQ(fakedom::OutstandingReferences(), 0);
}

TEST_F(ConverterTest, StyleSheetsAreAddedAgainWithAbsoluteAddresses) {
  ASSERT_EQ(Convert({.body = {},
                     .styleSheets = {"/css/a.css", "b.css", "http://cdn.example.org/c.css", ""}}),
            0);
  EXPECT_EQ(fakedom::CreatedStyleSheets(doc_),
            (std::vector<std::string>{"http://example.com/css/a.css", "http://example.comb.css",
                                      "http://cdn.example.org/c.css"}));
}

TEST_F(ConverterTest, StyleSheetRetriesAreBoundedPerDocument) {
  ASSERT_EQ(Convert({.body = {}, .styleSheets = {"/a.css", "/b.css"}, .styleSheetFalseCount = 100}),
            0);
  // One call and ten repeats for the first sheet; the second gets its one call.
  EXPECT_EQ(fakedom::CreatedStyleSheets(doc_).size(), 12u);
}

// Only a page that is a local file may bring in local style sheets and frames; a page from
// the web (its frames and its sheets written as file: addresses) gets none of them.
TEST_F(ConverterTest, PageFromTheWebBringsInNoLocalSheetOrFrame) {
  for (const char* top : {"http://example.com/page.html", "file:///pages/page.html"}) {
    SCOPED_TRACE(top);
    const bool local = std::string_view(top).starts_with("file:");
    Fresh();
    recording::Reset();
    auto localFrame =
        fakedom::Doc({.url = "file:///home/me/secret.html", .body = {El("P", {"secret"})}});
    auto webFrame = fakedom::Doc({.url = "http://example.com/f.html", .body = {El("P", {"web"})}});
    ASSERT_EQ(Convert({.url = top,
                       .body = {El("P", {"top"})},
                       .styleSheets = {"file:///home/me/secret.css", "/site.css"},
                       .frames = {localFrame, webFrame}}),
              0);
    EXPECT_EQ(recording::Only({"AddText(secret)"}).size(), local ? 1u : 0u);
    EXPECT_EQ(recording::Only({"AddText(web)"}).size(), 1u);
    std::vector<std::string> sheets = fakedom::CreatedStyleSheets(doc_);
    EXPECT_EQ(std::count(sheets.begin(), sheets.end(), "file:///home/me/secret.css"),
              local ? 1 : 0);
  }
}

TEST(SchemePrefixTest, ServiceTypes) {
  struct Case {
    DWORD type;
    std::u16string prefix;
  };
  for (const Case& c : {Case{1, u"ftp://"}, Case{2, u"gopher://"}, Case{3, u"http://"},
                        Case{4, u""}, Case{0x1001, u"file://"}, Case{0x1002, u"mailto://"},
                        Case{0x1005, u"news://"}, Case{0x100B, u"https://"}, Case{0x1000, u""}}) {
    EXPECT_EQ(SchemePrefix(c.type), c.prefix) << c.type;
  }
}

}  // namespace
}  // namespace testing_parser
