// The book preview on books made in the test: each kind of attribute, command, rule, image and
// button, and items the preview cannot show, which must be marked rather than dropped. Every
// preview is also checked to nest its elements properly, whatever order the stream had.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "apps/nbclip/preview/book_preview.h"

namespace {

using nbk::StreamOp;

constexpr std::uint32_t kPageId = 2;
constexpr std::uint32_t kBlockId = 40;      // the block under test
constexpr std::uint32_t kTargetBlock = 60;  // a second block, target of buttons

nbk::TextItem Text(std::u16string text) {
  nbk::TextItem t;
  t.op = StreamOp::kText;
  t.text = std::move(text);
  return t;
}
nbk::TextItem Command(std::uint16_t code, std::vector<std::uint16_t> data = {}) {
  nbk::TextItem t;
  t.op = StreamOp::kCommand;
  t.code = code;
  t.data = std::move(data);
  return t;
}
nbk::TextItem Attr(std::uint16_t tag, std::uint32_t value) {
  nbk::TextItem t;
  t.op = StreamOp::kAttribute;
  t.attr = {tag, value};
  return t;
}
nbk::TextItem Op(StreamOp op, std::uint32_t id = 0, std::int32_t mode = 0) {
  nbk::TextItem t;
  t.op = op;
  t.id = id;
  t.mode = mode;
  t.dataId = id;  // for images the data id
  return t;
}

// A PNG's bytes as the book keeps them; the preview does not decode them.
nbk::ImageData Image(std::uint32_t id, nbk::ImageType type, std::uint32_t w, std::uint32_t h) {
  nbk::ImageData d;
  d.id = id;
  d.type = type;
  d.width = w;
  d.height = h;
  d.bytes = {0x89, 'P', 'N', 'G'};
  return d;
}

// A book of one page: the block under test, then a target block. Buttons 9 (to the target
// block), 10 (to a block not in the book, on this page), 11 (never given a target).
nbk::Book MakeBook(std::vector<nbk::TextItem> items, std::vector<nbk::PageItem> before = {}) {
  nbk::Book book;
  book.meta = nbk::Metadata{};
  book.meta->title = u"Test";
  book.design = nbk::Design{600, 800, 16, 12, 16, 12, 100, 0x000000, 0xFFFFFF, u"Standard"};
  book.toc = {{kPageId, u"Page"}};
  book.buttons = {
      {9, 19, true, kPageId, kTargetBlock}, {10, 19, true, kPageId, 999}, {11, 19, false, 0, 0}};
  book.images = {Image(1, nbk::ImageType::kPng, 96, 64), Image(2, nbk::ImageType::kUnknown, 5, 5)};
  nbk::Page page;
  page.id = kPageId;
  page.kind = 77;
  page.items = std::move(before);
  nbk::TextBlock block;
  block.blockId = kBlockId;
  block.items = std::move(items);
  page.items.push_back(block);
  nbk::TextBlock target;
  target.blockId = kTargetBlock;
  target.items = {Text(u"target")};
  page.items.push_back(target);
  book.pages.push_back(std::move(page));
  return book;
}

// Every element the preview writes is closed, in order: a stack over the start and end tags.
::testing::AssertionResult Nests(const std::string& html) {
  static const std::set<std::string> kChecked = {"div", "span",   "a",  "ruby", "rt", "section",
                                                 "nav", "header", "ol", "li",   "b"};
  std::vector<std::string> open;
  for (std::size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
    std::size_t from = at + 1;
    bool end = from < html.size() && html[from] == '/';
    if (end) ++from;
    std::size_t to = from;
    while (to < html.size() && std::isalpha(static_cast<unsigned char>(html[to]))) ++to;
    std::string name = html.substr(from, to - from);
    if (to == html.size() || (html[to] != ' ' && html[to] != '>') || !kChecked.contains(name)) {
      continue;
    }
    if (!end) {
      open.push_back(name);
    } else if (open.empty() || open.back() != name) {
      return ::testing::AssertionFailure()
             << "</" << name << "> closes " << (open.empty() ? "nothing" : open.back()) << " at "
             << at;
    } else {
      open.pop_back();
    }
  }
  if (!open.empty()) return ::testing::AssertionFailure() << open.back() << " is never closed";
  return ::testing::AssertionSuccess();
}

struct Rendered {
  std::string html;
  std::string block;  // the HTML of the block under test
  nbclip::preview::PreviewStats stats;
};

Rendered Render(const nbk::Book& book) {
  std::ostringstream out;
  Rendered r;
  r.stats = nbclip::preview::WritePreview(book, out);
  r.html = out.str();
  std::size_t from = r.html.find("id=\"b" + std::to_string(kBlockId) + "\"");
  std::size_t to = r.html.find("id=\"b" + std::to_string(kTargetBlock) + "\"");
  if (from != std::string::npos && to != std::string::npos)
    r.block = r.html.substr(from, to - from);
  return r;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

struct Case {
  const char* name;
  std::vector<nbk::TextItem> items;
  std::vector<std::string> expected;  // in this order in the block's HTML
  std::size_t marks = 0;              // items that must be marked
};

void ExpectCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rendered r = Render(MakeBook(c.items));
    EXPECT_TRUE(Nests(r.html));
    std::size_t at = 0;
    for (const std::string& e : c.expected) {
      std::size_t found = r.block.find(e, at);
      EXPECT_NE(found, std::string::npos) << "missing, or out of order: " << e << "\n" << r.block;
      if (found != std::string::npos) at = found + e.size();
    }
    EXPECT_EQ(r.stats.marks, c.marks) << r.block;
    EXPECT_EQ(Count(r.html, "class=\"nbk-mark\""), c.marks) << r.block;
  }
}

