// In-process servers named by the registry: HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 names a
// shared library; it is loaded once (LoadLibrary, so its module entry runs) and its
// DllGetClassObject answers until its DllCanUnloadNow lets it go. Installed as COM's server
// directory when the library loads, so COM itself needs no registry.
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/win32/file.h"
#include "platform/win32/kernel.h"
#include "platform/win32/registry.h"

namespace platform::win32 {

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

using CanUnloadFunction = HRESULT (*)();

struct Server {
  HMODULE module = nullptr;
  GetClassObjectFunction getClassObject = nullptr;
  CanUnloadFunction canUnload = nullptr;  // a server without DllCanUnloadNow stays loaded
};

// Loaded servers by native path, loaded through LoadLibrary so that their module entry runs.
// They stay until CoFreeUnusedLibraries finds that they may go.
struct Servers {
  std::mutex mutex;
  std::map<std::string, Server> loaded;
};

Servers& S() {
  static Servers* servers = new Servers;
  return *servers;
}

GetClassObjectFunction ServerFor(const std::string& path) {
  auto& servers = S();
  std::lock_guard lock(servers.mutex);
  auto it = servers.loaded.find(path);
  if (it != servers.loaded.end()) return it->second.getClassObject;
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) {
    std::fprintf(stderr, "com: cannot load %s: %s\n", path.c_str(), LastLoadError().c_str());
    return nullptr;  // not kept: the file may appear later
  }
  auto fn = reinterpret_cast<GetClassObjectFunction>(GetProcAddress(module, "DllGetClassObject"));
  if (!fn) {
    FreeLibrary(module);
    return nullptr;
  }
  auto canUnload = reinterpret_cast<CanUnloadFunction>(GetProcAddress(module, "DllCanUnloadNow"));
  servers.loaded.emplace(path, Server{module, fn, canUnload});
  return fn;
}

// REGDB_E_CLASSNOTREG when the class is not registered, CLASS_E_CLASSNOTAVAILABLE when the
// library cannot be loaded or exports no DllGetClassObject.
HRESULT GetInprocClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  std::u16string path = RegisteredPath(clsid);
  if (path.empty()) return REGDB_E_CLASSNOTREG;
  GetClassObjectFunction fn = ServerFor(ToNativePath(path));
  if (!fn) return CLASS_E_CLASSNOTAVAILABLE;
  HRESULT hr = fn(clsid, riid, ppv);
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

void FreeUnusedInprocServers() {
  std::vector<HMODULE> unload;
  {
    auto& servers = S();
    std::lock_guard lock(servers.mutex);
    for (auto it = servers.loaded.begin(); it != servers.loaded.end();) {
      if (it->second.canUnload && it->second.canUnload() == S_OK) {
        unload.push_back(it->second.module);
        it = servers.loaded.erase(it);
      } else {
        ++it;
      }
    }
  }
  // Outside the lock: a module entry may create objects of other servers while it detaches.
  for (HMODULE module : unload) FreeLibrary(module);
}

class RegistryServers final : public com::ServerDirectory {
 public:
  HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) override {
    return GetInprocClassObject(clsid, riid, ppv);
  }
  void FreeUnused() override { FreeUnusedInprocServers(); }
};

[[maybe_unused]] const bool g_installed = [] {
  static RegistryServers servers;
  com::SetServerDirectory(&servers);
  return true;
}();

}  // namespace

}  // namespace platform::win32
