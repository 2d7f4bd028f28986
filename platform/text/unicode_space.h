// Unicode's White_Space set, what trimming counts as blank beyond ASCII: the engine trims text
// with it and the document model answers "is there shown text?" with the same set.
#pragma once

namespace platform::text {

constexpr bool IsUnicodeSpace(char16_t c) {
  if (c == u' ' || (c >= u'\t' && c <= u'\r')) return true;
  switch (c) {
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

}  // namespace platform::text
