// Registry-backed in-process servers: HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 names a
// shared library; it is loaded once (LoadLibrary, so its module entry runs) and its
// DllGetClassObject answers until its DllCanUnloadNow lets it go.
#pragma once

#include "platform/com/com.h"

namespace platform::com {

// REGDB_E_CLASSNOTREG when the class is not registered, CLASS_E_CLASSNOTAVAILABLE when the
// library cannot be loaded or exports no DllGetClassObject.
HRESULT GetInprocClassObject(REFCLSID clsid, REFIID riid, void** ppv);
// Unloads every loaded server whose DllCanUnloadNow answers S_OK (CoFreeUnusedLibraries).
void FreeUnusedInprocServers();

}  // namespace platform::com
