// Every result of CNBParser (and of the writer, which it passes on) as a sentence for the
// user: one table, so that every host says the same thing for the same result. The sentences
// are complete clauses without a final full stop ("the drive has too little free space for
// the book"), to follow what the host was doing ("cannot open the book: ...").
#pragma once

#include <string_view>

#include "contracts/NBKCreator.h"
#include "parser/facade/NBParser.h"

// Which call gave the result: the same small numbers mean different things in different calls.
enum class NBOperation {
  kOpenBook,          // CreateNewBook, OpenBook
  kAddPage,           // AddPage of a loaded document
  kAddPageByAddress,  // AddPage of an address
  kFinalizeBook,      // FinalizeBook
  kImage,             // the code of NBProgress::kImageDropped
};

struct NBResultRow {
  NBOperation operation;
  bool anyOperation;  // the code means the same in every call
  int code;
  std::string_view name;
  std::string_view sentence;
};

inline constexpr NBResultRow kNBResultTable[] = {
    // The writer's results (passed on by CreateNewBook, OpenBook, FinalizeBook).
    {NBOperation::kOpenBook, false, NBK_ERR_BAD_CALL, "NBP_ERR_FAILED",
     "the design file cannot be used (it is missing or holds no design)"},
    {NBOperation::kFinalizeBook, false, NBK_ERR_BAD_CALL, "NBK_ERR_BAD_CALL",
     "no book was open to be written"},
    {NBOperation::kOpenBook, true, NBK_ERR_NOT_NBK, "NBK_ERR_NOT_NBK",
     "the file is not a book that pages can be added to (damaged, cut short, or no book at "
     "all); it was left as it was"},
    {NBOperation::kOpenBook, true, NBK_ERR_IO, "NBK_ERR_IO",
     "the file system refused (the folder is missing or cannot be written to)"},
    {NBOperation::kOpenBook, true, NBK_ERR_LOCKED, "NBK_ERR_LOCKED",
     "another writer kept the book longer than a writer waits for it (120 s); nothing was "
     "changed; try again when that writer has finished"},
    {NBOperation::kOpenBook, true, NBK_ERR_TOO_LARGE, "NBK_ERR_TOO_LARGE",
     "a page is too large for the book format (a page may take at most 256 MiB of the file); "
     "the book was left as it was"},
    {NBOperation::kOpenBook, true, NBK_ERR_NOT_A_FILE, "NBK_ERR_NOT_A_FILE",
     "the book's name is a folder, FIFO or device, not a file"},
    {NBOperation::kOpenBook, true, NBK_ERR_IN_THE_WAY, "NBK_ERR_IN_THE_WAY",
     "a file beside the book (BOOK.nbk.new or BOOK.nbk.lock) is not the writer's own; move it "
     "away and try again"},
    {NBOperation::kOpenBook, true, NBK_ERR_DISK_FULL, "NBK_ERR_DISK_FULL",
     "there is not enough room for the book (the drive is full, or the file would be larger "
     "than allowed); the book was left as it was"},
    // The parser's own.
    {NBOperation::kAddPage, false, NBP_ERR_FAILED, "NBP_ERR_FAILED",
     "no internet session could be had"},
    {NBOperation::kAddPageByAddress, false, NBP_ERR_FAILED, "NBP_ERR_FAILED",
     "the page cannot be loaded (an address other than http:// or file://, or it could not be "
     "opened or read)"},
    {NBOperation::kAddPageByAddress, false, NBP_ERR_NO_COPY, "NBP_ERR_NO_COPY",
     "no copy of the page could be made in the temporary folder"},
    {NBOperation::kAddPageByAddress, false, NBP_ERR_NO_DOCUMENT, "NBP_ERR_NO_DOCUMENT",
     "no document could be made of the page"},
    {NBOperation::kOpenBook, true, NBP_ERR_NO_TEMP_FOLDER, "NBP_ERR_NO_TEMP_FOLDER",
     "there is no private temporary folder for the downloads (see TMPDIR)"},
    {NBOperation::kOpenBook, true, NBP_ERR_PAGE_CUT, "NBP_ERR_PAGE_CUT",
     "the page arrived only in part, or the temporary folder had no room for it"},
    {NBOperation::kOpenBook, true, NBP_ERR_TIME_UP, "NBP_ERR_TIME_UP",
     "the time for the page's downloads ran out"},
    {NBOperation::kOpenBook, true, NBP_ERR_IMAGE_COUNT, "NBP_ERR_IMAGE_COUNT",
     "the page has more images than one page may have; the rest are left out"},
    {NBOperation::kOpenBook, true, NBP_ERR_IMAGE_BYTES, "NBP_ERR_IMAGE_BYTES",
     "the page's images together are larger than one page's may be; the rest are left out"},
    {NBOperation::kOpenBook, true, NBP_ERR_IMAGE_TOO_LARGE, "NBP_ERR_IMAGE_TOO_LARGE",
     "the image is larger than an image may be (64 MiB)"},
    {NBOperation::kOpenBook, true, NBP_ERR_CACHE_FULL, "NBP_ERR_CACHE_FULL",
     "the temporary folder had no room for the image"},
    {NBOperation::kOpenBook, true, NBP_ERR_IMAGE_BROKEN, "NBP_ERR_IMAGE_BROKEN",
     "the image could not be downloaded whole"},
};

// The row for a result of an operation, or nullptr for a result no row knows (0 included).
inline const NBResultRow* FindResult(NBOperation operation, int code) {
  for (const NBResultRow& row : kNBResultTable) {
    if (row.code == code && !row.anyOperation && row.operation == operation) return &row;
  }
  for (const NBResultRow& row : kNBResultTable) {
    if (row.code == code && row.anyOperation) return &row;
  }
  return nullptr;
}

// The sentence for a result; "an unexpected failure" for one no row knows.
inline std::string_view ResultSentence(NBOperation operation, int code) {
  const NBResultRow* row = FindResult(operation, code);
  return row ? row->sentence : std::string_view("an unexpected failure");
}