TEST(PreviewTest, TextAttributes) {
  ExpectCases({
      {"font size in the writer's unit",
       {Attr(0xF511, 150), Text(u"x")},
       {"font-size:24px", ">x<"}},
      {"line height", {Attr(0xF51B, 155), Text(u"x")}, {"line-height:24.8px", ">x<"}},
      {"centred", {Attr(0xF53C, 4), Text(u"x")}, {"text-align:center", "x"}},
      {"right", {Attr(0xF53C, 8), Text(u"x")}, {"text-align:right", "x"}},
      {"text colour, packed", {Attr(0xF517, 0x0000FF00), Text(u"x")}, {"color:#ff0000\">x"}},
      {"no text colour", {Attr(0xF517, 0x000000FF), Text(u"x")}, {">x<"}},
      {"text background", {Attr(0xF518, 0xE0FFFF00), Text(u"x")}, {"background-color:#ffffe0\">x"}},
      {"weight", {Attr(0xF515, 700), Text(u"x")}, {"font-weight:700\">x"}},
      {"an alignment change waits for the next line",
       {Text(u"a"), Attr(0xF53C, 8), Text(u"b"), Op(StreamOp::kWrite), Text(u"c")},
       {"text-align:left", "ab", "text-align:right", "c"}},
      {"unknown alignment",
       {Attr(0xF53C, 2), Text(u"x")},
       {"text-align:left", "[align 2]", "x"},
       1},
      {"unknown tag", {Attr(0xF599, 7), Text(u"x")}, {"[attr 0xf599 = 0x00000007]", "x"}, 1},
      {"size out of range", {Attr(0xF511, 0x10000), Text(u"x")}, {"[attr 0xf511", "x"}, 1},
  });
}

