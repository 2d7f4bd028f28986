#include "platform/loader/library.h"

#include <dlfcn.h>

namespace platform::loader {

void* OpenLibrary(std::initializer_list<const char*> names, std::string& error) {
  std::string tried;
  for (const char* name : names) {
    if (!name || !*name) continue;
    // Never closed: the library's functions are kept for the life of the process. RTLD_LOCAL
    // keeps its symbols out of the way of later libraries.
    if (void* library = dlopen(name, RTLD_LAZY | RTLD_LOCAL)) return library;
    const char* why = dlerror();
    if (!tried.empty()) tried += "; ";
    tried += why ? why : name;
  }
  error = tried.empty() ? "no library named" : tried;
  return nullptr;
}

void* FindSymbol(void* library, const char* symbol, std::string& error) {
  if (!library) return nullptr;
  dlerror();
  void* address = dlsym(library, symbol);
  if (!address) {
    if (!error.empty()) error += "; ";
    error += "no symbol ";
    error += symbol;
  }
  return address;
}

}  // namespace platform::loader
