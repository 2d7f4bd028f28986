// A library with a module entry, for the loader's tests: each call appends "attach <module>" or
// "detach <module>" to the file $NB_TEST_ENTRY_LOG names, and attaching is refused while
// $NB_TEST_ENTRY_FAIL is set.
#include <cstdio>
#include <cstdlib>

#include "platform/win32/kernel.h"

extern "C" __attribute__((visibility("default"))) BOOL DllMain(HINSTANCE module, DWORD reason,
                                                               LPVOID) {
  if (const char* log = std::getenv("NB_TEST_ENTRY_LOG")) {
    if (FILE* f = std::fopen(log, "a")) {
      const char* what = reason == DLL_PROCESS_ATTACH   ? "attach"
                         : reason == DLL_PROCESS_DETACH ? "detach"
                                                        : "other";
      std::fprintf(f, "%s %p\n", what, static_cast<void*>(module));
      std::fclose(f);
    }
  }
  return reason == DLL_PROCESS_ATTACH && std::getenv("NB_TEST_ENTRY_FAIL") ? FALSE : TRUE;
}

extern "C" __attribute__((visibility("default"))) int NbTestEntryValue() {
  return 7;
}
