// The NBK reader on arbitrary bytes: it must reject or read them, never crash. Each input is
// read twice, the second time without checksums, so mutations reach the section decoders.
// Every book read is also dumped and previewed, whatever its streams hold.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "apps/nbclip/preview/book_preview.h"
#include "nbkcreator/dump.h"
#include "nbkcreator/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (bool verify : {true, false}) {
    std::string error;
    auto book = nbk::ParseBook({data, size}, error, verify);
    if (book) {
      std::ostringstream preview;
      nbclip::preview::WritePreview(*book, preview);
      volatile std::size_t n =
          nbk::DumpText(*book).size() + nbk::DumpJson(*book).size() + preview.str().size();
      (void)n;
    } else if (error.empty()) {
      __builtin_trap();  // a rejection always says why
    }
  }
  return 0;
}
