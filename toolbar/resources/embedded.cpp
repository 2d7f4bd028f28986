#include "toolbar/resources/embedded.h"

#include <cstdio>
#include <string>

// Defined by the source that embed.py writes from ToolBar4N.res.
extern const unsigned char ToolBar4NRes[];
extern const std::size_t ToolBar4NRes_size;

std::span<const unsigned char> ToolBar4NResourceData() {
  return {ToolBar4NRes, ToolBar4NRes_size};
}

BOOL RegisterToolBar4NResources(HINSTANCE module) {
  std::span<const unsigned char> data = ToolBar4NResourceData();
  std::string error;
  if (platform::ui::RegisterResourceFile(module, data.data(), data.size(), &error)) return TRUE;
  std::fprintf(stderr, "ToolBar4N: the embedded resources cannot be read: %s\n", error.c_str());
  return FALSE;
}

void UnregisterToolBar4NResources(HINSTANCE module) {
  platform::ui::UnregisterResources(module);
}
