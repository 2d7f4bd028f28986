#include "platform/com/com.h"

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>

#include "platform/com/object.h"

// {00000000-0000-0000-0000-000000000000}
extern "C" const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
// {00000000-0000-0000-C000-000000000046}
extern "C" const IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {00020400-0000-0000-C000-000000000046}
extern "C" const IID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {00000001-0000-0000-C000-000000000046}
extern "C" const IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// ---------------------------------------------------------------------------------------------
// GUID text

int StringFromGUID2(REFGUID g, LPOLESTR buf, int cch) {
  if (!buf || cch < 39) return 0;
  char tmp[40];
  std::snprintf(tmp, sizeof tmp, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  for (int i = 0; i < 39; ++i) buf[i] = static_cast<char16_t>(tmp[i]);
  return 39;
}

HRESULT StringFromIID(REFIID iid, LPOLESTR* out) {
  if (!out) return E_POINTER;
  *out = static_cast<LPOLESTR>(CoTaskMemAlloc(39 * sizeof(OLECHAR)));
  if (!*out) return E_OUTOFMEMORY;
  StringFromGUID2(iid, *out, 39);
  return S_OK;
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* out) {
  return StringFromIID(clsid, out);
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* out) {
  if (!text || !out) return E_INVALIDARG;
  // Exactly {8-4-4-4-12} hex digits.
  static constexpr const char* kShape = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  BYTE nibbles[32];
  int n = 0;
  for (int i = 0; i < 38; ++i) {
    char16_t c = text[i];
    if (c == 0) return E_INVALIDARG;
    if (kShape[i] == 'X') {
      int v;
      if (c >= '0' && c <= '9')
        v = c - '0';
      else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
      else
        return E_INVALIDARG;
      nibbles[n++] = static_cast<BYTE>(v);
    } else if (c != static_cast<char16_t>(kShape[i])) {
      return E_INVALIDARG;
    }
  }
  if (text[38] != 0) return E_INVALIDARG;
  auto byte = [&](int i) { return static_cast<BYTE>(nibbles[2 * i] << 4 | nibbles[2 * i + 1]); };
  CLSID g{};
  g.Data1 = static_cast<DWORD>(byte(0)) << 24 | static_cast<DWORD>(byte(1)) << 16 |
            static_cast<DWORD>(byte(2)) << 8 | byte(3);
  g.Data2 = static_cast<WORD>(byte(4) << 8 | byte(5));
  g.Data3 = static_cast<WORD>(byte(6) << 8 | byte(7));
  for (int i = 0; i < 8; ++i) g.Data4[i] = byte(8 + i);
  *out = g;
  return S_OK;
}

void* CoTaskMemAlloc(SIZE_T size) {
  return std::malloc(size ? size : 1);
}
void CoTaskMemFree(void* p) {
  std::free(p);
}

// ---------------------------------------------------------------------------------------------
// BSTR: [uint32 byte length][UTF-16 characters][0]

namespace {
constexpr UINT kMaxBstrChars = 0x3FFFFFFF;
}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > kMaxBstrChars) return nullptr;
  auto* block = static_cast<char*>(std::malloc(sizeof(std::uint32_t) + (length + 1) * 2));
  if (!block) return nullptr;
  std::uint32_t bytes = length * 2;
  std::memcpy(block, &bytes, sizeof bytes);
  auto* chars = reinterpret_cast<OLECHAR*>(block + sizeof(std::uint32_t));
  if (text) {
    std::memcpy(chars, text, length * 2);
  } else {
    std::memset(chars, 0, length * 2);
  }
  chars[length] = 0;
  return chars;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  UINT n = 0;
  while (text[n]) ++n;
  return SysAllocStringLen(text, n);
}

void SysFreeString(BSTR text) {
  if (text) std::free(reinterpret_cast<char*>(text) - sizeof(std::uint32_t));
}

UINT SysStringByteLen(BSTR text) {
  if (!text) return 0;
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<char*>(text) - sizeof(std::uint32_t), sizeof bytes);
  return bytes;
}

UINT SysStringLen(BSTR text) {
  return SysStringByteLen(text) / 2;
}

// ---------------------------------------------------------------------------------------------
// VARIANT

