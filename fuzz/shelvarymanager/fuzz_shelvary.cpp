// Any bytes as the book list file: reading never crashes, and a list that was read is written
// and read back unchanged (a book read is a book kept).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shelvarymanager/book_list_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  shelvary::ParseResult first = shelvary::ParseBookList(bytes);
  if (first.status != shelvary::ParseStatus::kOk) return 0;
  shelvary::ParseResult again = shelvary::ParseBookList(shelvary::SerializeBookList(first.books));
  if (again.status != shelvary::ParseStatus::kOk || again.books != first.books) std::abort();
  return 0;
}
