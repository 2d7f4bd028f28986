// The toolbars the browser shows: the classes named under HKEY_LOCAL_MACHINE
// "Software\Microsoft\Internet Explorer\Toolbar", with what HKEY_CLASSES_ROOT says of each.
#pragma once

#include <string>
#include <vector>

namespace nbclip {

struct RegisteredToolbar {
  std::u16string clsid;  // in braces, as the value is named
  std::u16string name;   // the class key's default value; may be empty
  std::u16string path;   // InprocServer32's default value; empty when the class is not there
};

std::vector<RegisteredToolbar> RegisteredToolbars();

}  // namespace nbclip
