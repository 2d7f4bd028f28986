// Modules over dlopen/dladdr: LoadLibrary with the module entry, FreeLibrary, exports, module
// handles and paths.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "platform/com/com.h"
#include "platform/win32/kernel.h"

namespace {

thread_local std::string t_load_error;

// The main program's load address: the first object dl_iterate_phdr reports.
HMODULE ProgramBase() {
  static HMODULE base = [] {
    ElfW(Addr) found = 0;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
          ElfW(Addr) lowest = ~ElfW(Addr){0};
          for (int i = 0; i < info->dlpi_phnum; ++i) {
            if (info->dlpi_phdr[i].p_type == PT_LOAD && info->dlpi_phdr[i].p_vaddr < lowest) {
              lowest = info->dlpi_phdr[i].p_vaddr;
            }
          }
          *static_cast<ElfW(Addr)*>(data) =
              info->dlpi_addr + (lowest == ~ElfW(Addr){0} ? 0 : lowest);
          return 1;  // only the first object
        },
        &found);
    return reinterpret_cast<HMODULE>(found);
  }();
  return base;
}

std::string ModulePath(HMODULE module) {
  if (!module || module == ProgramBase()) {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  }
  Dl_info info{};
  if (!dladdr(module, &info) || info.dli_fbase != module || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved)) return resolved;
  return info.dli_fname;
}

// The folder of libPlatform.so, where the platform's own libraries (hhctrl.ocx) are built.
std::string PlatformFolder() {
  std::string path = ModulePath(
      platform::win32::ModuleFromAddress(reinterpret_cast<const void*>(&PlatformFolder)));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NarrowPath(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

// A bare file name is the platform's own library when there is one; otherwise the dynamic
// linker searches for it (LD_LIBRARY_PATH, the run paths, the system folders), which never
// includes the current folder.
std::string Resolve(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  std::string folder = PlatformFolder();
  if (!folder.empty()) {
    std::string own = folder + "/" + name;
    if (access(own.c_str(), F_OK) == 0) return own;
  }
  return name;
}

HMODULE BaseOf(void* handle) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) return nullptr;
  return reinterpret_cast<HMODULE>(map->l_addr);
}

// dlsym on a library handle also searches the libraries it links; an export is the module's own
// only when it lies inside the module.
void* OwnSymbol(void* handle, HMODULE module, const char* name) {
  void* sym = dlsym(handle, name);
  Dl_info info{};
  if (!sym || !dladdr(sym, &info) || info.dli_fbase != module) return nullptr;
  return sym;
}

// What LoadLibrary loaded: the dlopen reference it holds, the LoadLibrary count and the entry.
struct Loaded {
  void* handle = nullptr;
  int refs = 0;
  DllEntryFunction entry = nullptr;
};

struct Loader {
  std::recursive_mutex lock;  // a module entry may load or free libraries itself
  std::map<HMODULE, Loaded> modules;
};

Loader& L() {
  static Loader* loader = new Loader;
  return *loader;
}

bool Enter(DllEntryFunction entry, HMODULE module, DWORD reason) {
  try {
    return entry(module, reason, nullptr) != FALSE;
  } catch (...) {
    return false;  // an exception out of the entry is a refusal
  }
}

HMODULE Load(const std::string& name) {
  auto& loader = L();
  std::lock_guard guard(loader.lock);
  std::string path = Resolve(name);
  void* handle = dlopen(path.c_str(), RTLD_NOW);
  if (!handle) {
    const char* why = dlerror();
    t_load_error = why ? why : path + ": cannot be loaded";
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  HMODULE module = BaseOf(handle);
  if (!module) {
    dlclose(handle);
    t_load_error = path + ": no link map";
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (auto it = loader.modules.find(module); it != loader.modules.end()) {
    ++it->second.refs;
    dlclose(handle);  // the table keeps one dlopen reference per module
    return module;
  }
  auto entry = reinterpret_cast<DllEntryFunction>(OwnSymbol(handle, module, "DllMain"));
  loader.modules[module] = Loaded{handle, 1, entry};
  if (entry && !Enter(entry, module, DLL_PROCESS_ATTACH)) {
    Enter(entry, module, DLL_PROCESS_DETACH);
    loader.modules.erase(module);
    dlclose(handle);
    t_load_error = path + ": its module entry refused to attach";
    SetLastError(ERROR_DLL_INIT_FAILED);
    return nullptr;
  }
  return module;
}

}  // namespace

namespace platform::win32 {
HMODULE ModuleFromAddress(const void* address) {
  Dl_info info{};
  if (!address || !dladdr(address, &info)) return nullptr;
  return static_cast<HMODULE>(info.dli_fbase);
}

std::string LastLoadError() {
  return t_load_error;
}
}  // namespace platform::win32

HMODULE LoadLibraryW(LPCWSTR path) {
  if (!path || !*path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Load(NarrowPath(platform::com::Utf16ToUtf8(path)));
}

HMODULE LoadLibraryA(LPCSTR path) {
  if (!path || !*path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Load(NarrowPath(path));
}

BOOL FreeLibrary(HMODULE module) {
  auto& loader = L();
  std::lock_guard guard(loader.lock);
  auto it = loader.modules.find(module);
  if (it == loader.modules.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--it->second.refs > 0) return TRUE;
  Loaded loaded = it->second;
  // The module is still mapped and listed while its entry runs, as on Windows.
  if (loaded.entry) Enter(loaded.entry, module, DLL_PROCESS_DETACH);
  loader.modules.erase(module);
  dlclose(loaded.handle);
  return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string symbol = IS_INTRESOURCE(name)
                           ? "Ordinal" + std::to_string(reinterpret_cast<ULONG_PTR>(name))
                           : std::string(name);
  void* sym = nullptr;
  if (!module || module == ProgramBase()) {
    void* handle = dlopen(nullptr, RTLD_LAZY);
    if (handle) {
      sym = dlsym(handle, symbol.c_str());
      dlclose(handle);
    }
  } else {
    auto& loader = L();
    std::lock_guard guard(loader.lock);
    auto it = loader.modules.find(module);
    if (it != loader.modules.end()) {
      sym = OwnSymbol(it->second.handle, module, symbol.c_str());
    } else {
      // A library the program was linked against, or one mapped by other means.
      std::string path = ModulePath(module);
      void* handle = path.empty() ? nullptr : dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
      if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
      }
      sym = OwnSymbol(handle, module, symbol.c_str());
      dlclose(handle);
    }
  }
  if (!sym) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(sym);
}

HMODULE GetModuleHandleW(LPCWSTR name) {
  if (!name) return ProgramBase();
  std::string path = Resolve(NarrowPath(platform::com::Utf16ToUtf8(name)));
  void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (!handle) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  HMODULE result = BaseOf(handle);
  dlclose(handle);
  if (!result) SetLastError(ERROR_MOD_NOT_FOUND);
  return result;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  std::string path = ModulePath(module);
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::u16string wide = platform::com::Utf8ToUtf16(path);
  if (wide.size() + 1 > size) {
    // Windows (XP and later) truncates, terminates and reports the buffer size.
    std::copy_n(wide.data(), size - 1, buffer);
    buffer[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::copy(wide.begin(), wide.end(), buffer);
  buffer[wide.size()] = 0;
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(wide.size());
}
