// The book list as the toolbar sees it: the default entry, edits, persistence, damaged and
// missing files.
#include <gtest/gtest.h>

#include "shelvarymanager/book_list_file.h"
#include "test_env.h"

namespace shelvary_test {
namespace {

using Titles_t = std::vector<std::string>;

TEST_F(ShelvaryTest, FreshInstallHoldsAWorkingDefaultBook) {
  WriteBytes(designs / "Standard.nbk", "design");
  WriteBytes(designs / "Fancy.nbk", "design");
  WriteBytes(designs / "Aaa.txt", "not a design");
  CShelvaryManager m;
  EXPECT_EQ(Start(m), SHELVARY_OK);

  ASSERT_EQ(Count(m), 1);
  CShelvaryInfo* book = m.GetCurrentInfo();
  ASSERT_NE(book, nullptr);
  EXPECT_EQ(book, m.GetInfo(0));
  EXPECT_EQ(m.GetCurrentIndex(), 0);
  EXPECT_EQ(U8(book->GetTitle()), "マイブック");
  EXPECT_EQ(U8(book->GetTitleRead()), "マイブック");
  EXPECT_EQ(U8(book->GetAuthor()), "");
  EXPECT_EQ(U8(book->GetBookID()), "FBJPTB0000000001");
  // The bare file name lands in the save folder, which exists so the writer can make the book.
  EXPECT_EQ(U8(book->GetNBKFileName()), (docs / "EnjoyNubra" / "マイブック.nbk").string());
  EXPECT_TRUE(fs::is_directory(docs / "EnjoyNubra"));
  // The design is the first installed design by name, as the new-book dialog proposes.
  EXPECT_EQ(U8(book->GetDesignFileName()), (designs / "Fancy.nbk").string());

  // The list file and its folder were created, holding the default book.
  auto onDisk = shelvary::LoadBookListFile(listPath.string());
  ASSERT_EQ(onDisk.status, shelvary::LoadStatus::kOk);
  ASSERT_EQ(onDisk.books.size(), 1u);
  EXPECT_EQ(onDisk.books[0], *book);
}

TEST_F(ShelvaryTest, DefaultBookEdgeCases) {
  {
    SCOPED_TRACE("a full path is kept; no design installed gives no design");
    CShelvaryManager m;
    m.SetDefaultInfo(u"t", u"", u"", u"", u"id", u"/elsewhere/book.nbk");
    m.Read(U16(listPath.string()).c_str());
    EXPECT_EQ(U8(m.GetCurrentInfo()->GetNBKFileName()), "/elsewhere/book.nbk");
    EXPECT_EQ(U8(m.GetCurrentInfo()->GetDesignFileName()), "");
  }
  {
    SCOPED_TRACE("a Windows path with backslashes is not a bare name");
    CShelvaryManager m;
    m.SetDefaultInfo(u"t", u"", u"", u"", u"id", u"C:\\books\\book.nbk");
    EXPECT_EQ(U8(m.GetCurrentInfo()->GetNBKFileName()), "C:\\books\\book.nbk");
  }
  {
    SCOPED_TRACE("without XDG_DOCUMENTS_DIR the documents folder is ~/Documents");
    ::unsetenv("XDG_DOCUMENTS_DIR");
    CShelvaryManager m;
    m.SetDefaultInfo(u"t", u"", u"", u"", u"id", u"b.nbk");
    EXPECT_EQ(U8(m.GetCurrentInfo()->GetNBKFileName()),
              (root / "Documents/EnjoyNubra/b.nbk").string());
  }
  {
    SCOPED_TRACE("before Read, and without a default, there is still a current entry");
    CShelvaryManager m;
    ASSERT_NE(m.GetCurrentInfo(), nullptr);
    EXPECT_EQ(U8(m.GetCurrentInfo()->GetTitle()), "");
    EXPECT_EQ(Count(m), 1);
  }
}

TEST_F(ShelvaryTest, BooksSurviveTheBand) {
  {
    CShelvaryManager m;
    Start(m);
    Add(m, "一冊目");
    Add(m, "二冊目");
  }
  CShelvaryManager again;
  EXPECT_EQ(Start(again), SHELVARY_OK);
  EXPECT_EQ(Titles(again), (Titles_t{"マイブック", "一冊目", "二冊目"}));
  CShelvaryInfo* second = again.GetInfo(2);
  EXPECT_EQ(U8(second->GetTitleRead()), "ヨミ");
  EXPECT_EQ(U8(second->GetAuthor()), "著者");
  EXPECT_EQ(U8(second->GetAuthorRead()), "チョシャ");
  EXPECT_EQ(U8(second->GetBookID()), "ID-二冊目");
  EXPECT_EQ(U8(second->GetNBKFileName()), "/books/二冊目.nbk");
  EXPECT_EQ(U8(second->GetDesignFileName()), "/designs/a.nbk");
}

// One edit of a table case: add a titled book, delete a row, or make a row current.
struct Edit {
  enum { kAdd, kDelete, kSelect } kind;
  std::string title;
  int index;
  int result;
};
Edit AddBook(std::string t) {
  return {Edit::kAdd, std::move(t), 0, SHELVARY_OK};
}
Edit Delete(int i, int result = SHELVARY_OK) {
  return {Edit::kDelete, "", i, result};
}
Edit Select(int i, int result = SHELVARY_OK) {
  return {Edit::kSelect, "", i, result};
}

struct EditCase {
  const char* name;
  std::vector<Edit> edits;
  Titles_t titles;
  int current;
};

TEST_F(ShelvaryTest, EditsKeepTheListAndTheCurrentRowValid) {
  const EditCase cases[] = {
      {"add makes the new book current", {AddBook("A"), AddBook("B")}, {"マイブック", "A", "B"}, 2},
      {"add after selecting still ends on the new book",
       {AddBook("A"), Select(0), AddBook("B")},
       {"マイブック", "A", "B"},
       2},
      {"deleting before the current row keeps the current book",
       {AddBook("A"), AddBook("B"), Delete(0)},
       {"A", "B"},
       1},
      {"deleting after the current row keeps it",
       {AddBook("A"), AddBook("B"), Select(0), Delete(2)},
       {"マイブック", "A"},
       0},
      {"deleting the current row moves to the row that took its place",
       {AddBook("A"), AddBook("B"), Select(1), Delete(1)},
       {"マイブック", "B"},
       1},
      {"deleting the current last row moves to the new last row",
       {AddBook("A"), AddBook("B"), Delete(2)},
       {"マイブック", "A"},
       1},
      {"deleting the last book returns to the default", {Delete(0)}, {"マイブック"}, 0},
      {"deleting every book returns to the default",
       {AddBook("A"), Delete(0), Delete(0)},
       {"マイブック"},
       0},
      {"indexes outside the list change nothing",
       {AddBook("A"), Select(0), Delete(2, SHELVARY_E_INDEX), Delete(-1, SHELVARY_E_INDEX),
        Select(-1, SHELVARY_E_INDEX), Select(2, SHELVARY_E_INDEX)},
       {"マイブック", "A"},
       0},
      {"two equal books: deleting one keeps the other",
       {AddBook("A"), AddBook("A"), Delete(2)},
       {"マイブック", "A"},
       1},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(listPath);
    {
      CShelvaryManager m;
      Start(m);
      for (const Edit& e : c.edits) {
        int result = 0;
        switch (e.kind) {
          case Edit::kAdd:
            Add(m, e.title);
            continue;
          case Edit::kDelete:
            result = m.DeleteInfo(e.index);
            break;
          case Edit::kSelect:
            result = m.SetCurrentIndex(e.index);
            break;
        }
        EXPECT_EQ(result, e.result) << "edit at index " << e.index;
      }
      EXPECT_EQ(Titles(m), c.titles);
      EXPECT_EQ(m.GetCurrentIndex(), c.current);
      EXPECT_EQ(m.GetCurrentInfo(), m.GetInfo(c.current));
    }
    CShelvaryManager reread;
    Start(reread);
    EXPECT_EQ(Titles(reread), c.titles) << "after reading the file again";
  }
}

TEST_F(ShelvaryTest, OutsideEntryIsEmptyAndNeverNull) {
  CShelvaryManager m;
  Start(m);
  for (int index : {-1, 1, 1000, INT32_MIN}) {
    CShelvaryInfo* info = m.GetInfo(index);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(U8(info->GetTitle()), "");
    EXPECT_EQ(U8(info->GetNBKFileName()), "");
    EXPECT_EQ(U8(info->GetDesignFileName()), "");
  }
  m.GetInfo(5)->m_strTitle = u"written by a caller";
  EXPECT_EQ(U8(m.GetInfo(5)->GetTitle()), "");
}

TEST_F(ShelvaryTest, NullStringsCountAsEmpty) {
  CShelvaryManager m;
  Start(m);
  EXPECT_EQ(m.AddNewInfo(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            SHELVARY_OK);
  EXPECT_EQ(Count(m), 2);
  EXPECT_EQ(U8(m.GetCurrentInfo()->GetTitle()), "");
  EXPECT_EQ(m.Read(nullptr), SHELVARY_E_IO);
  EXPECT_EQ(Count(m), 1);
}

TEST_F(ShelvaryTest, EmptyOrBookLessFileGivesTheDefault) {
  for (const char* content : {"", "  \n", "<?xml version=\"1.0\"?><ShelvaryList version=\"1\"/>"}) {
    SCOPED_TRACE(content);
    fs::create_directories(listFolder);
    WriteBytes(listPath, content);
    CShelvaryManager m;
    EXPECT_EQ(Start(m), SHELVARY_OK);
    EXPECT_EQ(Titles(m), (Titles_t{"マイブック"}));
    EXPECT_TRUE(FilesStartingWith(listFolder, "ToolBar4NEval.xml.damaged").empty());
    // The file now says so.
    auto onDisk = shelvary::LoadBookListFile(listPath.string());
    EXPECT_EQ(onDisk.status, shelvary::LoadStatus::kOk);
    EXPECT_EQ(onDisk.books.size(), 1u);
  }
}

TEST_F(ShelvaryTest, DamagedFileIsKeptAsideAndReportedOnce) {
  const std::string damaged = "<ShelvaryList><Book title=\"lost?\"";
  fs::create_directories(listFolder);
  WriteBytes(listPath, damaged);

  CShelvaryManager m;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Start(m), SHELVARY_E_DAMAGED);
  std::string report = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find("ToolBar4NEval.xml"), std::string::npos) << report;
  EXPECT_EQ(Titles(m), (Titles_t{"マイブック"}));

