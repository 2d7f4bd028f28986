// Design files: NBK files of kind "design" that carry a DSGN section. The build makes the
// standard design from a small source description (designs/*.design) with nbkdesign.
#pragma once

#include <string>

#include "nbkcreator/model.h"

namespace nbk {

// "key = value" lines; '#' starts a comment. Keys: name, page-width, page-height, margin-top,
// margin-right, margin-bottom, margin-left, font-size, text-colour, background-colour. Numbers
// are decimal or 0x hex. Every key is required once; the result must be a sane design.
bool ParseDesignSource(const std::string& text, Design& design, std::string& error);
// Writes a design file (header, DSGN, END) through a new file renamed into place.
bool WriteDesignFile(const std::string& path, const Design& design, std::string& error);

}  // namespace nbk
