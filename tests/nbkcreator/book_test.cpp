// Writer to reader round trips: the sample book against its golden dumps, appending, and the
// documented behaviour of the text stream calls.
#include <cstdio>
#include <functional>
#include <set>
#include <sstream>

#include "nbkcreator/dump.h"
#include "nbkcreator/format.h"
#include "nbkcreator/reader.h"
#include "tests/nbkcreator/support.h"

namespace nbktest {
namespace {

class BookTest : public ScratchTest {};

// Lines of the dump from the first page to the end of the pages.
std::string PagesOf(const std::string& dump, std::size_t firstPage, std::size_t endPage) {
  std::size_t from = dump.find("\npage " + std::to_string(firstPage) + " ");
  std::size_t to = dump.find("\npage " + std::to_string(endPage) + " ");
  if (to == std::string::npos) to = dump.find("\nend\n");
  if (from == std::string::npos || to == std::string::npos) return "<no pages>";
  return dump.substr(from, to - from);
}

TEST_F(BookTest, SampleBookDumpsToGoldenText) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  ExpectGolden("sample.dump", Dump(Path("book.nbk")));
  ExpectGolden("sample.json", Dump(Path("book.nbk"), true));
}

TEST_F(BookTest, AppendKeepsOldPagesAndAddsNewOnesAtTheEnd) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  const std::string before = Dump(Path("book.nbk"));
  ASSERT_EQ(AppendPage(Path("book.nbk"), u"appended one"), 0);
  ASSERT_EQ(AppendPage(Path("book.nbk"), u"appended two"), 0);
  const std::string after = Dump(Path("book.nbk"));
  EXPECT_EQ(PagesOf(before, 1, 4), PagesOf(after, 1, 4));
  ExpectGolden("sample-appended.dump", after);
}

TEST_F(BookTest, AppendToMissingFileMakesANewBook) {
  ASSERT_EQ(AppendPage(Path("new.nbk"), u"first"), 0);
  std::string error;
  auto book = nbk::ReadBook(Path("new.nbk"), error);
  ASSERT_TRUE(book) << error;
  ASSERT_EQ(book->pages.size(), 1u);
  ASSERT_EQ(book->toc.size(), 1u);
  EXPECT_EQ(book->toc[0].pageId, book->pages[0].id);
}

TEST_F(BookTest, ObjectIdsStayUniqueAcrossAppends) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  for (int i = 0; i < 3; ++i) ASSERT_EQ(AppendPage(Path("book.nbk"), u"more"), 0);
  std::string error;
  auto book = nbk::ReadBook(Path("book.nbk"), error);
  ASSERT_TRUE(book) << error;
  std::set<std::uint32_t> ids;
  std::size_t count = 0;
  for (const nbk::Page& page : book->pages) {
    ids.insert(page.id);
    ++count;
    for (const nbk::PageItem& item : page.items) {
      if (const auto* t = std::get_if<nbk::TextBlock>(&item)) {
        ids.insert({t->cardId, t->blockId, t->textId});
        count += 3;
      }
    }
  }
  EXPECT_EQ(ids.size(), count);
}

TEST_F(BookTest, MetadataSetOnAppendReplacesOnlyWhatWasSet) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  {
    CNBKBook book;
    ASSERT_EQ(book.Open(WPath("book.nbk").c_str(), NBK_OPEN_APPEND), 0);
    book.SetAuthor(u"New author");
    ASSERT_EQ(book.OutputAll(), 0);
    book.Close();
  }
  std::string error;
  auto book = nbk::ReadBook(Path("book.nbk"), error);
  ASSERT_TRUE(book) << error;
  EXPECT_EQ(book->meta->author, u"New author");
  EXPECT_EQ(book->meta->title, W("マイブック"));
  EXPECT_EQ(book->meta->bookId, u"FBJPTB0000000001");
  EXPECT_EQ(book->pages.size(), 3u);
  EXPECT_TRUE(book->cover.has_value());
  EXPECT_EQ(book->toc.size(), 2u);
}

struct StreamCase {
  const char* name;
  std::function<void(CNBKTextObject*, CNBKBook&)> calls;
  std::vector<std::string> expected;  // the stream's dump lines, without indentation
};