TEST(PreviewTest, Commands) {
  ExpectCases({
      {"line break", {Text(u"a"), Command(0xF5D2), Text(u"b")}, {"a", "<br>", "b"}},
      {"italic",
       {Text(u"a"), Command(0xF581), Text(u"b"), Command(0xF582), Text(u"c")},
       {">a<span style=\"font-style:italic\">b</span>c<"}},
      {"size command", {Command(0xF511, {150}), Text(u"x")}, {"font-size:24px\">x"}},
      {"bold then normal",
       {Command(0xF515, {700}), Text(u"b"), Command(0xF515, {400}), Text(u"n")},
       {"font-weight:700\">b", "font-weight:400\">n"}},
      {"colour command: four bytes, most significant first",
       {Command(0xF517, {0xff00, 0x0000}), Text(u"red"), Command(0xF517, {0x2200, 0x2222}),
        Text(u"grey")},
       {"color:#ff0000\">red", "color:#222222\">grey"}},
      {"background on and off",
       {Command(0xF518, {0xff00, 0xe0ff}), Text(u"on"), Command(0xF518, {0x00ff, 0}), Text(u"off")},
       {"background-color:#ffffe0\">on", ">off"}},
      {"ruby with its reading",
       {Command(0xF5A9), Command(0xF5AB), Text(u"清水寺"), Command(0xF5AC), Command(0xF5AD),
        Text(u"きよみずでら"), Command(0xF5AE), Command(0xF5AA), Text(u"は")},
       {"<ruby>", "清水寺", "<rt>", "きよみずでら", "</rt></ruby>", "は"}},
      {"reading outside a ruby",
       {Command(0xF5AD), Text(u"r"), Command(0xF5AE)},
       {"[rt]", "r", "[/rt]"},
       2},
      {"ruby end without a ruby", {Text(u"a"), Command(0xF5AA)}, {"a", "[/ruby]"}, 1},
      {"unknown command",
       {Text(u"a"), Command(0xF5E0), Text(u"b")},
       {"a", "[command 0xf5e0]", "b"},
       1},
      {"unknown command with data",
       {Command(0xF5E1, {1, 2})},
       {"[command 0xf5e1 0x0001 0x0002]"},
       1},
      {"colour command with one word",
       {Command(0xF517, {1}), Text(u"x")},
       {"[command 0xf517 0x0001]", "x"},
       1},
      {"write marks end lines, and only lines with something in them",
       {Op(StreamOp::kWrite), Text(u"a"), Op(StreamOp::kWrite), Op(StreamOp::kWrite), Text(u"b"),
        Op(StreamOp::kWrite)},
       {"<div class=\"nbk-line\"", "a</div><div class=\"nbk-line\"", "b</div></div>"}},
      {"markup and control characters in the text",
       {Text(u"<b>&\"x\"\n\t"), Text(std::u16string(u"a\x01z"))},
       {"&lt;b&gt;&amp;&quot;x&quot;\n\t", "[control characters]", "a<b>U+0001</b>z"},
       1},
  });
}

TEST(PreviewTest, Buttons) {
  ExpectCases({
      {"jumps to its target block",
       {Op(StreamOp::kButtonStart, 9), Text(u"go"), Op(StreamOp::kButtonEnd), Text(u"after")},
       {"<a class=\"nbk-button\" href=\"#b60\">", "go", "</a>", "after"}},
      {"target block not in the book: jumps to its page",
       {Op(StreamOp::kButtonStart, 10), Text(u"go")},
       {"[button]", "<a class=\"nbk-button\" href=\"#p2\">", "go"},
       1},
      {"no target",
       {Op(StreamOp::kButtonStart, 11), Text(u"go")},
       {"[button]", "nbk-dead", "go"},
       1},
      {"unknown button", {Op(StreamOp::kButtonStart, 77), Text(u"go")}, {"[button]", "go"}, 1},
      {"end without a start", {Text(u"a"), Op(StreamOp::kButtonEnd)}, {"a", "[button end]"}, 1},
      {"a button goes on across a write mark",
       {Op(StreamOp::kButtonStart, 9), Text(u"one"), Op(StreamOp::kWrite), Text(u"two"),
        Op(StreamOp::kButtonEnd)},
       {"href=\"#b60\">one</a></div>", "href=\"#b60\">two</a>"}},
      {"a ruby ended inside a button keeps the button",
       {Command(0xF5A9), Op(StreamOp::kButtonStart, 9), Text(u"in"), Command(0xF5AA), Text(u"out"),
        Op(StreamOp::kButtonEnd)},
       {"<ruby><a class=\"nbk-button\" href=\"#b60\">", "in", "</a></ruby><a class=\"nbk-button\"",
        "out"}},
      {"a second start ends the first button",
       {Op(StreamOp::kButtonStart, 9), Text(u"a"), Op(StreamOp::kButtonStart, 9), Text(u"b")},
       {"a", "</a><a class=\"nbk-button\"", "b"}},
  });
}

