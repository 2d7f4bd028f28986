// The stable text forms of a book behind `nbclip dump`: line-oriented text and JSON. Both show
// every value the file holds, in file order, with object ids as "#n" and jump targets resolved
// to page and block numbers (1-based). docs/nbk-format.md describes the text form. DumpText and
// DumpJson are declared in the public reader header.
#pragma once

#include "nbkcreator/model.h"
