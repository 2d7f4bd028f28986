// What the parser's fuzz targets share: a scratch folder for the book and the cache (set as
// TMPDIR once), and UTF-16 text as the parser takes it.
#pragma once

#include <cstdlib>
#include <string>

#include "platform/com/com.h"

namespace fuzzbook {

inline const unsigned short* W(const std::u16string& s) {
  return reinterpret_cast<const unsigned short*>(s.c_str());
}

// The design every fuzzed book is made with.
inline std::u16string Design() {
  return platform::com::Utf8ToUtf16(NB_SHARE_DIR "/Vantor Shared/EnjoyNubra/Designs/Standard.nbk");
}

inline std::u16string Folder() {
  static std::u16string folder = [] {
    char pattern[] = "/tmp/fuzz-book-XXXXXX";
    const char* made = mkdtemp(pattern);
    setenv("TMPDIR", made, 1);
    return platform::com::Utf8ToUtf16(made);
  }();
  return folder;
}

}  // namespace fuzzbook