  auto aside = FilesStartingWith(listFolder, "ToolBar4NEval.xml.damaged-");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadBytes(listFolder / aside[0]), damaged);
  EXPECT_NE(report.find(aside[0]), std::string::npos) << report;

  // The new file is sound, so the next band reads it quietly.
  CShelvaryManager next;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Start(next), SHELVARY_OK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  // A second damaged file within the same second never replaces the first one set aside.
  WriteBytes(listPath, "garbage 2");
  CShelvaryManager third;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Start(third), SHELVARY_E_DAMAGED);
  ::testing::internal::GetCapturedStderr();
  aside = FilesStartingWith(listFolder, "ToolBar4NEval.xml.damaged-");
  ASSERT_EQ(aside.size(), 2u);
  std::vector<std::string> contents{ReadBytes(listFolder / aside[0]),
                                    ReadBytes(listFolder / aside[1])};
  std::sort(contents.begin(), contents.end());
  EXPECT_EQ(contents, (std::vector<std::string>{damaged, "garbage 2"}));
}

TEST_F(ShelvaryTest, FileDamagedOrRemovedDuringTheSessionLosesNothing) {
  CShelvaryManager m;
  Start(m);
  Add(m, "A");
  {
    SCOPED_TRACE("damaged behind our back");
    WriteBytes(listPath, "\x01\x02 not xml");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(m.AddNewInfo(u"B", u"", u"", u"", u"", u"", u""), SHELVARY_OK);
    EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(FilesStartingWith(listFolder, "ToolBar4NEval.xml.damaged-").size(), 1u);
    CShelvaryManager reread;
    Start(reread);
    EXPECT_EQ(Titles(reread), (Titles_t{"マイブック", "A", "B"}));
  }
  {
    SCOPED_TRACE("removed behind our back");
    fs::remove(listPath);
    EXPECT_EQ(m.AddNewInfo(u"C", u"", u"", u"", u"", u"", u""), SHELVARY_OK);
    CShelvaryManager reread;
    Start(reread);
    EXPECT_EQ(Titles(reread), (Titles_t{"マイブック", "A", "B", "C"}));
  }
}

