// The host reads JSON that a browser extension sends: any bytes must be refused with a reason or
// read, and what is read must come back unchanged through the writer and the reader again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "apps/nbclip/native_messaging.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  auto value = nbclip::nm::Parse(text, error);
  if (!value) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  std::string written = nbclip::nm::Write(*value);
  auto again = nbclip::nm::Parse(written, error);
  if (!again || nbclip::nm::Write(*again) != written) __builtin_trap();
  if (value->IsObject()) {
    (void)nbclip::nm::CheckFields(*value, {{"kind", nbclip::nm::Kind::kString, true, 32},
                                           {"id", nbclip::nm::Kind::kInteger, false, 0, 0, 65535}});
  }
  return 0;
}
