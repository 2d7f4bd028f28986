#include "apps/nbclip/browser/toolbars.h"

#include "platform/win32/registry.h"

namespace nbclip {

namespace {

std::u16string DefaultValue(const std::u16string& key) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return {};
  WCHAR data[1024];
  DWORD size = sizeof data - sizeof(WCHAR), type = 0;
  std::u16string value;
  if (RegQueryValueExW(h, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
          ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    value.assign(data, size / sizeof(WCHAR));
    while (!value.empty() && value.back() == 0) value.pop_back();
  }
  RegCloseKey(h);
  return value;
}

}  // namespace

std::vector<RegisteredToolbar> RegisteredToolbars() {
  std::vector<RegisteredToolbar> found;
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Internet Explorer\\Toolbar", 0,
                    KEY_READ, &h) != ERROR_SUCCESS) {
    return found;
  }
  for (DWORD i = 0;; ++i) {
    WCHAR name[256];
    DWORD size = 256;
    if (RegEnumValueW(h, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    RegisteredToolbar toolbar;
    toolbar.clsid.assign(name, size);
    toolbar.name = DefaultValue(u"CLSID\\" + toolbar.clsid);
    toolbar.path = DefaultValue(u"CLSID\\" + toolbar.clsid + u"\\InprocServer32");
    found.push_back(std::move(toolbar));
  }
  RegCloseKey(h);
  return found;
}

}  // namespace nbclip