TEST_F(ShelvaryTest, UnreadableFileIsNeverWrittenOver) {
  fs::create_directories(listPath);  // a folder where the file should be: it cannot be read
  fs::path inside = listPath / "keep";
  WriteBytes(inside, "x");
  CShelvaryManager m;
  EXPECT_EQ(Start(m), SHELVARY_E_IO);
  EXPECT_EQ(Titles(m), (Titles_t{"マイブック"}));
  EXPECT_EQ(m.AddNewInfo(u"A", u"", u"", u"", u"", u"", u""), SHELVARY_E_IO);
  // The band still shows the book; nothing on disk was touched.
  EXPECT_EQ(Titles(m), (Titles_t{"マイブック", "A"}));
  EXPECT_EQ(m.GetCurrentIndex(), 1);
  EXPECT_TRUE(fs::is_directory(listPath));
  EXPECT_EQ(ReadBytes(inside), "x");
}

TEST_F(ShelvaryTest, ChangeThatCouldNotBeSavedIsSavedByTheNextOne) {
  CShelvaryManager m;
  Start(m);
  // Something in the way of the file written beside the list makes the save fail.
  fs::path blocker = listFolder / ("ToolBar4NEval.xml.tmp-" + std::to_string(::getpid()));
  fs::create_directories(blocker / "x");
  EXPECT_EQ(m.AddNewInfo(u"A", u"", u"", u"", u"", u"", u""), SHELVARY_E_IO);
  EXPECT_EQ(Titles(m), (Titles_t{"マイブック", "A"}));
  EXPECT_EQ(shelvary::LoadBookListFile(listPath.string()).books.size(), 1u);

  fs::remove_all(blocker);
  EXPECT_EQ(m.AddNewInfo(u"B", u"", u"", u"", u"", u"", u""), SHELVARY_OK);
  CShelvaryManager reread;
  Start(reread);
  EXPECT_EQ(Titles(reread), (Titles_t{"マイブック", "A", "B"}));
}

