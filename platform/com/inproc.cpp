#include "platform/com/inproc.h"

// Placeholder until the registry lands: no class is registered there yet.
namespace platform::com {
HRESULT GetInprocClassObject(REFCLSID, REFIID, void** ppv) {
  if (ppv) *ppv = nullptr;
  return REGDB_E_CLASSNOTREG;
}
}  // namespace platform::com
