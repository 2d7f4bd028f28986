// Feeds arbitrary page bytes to the charset sniffing and the two byte converters: nothing may
// read or write out of bounds, and the converters must stay within twice their input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "parser/loading/Loading.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text(data, data + size);  // each byte as one character, as ASCII text reads
  std::optional<std::u16string> name = CharsetNameInChunk(text);
  if (name) CharsetCodeFromName(*name);
  CharsetCodeFromName(text);

  std::string in(reinterpret_cast<const char*>(data), size);
  in.resize(std::strlen(in.c_str()));  // the converters read up to the first zero byte
  std::vector<char> out(in.size() * 2 + 1);
  for (auto convert : {&EucToShiftJis, &JisToShiftJis}) {
    std::size_t n = convert(out.data(), in.c_str());
    if (n > in.size() * 2 || out[n] != 0) std::abort();
  }
  return 0;
}
