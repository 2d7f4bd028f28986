// A tiny in-process server for the registry path of CoCreateInstance: it answers one class
// with a Counted object, like a real server's DllGetClassObject, and may be unloaded while no
// factory, object or lock of it is alive.
#include "tests/platform_com/test_server.h"

#include "platform/com/com.h"
#include "tests/platform_com/counted.h"

namespace {

int g_calls = 0;
int g_live = 0;  // factories and objects
int g_locks = 0;

class Factory final : public IClassFactory {
 public:
  Factory() { ++g_live; }
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG r = --refs_;
    if (r == 0) delete this;
    return r;
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* obj = new nbtest::Counted(nullptr, &g_live);
    HRESULT hr = obj->QueryInterface(riid, ppv);
    obj->Release();
    return hr;
  }
  HRESULT LockServer(BOOL lock) override {
    g_locks += lock ? 1 : -1;
    return S_OK;
  }

 private:
  ~Factory() { --g_live; }
  ULONG refs_ = 1;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid,
                                                                            REFIID riid,
                                                                            void** ppv) {
  ++g_calls;
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!(clsid == nbtest::kServerClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* f = new Factory;
  HRESULT hr = f->QueryInterface(riid, ppv);
  f->Release();
  return hr;
}

// How often DllGetClassObject ran, so the test can see the library stays loaded (one copy).
extern "C" __attribute__((visibility("default"))) int NbTestServerCalls() {
  return g_calls;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return g_live == 0 && g_locks == 0 ? S_OK : S_FALSE;
}