class StreamTest : public ScratchTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(StreamTest, StreamHoldsWhatTheWriterWasTold) {
  const StreamCase& c = GetParam();
  {
    CNBKBook book;
    book.SetNBKFileName(WPath("s.nbk"));
    ASSERT_EQ(book.Open(nullptr, NBK_OPEN_NEW), 0);
    CNBKPageObject* page = book.CreatePage(NBK_PAGE_KIND);
    CNBKTextBlock* block = page->CreateTextBlock(0, 0);
    c.calls(block->GetTextObject(), book);
    page->AddBlock(block->GetBlockObject());
    book.AddPage(page);
    ASSERT_EQ(book.OutputAll(), 0);
  }
  std::string dump = Dump(Path("s.nbk"));
  std::vector<std::string> lines;
  std::size_t at = dump.find("\n  1 text-block");
  ASSERT_NE(at, std::string::npos) << dump;
  std::istringstream in(dump.substr(dump.find('\n', at + 1) + 1));
  for (std::string line; std::getline(in, line) && line.rfind("      ", 0) == 0;)
    lines.push_back(line.substr(6));
  EXPECT_EQ(lines, c.expected);
}

const unsigned short kData[3] = {1, 2, 0xFFFF};

INSTANTIATE_TEST_SUITE_P(
    Calls, StreamTest,
    ::testing::Values(StreamCase{"SecondWriteRecordsNothing",
                                 [](CNBKTextObject* t, CNBKBook&) {
                                   t->AddText(u"a");
                                   EXPECT_EQ(t->Write(), 0);
                                   EXPECT_EQ(t->Write(), 0);
                                 },
                                 {"text \"a\"", "write"}},
                      StreamCase{"TextAfterWriteGoesOn",
                                 [](CNBKTextObject* t, CNBKBook&) {
                                   t->AddText(u"a");
                                   t->Write();
                                   t->AddText(u"b");
                                   t->Write();
                                 },
                                 {"text \"a\"", "write", "text \"b\"", "write"}},
                      StreamCase{"UnwrittenTailIsKept",
                                 [](CNBKTextObject* t, CNBKBook&) {
                                   t->AddText(u"a");
                                   t->Write();
                                   t->AddText(u"b");
                                 },
                                 {"text \"a\"", "write", "text \"b\""}},
                      StreamCase{"EndWithoutStartIsIgnored",
                                 [](CNBKTextObject* t, CNBKBook&) {
                                   EXPECT_EQ(t->EndTextButton(), -1);
                                   t->AddText(u"x");
                                 },
                                 {"text \"x\""}},
                      StreamCase{"NewButtonEndsTheOpenOne",
                                 [](CNBKTextObject* t, CNBKBook& book) {
                                   auto* a = book.CreateObject(NBK_BUTTON_KIND);
                                   auto* b = book.CreateObject(NBK_BUTTON_KIND);
                                   t->StartTextButton(a->GetObjID());
                                   t->AddText(u"1");
                                   t->StartTextButton(b->GetObjID());
                                   t->AddText(u"2");
                                   EXPECT_EQ(t->EndTextButton(), 0);
                                   EXPECT_EQ(t->EndTextButton(), -1);
                                 },
                                 {"button-start #5 -> unset", "text \"1\"", "button-end",
                                  "button-start #6 -> unset", "text \"2\"", "button-end"}},
                      StreamCase{"UnknownButtonIsRefused",
                                 [](CNBKTextObject* t, CNBKBook&) {
                                   EXPECT_EQ(t->StartTextButton(999), -1);
                                   EXPECT_EQ(t->StartTextButton(t->GetObjID()),
                                             -1);  // not a button
                                 },
                                 {}},
                      StreamCase{"CommandDataStoredAsPassed",
                                 [](CNBKTextObject* t, CNBKBook&) {
                                   t->AddCommand(0xF5D2, nullptr, 0);
                                   t->AddCommand(0x1234, kData, 3);
                                   EXPECT_EQ(t->AddCommand(1, nullptr, 2), -1);
                                   EXPECT_EQ(t->AddCommand(1, kData, -1), -1);
                                 },
                                 {"command 0xf5d2", "command 0x1234 data 0x0001 0x0002 0xffff"}},
                      StreamCase{"AttributesStoredAsPassed",
                                 [](CNBKTextObject* t, CNBKBook&) {
                                   t->ChangeAtr(0xFFFF, 0xFFFFFFFF);
                                   t->ChangeAtr(0, 0);
                                 },
                                 {"attr 0xffff = 0xffffffff", "attr 0x0000 = 0x00000000"}},
                      StreamCase{
                          "EmptyTextRecordsNothing",
                          [](CNBKTextObject* t, CNBKBook&) { EXPECT_EQ(t->AddText(u""), 0); },
                          {}},
                      StreamCase{"EveryUnitOfTextStaysVisible",
                                 [](CNBKTextObject* t, CNBKBook&) {
                                   t->AddText(std::u16string(u"\U0001F600 \"q\" \\ ") +
                                              char16_t(0xD800) + char16_t(1));
                                 },
                                 {"text \"\xF0\x9F\x98\x80 \\\"q\\\" \\\\ \\u{d800}\\u{0001}\""}}),
    [](const auto& info) { return std::string(info.param.name); });

