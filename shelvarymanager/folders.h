// Where the default book goes: the user's save folder and the standard design.
#pragma once

#include <string>

namespace shelvary {

// A path given by the system, with '\' as a separator, as a native path.
std::string NativePath(const std::u16string& path);

// The user's documents folder (XDG_DOCUMENTS_DIR, else ~/Documents), without a trailing
// separator; "" when it cannot be found.
std::string DocumentsFolder();

// The user's default save folder: the documents folder, then "EnjoyNubra". "" when the
// documents folder cannot be found.
std::string DefaultSaveFolder();

// The installed designs folder, with a trailing separator.
std::string DesignsFolder();

// The standard design: the first "*.nbk" of the designs folder by name; "" when none is
// installed.
std::string StandardDesign();

}  // namespace shelvary
