// The stable text forms of a book behind `nbclip dump`: line-oriented text and JSON. Both show
// every value the file holds, in file order, with object ids as "#n" and jump targets resolved
// to page and block numbers (1-based). docs/nbk-format.md describes the text form.
#pragma once

#include <string>

#include "nbkcreator/model.h"

namespace nbk {

std::string DumpText(const Book& book);
std::string DumpJson(const Book& book);

}  // namespace nbk
