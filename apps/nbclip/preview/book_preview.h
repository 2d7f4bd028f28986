// The preview of a book: one self-contained HTML document (images embedded, no script, no
// network) that shows the book as the reader would: the cover, the table of contents, then each
// page at the design's width with its margins and colours, its blocks in order at their
// locations, and the text with every attribute change, command, button and inline image it
// carries. What the preview cannot show is marked visibly (class "nbk-mark"), never dropped.
#pragma once

#include <cstddef>
#include <ostream>

#include "contracts/NBKReader.h"

namespace nbclip::preview {

struct PreviewStats {
  std::size_t pages = 0;
  std::size_t blocks = 0;  // text and image blocks
  std::size_t images = 0;  // images shown, in blocks and inline
  std::size_t marks = 0;   // items the preview could not show
};

// Writes the preview of book to out. The caller checks out's state.
PreviewStats WritePreview(const nbk::Book& book, std::ostream& out);

}  // namespace nbclip::preview
