#include "platform/com/inproc.h"

#include <dlfcn.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32/file.h"
#include "platform/win32/registry.h"

namespace platform::com {

namespace {

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);

// The registered module path of clsid, or an empty string.
std::u16string RegisteredPath(REFCLSID clsid) {
  OLECHAR braced[39];
  StringFromGUID2(clsid, braced, 39);
  std::u16string key = u"CLSID\\" + std::u16string(braced) + u"\\InprocServer32";
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != 0) return {};
  DWORD type = 0, size = 0;
  std::u16string path;
  if (RegQueryValueExW(h, nullptr, nullptr, &type, nullptr, &size) == 0 &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size >= 2) {
    std::vector<BYTE> data(size);
    if (RegQueryValueExW(h, nullptr, nullptr, &type, data.data(), &size) == 0) {
      path.assign(reinterpret_cast<const char16_t*>(data.data()), size / 2);
      while (!path.empty() && path.back() == 0) path.pop_back();
    }
  }
  RegCloseKey(h);
  return path;
}

// Loaded servers by native path. They stay loaded for the life of the process: objects they
// made may outlive any one call, and unloading is never asked for.
GetClassObjectFunction Server(const std::string& path) {
  static std::mutex mutex;
  static std::map<std::string, GetClassObjectFunction> servers;
  std::lock_guard lock(mutex);
  auto it = servers.find(path);
  if (it != servers.end()) return it->second;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "com: cannot load %s: %s\n", path.c_str(), dlerror());
    return nullptr;  // not cached: the file may appear later
  }
  auto fn = reinterpret_cast<GetClassObjectFunction>(dlsym(handle, "DllGetClassObject"));
  if (!fn) {
    dlclose(handle);
    return nullptr;
  }
  servers.emplace(path, fn);
  return fn;
}

}  // namespace

HRESULT GetInprocClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  std::u16string path = RegisteredPath(clsid);
  if (path.empty()) return REGDB_E_CLASSNOTREG;
  GetClassObjectFunction fn = Server(platform::win32::ToNativePath(path));
  if (!fn) return CLASS_E_CLASSNOTAVAILABLE;
  HRESULT hr = fn(clsid, riid, ppv);
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

}  // namespace platform::com