struct SizeCase {
  const char* name;
  std::function<void(CNBKTextObject*, CNBKBook&, CNBKPageObject*)> calls;
  bool nonEmpty;
};

class StreamSizeTest : public ScratchTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(StreamSizeTest, SizeCountsOnlyWrittenContent) {
  CNBKBook book;
  CNBKPageObject* page = book.CreatePage(NBK_PAGE_KIND);
  CNBKTextObject* text = page->CreateTextBlock(0, 0)->GetTextObject();
  GetParam().calls(text, book, page);
  if (GetParam().nonEmpty) {
    EXPECT_GT(text->GetStreamSize(), 0);
  } else {
    EXPECT_EQ(text->GetStreamSize(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Calls, StreamSizeTest,
    ::testing::Values(
        SizeCase{"NothingWritten",
                 [](CNBKTextObject* t, CNBKBook&, CNBKPageObject*) { t->Write(); }, false},
        SizeCase{"AttributesOnly",
                 [](CNBKTextObject* t, CNBKBook&, CNBKPageObject*) {
                   t->ChangeAtr(1, 100);
                   t->Write();
                 },
                 false},
        SizeCase{"TextNotYetWritten",
                 [](CNBKTextObject* t, CNBKBook&, CNBKPageObject*) { t->AddText(u"a"); }, false},
        SizeCase{"TextWritten",
                 [](CNBKTextObject* t, CNBKBook&, CNBKPageObject*) {
                   t->AddText(u"a");
                   t->Write();
                 },
                 true},
        SizeCase{"CommandWritten",
                 [](CNBKTextObject* t, CNBKBook&, CNBKPageObject*) {
                   t->AddCommand(0xF5D2, nullptr, 0);
                   t->Write();
                 },
                 true},
        SizeCase{"InlineImageWritten",
                 [](CNBKTextObject* t, CNBKBook&, CNBKPageObject* page) {
                   t->PlotImage(page->CreateImageBlock(NBK_IMAGE_BLOCK_KIND)->GetImageObject(), 2);
                   t->Write();
                 },
                 true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BookTest, StreamSizeIsTheSizeAtTheLastWrite) {
  CNBKBook book;
  CNBKTextObject* text = book.CreatePage(NBK_PAGE_KIND)->CreateTextBlock(0, 0)->GetTextObject();
  text->AddText(u"abc");
  text->Write();
  long size = text->GetStreamSize();
  text->AddText(u"more");
  EXPECT_EQ(text->GetStreamSize(), size);
  text->Write();
  EXPECT_GT(text->GetStreamSize(), size);
}

TEST_F(BookTest, MisuseIsRefusedAndChangesNothing) {
  CNBKBook book;
  EXPECT_EQ(book.Open(nullptr, NBK_OPEN_NEW), -1) << "no file name";
  book.SetNBKFileName(WPath("m.nbk"));
  EXPECT_EQ(book.Open(nullptr, 3), -1) << "unknown mode";
  EXPECT_EQ(book.OutputAll(), -1) << "not open";
  ASSERT_EQ(book.Open(nullptr, NBK_OPEN_NEW), 0);
  EXPECT_EQ(book.Open(nullptr, NBK_OPEN_NEW), -1) << "open twice";
  EXPECT_EQ(book.CreateObject(20), nullptr);
  CNBKPageObject* p1 = book.CreatePage(NBK_PAGE_KIND);
  CNBKPageObject* p2 = book.CreatePage(NBK_PAGE_KIND);
  CNBKTextBlock* block = p1->CreateTextBlock(0, 0);
  EXPECT_EQ(p2->AddBlock(block->GetBlockObject()), -1) << "block of another page";
  EXPECT_EQ(p1->AddBlock(block->GetBlockObject()), 0);
  EXPECT_EQ(p1->AddBlock(block->GetBlockObject()), -1) << "block placed twice";
  EXPECT_EQ(p1->AddBlock(nullptr), -1);
  EXPECT_EQ(book.AddPage(p1), 0);
  EXPECT_EQ(book.AddPage(p1), -1) << "page added twice";
  int reserved = 0;
  EXPECT_EQ(book.CreateToc()->AddEntry(u"t", p1, &reserved), -1);
  EXPECT_EQ(book.CreateToc(), book.CreateToc());
  CNBKBook other;
  EXPECT_EQ(book.AddPage(other.CreatePage(NBK_PAGE_KIND)), -1) << "page of another book";
  auto* button = static_cast<CNBKButtonObject*>(book.CreateObject(NBK_BUTTON_KIND));
  EXPECT_EQ(button->SetJumpTo(other.CreatePage(NBK_PAGE_KIND), nullptr), -1);
  EXPECT_EQ(button->SetJumpTo(p2, block->GetTextObject()), 0) << "a block's text names it";
  EXPECT_EQ(book.Close(), 0);
  EXPECT_EQ(book.Close(), -1);
}

// Sets the next object id stored in the book at path, its META section's checksum made again.
void SetStoredNextId(const std::string& path, std::uint32_t next) {
  std::vector<std::uint8_t> bytes = ReadFile(path);
  std::size_t at = nbk::kHeaderSize;
  while (at + nbk::kSectionOverhead <= bytes.size()) {
    std::uint32_t type = 0, length = 0;
    for (int i = 0; i < 4; ++i) {
      type |= std::uint32_t{bytes[at + i]} << (8 * i);
      length |= std::uint32_t{bytes[at + 4 + i]} << (8 * i);
    }
    if (type == nbk::kSecMeta) {
      ASSERT_GE(length, 4u);
      for (int i = 0; i < 4; ++i) bytes[at + 8 + i] = static_cast<std::uint8_t>(next >> (8 * i));
      std::uint32_t crc = nbk::Crc32(bytes.data() + at, 8 + length);
      for (int i = 0; i < 4; ++i)
        bytes[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (8 * i));
      WriteFile(path, bytes);
      return;
    }
    at += nbk::kSectionOverhead + length;
  }
  FAIL() << "no META section";
}

// Objects are found by their ids for the buttons of a text, also when the ids go on from a
// stored next id near the top and wrap around to 0 on the way.
TEST_F(BookTest, ButtonsAreFoundByIdAcrossAWrapOfTheIds) {
  for (std::uint32_t next : {1u, 0xFFFFFFFEu}) {
    SCOPED_TRACE(next);
    ASSERT_EQ(AppendPage(Path("ids.nbk"), u"first"), 0);
    ASSERT_NO_FATAL_FAILURE(SetStoredNextId(Path("ids.nbk"), next));
    CNBKBook book;
    book.SetScrambleKey(0x0D3B);
    book.SetNBKFileName(WPath("ids.nbk"));
    ASSERT_EQ(book.Open(WPath("ids.nbk").c_str(), NBK_OPEN_APPEND), 0);
    std::vector<CNBKObject*> buttons;
    for (int i = 0; i < 4; ++i) buttons.push_back(book.CreateObject(NBK_BUTTON_KIND));
    CNBKPageObject* page = book.CreatePage(NBK_PAGE_KIND);
    CNBKTextObject* text = page->CreateTextBlock(0, 0)->GetTextObject();
    if (next != 1) {
      EXPECT_LT(buttons[3]->GetObjID(), buttons[0]->GetObjID()) << "no wrap";
    }
    for (CNBKObject* button : buttons) {
      EXPECT_EQ(text->StartTextButton(button->GetObjID()), 0) << button->GetObjID();
    }
    EXPECT_EQ(text->StartTextButton(page->GetObjID()), -1) << "a page is no button";
    EXPECT_EQ(text->StartTextButton(text->GetObjID()), -1) << "a text is no button";
    EXPECT_EQ(text->StartTextButton(buttons[3]->GetObjID() + 100), -1) << "no such object";
    book.Close();
    std::remove(Path("ids.nbk").c_str());
  }
}

}  // namespace
}  // namespace nbktest
