// The compiled resource file reader on arbitrary bytes: it must read or refuse them, never
// crash or read past them; a refusal always says why, and what it reads can be declared.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win32/ui/res_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string error;
  auto file = platform::ui::ParseResourceFile({data, size}, &error);
  if (!file) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  auto module = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x5EE00000));
  if (!platform::ui::RegisterResourceFile(module, data, size)) __builtin_trap();
  platform::ui::UnregisterResources(module);
  return 0;
}