TEST_F(ShelvaryTest, LinkedListFileStaysLinked) {
  fs::create_directories(listFolder);
  for (bool dangling : {false, true}) {
    SCOPED_TRACE(dangling ? "dangling link" : "link to a list");
    fs::path target = root / (dangling ? "elsewhere-new.xml" : "elsewhere.xml");
    if (!dangling) {
      CShelvaryManager first;
      first.Read(U16(target.string()).c_str());
    }
    fs::remove(listPath);
    fs::create_symlink(target, listPath);
    CShelvaryManager m;
    Start(m);
    Add(m, "A");
    EXPECT_TRUE(fs::is_symlink(listPath));
    EXPECT_EQ(shelvary::LoadBookListFile(target.string()).books.size(), 2u);
  }
}

TEST_F(ShelvaryTest, TwoBandsInOneProcessKeepEachOthersBooks) {
  CShelvaryManager left, right;
  Start(left);
  Start(right);
  Add(left, "L1");
  Add(right, "R1");  // right re-reads the file first, so L1 is kept
  EXPECT_EQ(Titles(right), (Titles_t{"マイブック", "L1", "R1"}));
  EXPECT_EQ(right.GetCurrentIndex(), 2);

  // left still shows [D, L1]; deleting its row 0 deletes the default book, not what is row 0
  // for someone else, and keeps R1.
  EXPECT_EQ(left.DeleteInfo(0), SHELVARY_OK);
  EXPECT_EQ(Titles(left), (Titles_t{"L1", "R1"}));

  // right deletes the default book too, which is gone already: nothing else goes with it.
  EXPECT_EQ(right.DeleteInfo(0), SHELVARY_OK);
  EXPECT_EQ(Titles(right), (Titles_t{"L1", "R1"}));
  EXPECT_EQ(U8(right.GetCurrentInfo()->GetTitle()), "R1");

  // Each band's current book is its own.
  left.SetCurrentIndex(0);
  right.SetCurrentIndex(1);
  EXPECT_EQ(U8(left.GetCurrentInfo()->GetTitle()), "L1");
  EXPECT_EQ(U8(right.GetCurrentInfo()->GetTitle()), "R1");
}

}  // namespace
}  // namespace shelvary_test
