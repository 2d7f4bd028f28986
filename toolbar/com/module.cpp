// The module entry of ToolBar4N: the framework's per-module state and the library's resources
// at process attach, undone at detach.
#include "toolbar/com/module.h"

#include "platform/win32/ui/wrappers.h"
#include "toolbar/band/band_window.h"
#include "toolbar/com/exports.h"
#include "toolbar/resources/embedded.h"

namespace toolbar {

LONG objectCount = 0;

namespace {
HINSTANCE g_module = nullptr;
AFX_EXTENSION_MODULE g_framework = {};
}  // namespace

HINSTANCE ModuleInstance() {
  return g_module;
}

}  // namespace toolbar

TOOLBAR_EXPORT BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  using namespace toolbar;
  if (reason == DLL_PROCESS_ATTACH) {
    if (!AfxInitExtensionModule(g_framework, instance)) return FALSE;
    if (!RegisterToolBar4NResources(instance)) return FALSE;  // detach follows and cleans up
    g_module = instance;
  } else if (reason == DLL_PROCESS_DETACH) {
    // A class left registered would name a window procedure in unmapped code.
    UnregisterClassW(kBandWindowClass, instance);
    UnregisterToolBar4NResources(instance);
    AfxTermExtensionModule(g_framework);
    g_module = nullptr;
  }
  return TRUE;
}