void VariantInit(VARIANT* v) {
  if (!v) return;
  std::memset(v, 0, sizeof *v);
  v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
  if (!v) return E_INVALIDARG;
  if (v->vt & VT_ARRAY) {
    if (!(v->vt & VT_BYREF) && v->parray) SafeArrayDestroy(v->parray);
  } else {
    switch (v->vt) {
      case VT_BSTR:
        SysFreeString(v->bstrVal);
        break;
      case VT_DISPATCH:
        if (v->pdispVal) v->pdispVal->Release();
        break;
      case VT_UNKNOWN:
        if (v->punkVal) v->punkVal->Release();
        break;
      default:
        break;
    }
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (dest == src) return S_OK;
  VariantClear(dest);
  if (src->vt & VT_ARRAY) return E_NOTIMPL;  // never needed by the system
  *dest = *src;
  switch (src->vt) {
    case VT_BSTR:
      dest->bstrVal =
          src->bstrVal ? SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal)) : nullptr;
      if (src->bstrVal && !dest->bstrVal) {
        VariantInit(dest);
        return E_OUTOFMEMORY;
      }
      break;
    case VT_DISPATCH:
      if (dest->pdispVal) dest->pdispVal->AddRef();
      break;
    case VT_UNKNOWN:
      if (dest->punkVal) dest->punkVal->AddRef();
      break;
    default:
      break;
  }
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// SAFEARRAY (one dimension)

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements) {
  ULONG size;
  switch (vt) {
    case VT_VARIANT:
      size = sizeof(VARIANT);
      break;
    case VT_BSTR:
      size = sizeof(BSTR);
      break;
    case VT_I4:
    case VT_UINT:
    case VT_UI4:
    case VT_INT:
      size = 4;
      break;
    case VT_I2:
    case VT_BOOL:
      size = 2;
      break;
    default:
      return nullptr;
  }
  auto* sa = new (std::nothrow) SAFEARRAY{};
  if (!sa) return nullptr;
  sa->cDims = 1;
  sa->cbElements = size;
  sa->vt = vt;
  sa->rgsabound[0].cElements = elements;
  sa->rgsabound[0].lLbound = lowerBound;
  sa->pvData = std::calloc(elements ? elements : 1, size);
  if (!sa->pvData) {
    delete sa;
    return nullptr;
  }
  if (vt == VT_VARIANT) {
    auto* items = static_cast<VARIANT*>(sa->pvData);
    for (ULONG i = 0; i < elements; ++i) VariantInit(&items[i]);
  }
  return sa;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data) {
  if (!psa || !data) return E_INVALIDARG;
  ++psa->cLocks;
  *data = psa->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks) return E_UNEXPECTED;
  ULONG n = psa->rgsabound[0].cElements;
  if (psa->vt == VT_VARIANT) {
    auto* items = static_cast<VARIANT*>(psa->pvData);
    for (ULONG i = 0; i < n; ++i) VariantClear(&items[i]);
  } else if (psa->vt == VT_BSTR) {
    auto* items = static_cast<BSTR*>(psa->pvData);
    for (ULONG i = 0; i < n; ++i) SysFreeString(items[i]);
  }
  std::free(psa->pvData);
  delete psa;
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT dim, LONG* bound) {
  if (!psa || !bound || dim != 1) return E_INVALIDARG;
  *bound = psa->rgsabound[0].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT dim, LONG* bound) {
  if (!psa || !bound || dim != 1) return E_INVALIDARG;
  *bound = psa->rgsabound[0].lLbound + static_cast<LONG>(psa->rgsabound[0].cElements) - 1;
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Apartment count and class table

namespace {
thread_local int t_coinit_count = 0;

std::mutex& TableMutex() {
  static std::mutex m;
  return m;
}
std::map<CLSID, platform::com::CreateFunction>& Table() {
  static std::map<CLSID, platform::com::CreateFunction> table;
  return table;
}

// Adapts a CreateFunction to IClassFactory, for CoGetClassObject on table classes.
class TableFactory final
    : public platform::com::Object<TableFactory,
                                   platform::com::Answers<IClassFactory, IID_IClassFactory>> {
 public:
  explicit TableFactory(platform::com::CreateFunction f) : create_(f) {}
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    return create_(outer, riid, ppv);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  platform::com::CreateFunction create_;
};

platform::com::CreateFunction FindInTable(REFCLSID clsid) {
  std::lock_guard lock(TableMutex());
  auto it = Table().find(clsid);
  return it == Table().end() ? nullptr : it->second;
}
}  // namespace

HRESULT CoInitialize(void*) {
  return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

HRESULT CoInitializeEx(void*, DWORD) {
  return t_coinit_count++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (t_coinit_count > 0) --t_coinit_count;
}

int CoInitializeCount() {
  return t_coinit_count;
}

namespace platform::com {
void RegisterClass(REFCLSID clsid, CreateFunction create) {
  std::lock_guard lock(TableMutex());
  Table()[clsid] = create;
}
void UnregisterClass(REFCLSID clsid) {
  std::lock_guard lock(TableMutex());
  Table().erase(clsid);
}

namespace {
// Constant-initialised, so a directory installed by another file's static initialiser is kept
// whatever the order of initialisation.
std::atomic<ServerDirectory*> g_directory{nullptr};
}  // namespace

void SetServerDirectory(ServerDirectory* directory) {
  g_directory.store(directory, std::memory_order_release);
}
}  // namespace platform::com

HRESULT CoGetClassObject(REFCLSID clsid, DWORD, void*, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (auto create = FindInTable(clsid)) {
    return platform::com::CreateObject<TableFactory>(riid, ppv, create);
  }
  auto* directory = platform::com::g_directory.load(std::memory_order_acquire);
  return directory ? directory->GetClassObject(clsid, riid, ppv) : REGDB_E_CLASSNOTREG;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (auto create = FindInTable(clsid)) return create(outer, riid, ppv);
  ComPtr<IClassFactory> factory;
  HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory,
                                factory.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(outer, riid, ppv);
}

void CoFreeUnusedLibraries() {
  if (auto* directory = platform::com::g_directory.load(std::memory_order_acquire)) {
    directory->FreeUnused();
  }
}