TEST(PreviewTest, InlineImages) {
  ExpectCases({
      {"at its size",
       {Text(u"a"), Op(StreamOp::kImage, 1, 2), Text(u"b")},
       {"a",
        "<img class=\"nbk-img\" src=\"data:image/png;base64,iVBORw==\" width=\"96\" height=\"64\"",
        "b"}},
      {"unknown mode: shown and marked",
       {Op(StreamOp::kImage, 1, 3)},
       {"[image mode 3]", "<img"},
       1},
      {"data missing", {Op(StreamOp::kImage, 5, 2)}, {"[image]"}, 1},
      {"unknown type", {Op(StreamOp::kImage, 2, 2)}, {"[image 2]"}, 1},
  });
}

TEST(PreviewTest, PageItems) {
  struct PageCase {
    const char* name;
    std::vector<nbk::PageItem> before;  // items before the block under test
    std::vector<std::string> expected;  // in this order in the whole preview
    std::size_t marks = 0;
  };
  nbk::ImageBlock image;
  image.blockId = 17;
  image.dataId = 1;
  nbk::ImageBlock noData;
  noData.blockId = 18;
  nbk::TextBlock background;
  background.blockId = 19;
  background.blockAttrs = {{0xF534, 0xE0FFFF00}, {0xF599, 1}};
  background.items = {Text(u"bg")};
  for (const PageCase& c : std::vector<PageCase>{
           {"rule styles",
            {nbk::RuledLine{600, 16, 2, 0}, nbk::RuledLine{600, 32, 3, 0},
             nbk::RuledLine{600, 48, 4, 0}, nbk::RuledLine{300, 64, 1, 0}},
            {"border-top:2px solid currentColor;width:min(600px,100%)", "3px dashed", "4px double",
             "1px dotted currentColor;width:min(300px,100%)"}},
           {"unknown rule style and flags",
            {nbk::RuledLine{600, 99, 2, 5}},
            {"[rule style 99]", "[rule flags 5]", "2px solid"},
            2},
           {"locations add up and move only the next block",
            {nbk::Location{0, 12}, nbk::Location{4, 1}, image, background},
            {"id=\"b17\" style=\"margin-top:13px;margin-left:4px\"", "width=\"96\" height=\"64\"",
             "id=\"b19\" style=\"background-color:#ffffe0\"", "[block-attr 0xf599 = 0x00000001]",
             "bg"},
            1},
           {"image block without data", {noData}, {"id=\"b18\"", "[image]"}, 1},
       }) {
    SCOPED_TRACE(c.name);
    Rendered r = Render(MakeBook({Text(u"x")}, c.before));
    EXPECT_TRUE(Nests(r.html));
    std::size_t at = 0;
    for (const std::string& e : c.expected) {
      std::size_t found = r.html.find(e, at);
      EXPECT_NE(found, std::string::npos) << "missing, or out of order: " << e;
      if (found != std::string::npos) at = found + e.size();
    }
    EXPECT_EQ(r.stats.marks, c.marks);
  }
}

TEST(PreviewTest, BookParts) {
  nbk::Book book = MakeBook({Text(u"x")});
  book.cover = nbk::Cover{u"Title <1>", u"Author"};
  book.toc.push_back({12345, u"Lost"});
  Rendered r = Render(book);
  EXPECT_TRUE(Nests(r.html));
  for (const char* e :
       {"<title>Test</title>", "id=\"cover\"", "Title &lt;1&gt;", "Author", "id=\"toc\"",
        "<a href=\"#p2\">Page</a>", "Lost <span class=\"nbk-mark\"", "[page ?]",
        "<section class=\"nbk-page\" id=\"p2\" style=\"width:576px;min-height:768px;padding:16px "
        "12px 16px 12px;font-size:16px;color:#000000;background-color:#ffffff\"",
        "1 item(s) of the book cannot be shown"}) {
    EXPECT_NE(r.html.find(e), std::string::npos) << e;
  }
  EXPECT_EQ(r.stats.pages, 1u);
  EXPECT_EQ(r.stats.blocks, 2u);

  // A book without a design is shown on the standard page, and says so.
  book.design.reset();
  r = Render(book);
  EXPECT_NE(r.html.find("[no design]"), std::string::npos);
  EXPECT_NE(r.html.find("width:576px"), std::string::npos);
  EXPECT_EQ(r.stats.marks, 2u);
}

}  // namespace
