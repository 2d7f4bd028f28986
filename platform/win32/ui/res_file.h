// The compiled resource file (.res) that a resource compiler writes: a marker entry, then one
// entry per resource (a header with the sizes, type, name and language, then the data), each
// aligned to 4 bytes. The reader understands string tables, dialog templates (DIALOG and
// DIALOGEX), menus (MENU and MENUEX), bitmaps, and icon and cursor groups; other types and
// resources named by text are skipped. Untrusted bytes: every length and offset is checked
// against the data, and anything inconsistent rejects the whole file.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/ui/resources.h"

namespace platform::ui {

struct ResourceImage {
  UINT type = 0;  // IMAGE_BITMAP, IMAGE_ICON or IMAGE_CURSOR
  UINT id = 0;    // the bitmap's, or the icon or cursor group's
  // A bitmap's own size; for a group, the size of its first image.
  int width = 0, height = 0;
  int bitCount = 0;
  int imageCount = 1;  // the images of a group
  // A bitmap's device-independent form (header, colour table, pixel rows bottom-up when the
  // height is positive); for a group, the data of its first image.
  std::vector<unsigned char> bits{};
};

struct ResourceFile {
  std::vector<std::pair<UINT, std::u16string>> strings{};  // empty strings are absent
  std::vector<std::pair<UINT, DialogTemplate>> dialogs{};
  std::vector<std::pair<UINT, MenuTemplate>> menus{};
  std::vector<ResourceImage> images{};
};

// Reads the whole file. On failure returns nothing and, when error is given, says what was
// wrong and at which offset.
std::optional<ResourceFile> ParseResourceFile(std::span<const unsigned char> data,
                                              std::string* error = nullptr);

}  // namespace platform::ui
