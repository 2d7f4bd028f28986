// COM basics: result codes, GUIDs, IUnknown/IDispatch/IClassFactory, BSTR, VARIANT, SAFEARRAY,
// CoInitialize and CoCreateInstance over an in-process class table and the registry.
#pragma once

#include <compare>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/com/types.h"
#include "platform/text/text.h"

// ---------------------------------------------------------------------------------------------
// Result codes, with their Windows values.
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);

constexpr bool SUCCEEDED(HRESULT hr) {
  return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
  return hr < 0;
}

// ---------------------------------------------------------------------------------------------
// GUIDs
struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
  // As two words: QueryInterface compares an identifier with each it answers, and most differ
  // in the first.
  friend bool operator==(const GUID& a, const GUID& b) {
    std::uint64_t a0, a1, b0, b1;
    std::memcpy(&a0, &a, 8);
    std::memcpy(&b0, &b, 8);
    if (a0 != b0) return false;
    std::memcpy(&a1, reinterpret_cast<const unsigned char*>(&a) + 8, 8);
    std::memcpy(&b1, reinterpret_cast<const unsigned char*>(&b) + 8, 8);
    return a1 == b1;
  }
  // Ordered so GUIDs can key a std::map.
  friend bool operator<(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) < 0;
  }
};
static_assert(sizeof(GUID) == 16, "a GUID is compared as two 64-bit words");
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
  return a == b;
}
inline bool IsEqualIID(REFIID a, REFIID b) {
  return a == b;
}
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) {
  return a == b;
}

extern "C" const IID IID_NULL;
extern "C" const IID IID_IUnknown;
extern "C" const IID IID_IDispatch;
extern "C" const IID IID_IClassFactory;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with upper-case hex; the caller frees with
// CoTaskMemFree. Returns S_OK or E_OUTOFMEMORY/E_POINTER.
HRESULT StringFromIID(REFIID iid, LPOLESTR* out);
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* out);
// Writes the braced form into buf; returns the characters written including the terminator,
// or 0 when cch is too small (39 needed).
int StringFromGUID2(REFGUID guid, LPOLESTR buf, int cch);
// Parses the braced form; E_INVALIDARG for anything else.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* out);
void* CoTaskMemAlloc(SIZE_T size);
void CoTaskMemFree(void* p);

// ---------------------------------------------------------------------------------------------
// Interfaces
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;  // released, never deleted through the interface
};

using DISPID = LONG;
using LCID = DWORD;
struct DISPPARAMS;
struct EXCEPINFO;
struct ITypeInfo;

// Type information is never needed by the system; these return E_NOTIMPL in the stand-ins.
struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                         struct tagVARIANT* result, EXCEPINFO* excep, UINT* argErr) = 0;

 protected:
  ~IDispatch() = default;
};

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// ---------------------------------------------------------------------------------------------
// BSTR: a length-prefixed (bytes, 32-bit), zero-terminated UTF-16 string. NULL is the empty
// string for every function here.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);  // text may be NULL: zero-filled
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);
// Convenience for the stand-ins: a BSTR from a std::u16string.
inline BSTR SysAllocString(const std::u16string& s) {
  return SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

// ---------------------------------------------------------------------------------------------
// VARIANT and SAFEARRAY
enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_UI4 = 19,
  VT_INT = 22,
  VT_UINT = 23,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
};

struct SAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
};

struct SAFEARRAY {
  USHORT cDims;
  USHORT fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  PVOID pvData;
  SAFEARRAYBOUND rgsabound[1];
  VARTYPE vt;  // element type (the real structure keeps it in front of the block)
};

typedef struct tagVARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONG lVal;
    SHORT iVal;
    INT intVal;
    UINT uintVal;
    ULONG ulVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    struct tagVARIANT* pvarVal;
    LONGLONG llVal;  // keeps the union pointer-and-64-bit sized, as on Windows
  };
} VARIANT;
using VARIANTARG = VARIANT;

struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

#define V_VT(v) ((v)->vt)
#define V_I4(v) ((v)->lVal)
#define V_UINT(v) ((v)->uintVal)
#define V_BSTR(v) ((v)->bstrVal)
#define V_DISPATCH(v) ((v)->pdispVal)
#define V_UNKNOWN(v) ((v)->punkVal)
#define V_ARRAY(v) ((v)->parray)

void VariantInit(VARIANT* v);
// Frees what the variant owns (BSTR, interface reference, array) and makes it VT_EMPTY.
HRESULT VariantClear(VARIANT* v);
// Deep copy: a BSTR is duplicated, an interface AddRef'ed.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);

// Only one-dimensional vectors are needed (writeln takes a one-element VT_VARIANT vector).
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements);
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
// Clears every VT_VARIANT/VT_BSTR element, then frees the array. E_UNEXPECTED while locked.
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT dim, LONG* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT dim, LONG* bound);

// ---------------------------------------------------------------------------------------------
// COM runtime
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_SERVER = 0x15;
constexpr DWORD CLSCTX_ALL = 0x17;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Per-thread count: S_OK for the first call on a thread, S_FALSE for the nested ones.
HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();
// The current thread's CoInitialize count (for tests).
int CoInitializeCount();

// Creates an instance through the in-process class table first, then through the server
// directory, which for this platform is the registry
// (HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 names a shared library whose DllGetClassObject
// is called). REGDB_E_CLASSNOTREG when neither knows the class.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv);
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID riid, void** ppv);
// Asks each in-process server loaded through the registry whether it may go (DllCanUnloadNow)
// and unloads those that answer S_OK.
void CoFreeUnusedLibraries();

namespace platform::com {

// COM initialised on this thread for a scope, and uninitialised on every way out of it.
// Declare it before the interface pointers of the scope, so that they are released first.
class ComInitialization {
 public:
  ComInitialization() : m_hr(CoInitialize(nullptr)) {}
  ~ComInitialization() {
    if (SUCCEEDED(m_hr)) CoUninitialize();
  }
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;
  HRESULT Result() const { return m_hr; }

 private:
  HRESULT m_hr;
};

}  // namespace platform::com

namespace platform::com {

// A factory function for an in-process class: creates the object and answers riid.
using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

// Stand-ins (the document model) register their classes here, usually from a static
// initializer. Registering a CLSID again replaces the earlier function.
void RegisterClass(REFCLSID clsid, CreateFunction create);
void UnregisterClass(REFCLSID clsid);

// Where classes that the class table does not know come from: the in-process servers that the
// registry names. The registry's side installs one when the library loads; COM itself knows no
// registry or file.
class ServerDirectory {
 public:
  // REGDB_E_CLASSNOTREG when the class is not registered.
  virtual HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) = 0;
  // Lets go of every server that says it may go (CoFreeUnusedLibraries).
  virtual void FreeUnused() = 0;

 protected:
  ~ServerDirectory() = default;
};
// Not owned; it must outlive every call. nullptr leaves only the class table.
void SetServerDirectory(ServerDirectory* directory);

// UTF-16 <-> UTF-8, as the stand-ins have always called them (invalid input becomes U+FFFD).
using text::Utf16ToUtf8;
using text::Utf8ToUtf16;

}  // namespace platform::com

// ---------------------------------------------------------------------------------------------
// ComPtr: owns exactly one reference.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to p (AddRef).
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }
  ComPtr& operator=(const ComPtr& other) {
    if (this != std::addressof(other)) {
      ComPtr copy(other);
      Swap(copy);
    }
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != std::addressof(other)) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Adopts a reference the caller already owns (no AddRef).
  static ComPtr Attach(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  // Gives up the reference without releasing it.
  T* Detach() { return std::exchange(p_, nullptr); }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases what is held and gives the slot.
  T** GetAddressOf() {
    Reset();
    return &p_;
  }
  T** operator&() { return GetAddressOf(); }
  void** ReleaseAndGetVoidAddress() { return reinterpret_cast<void**>(GetAddressOf()); }

  // QueryInterface into another ComPtr.
  template <typename U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, out->ReleaseAndGetVoidAddress());
  }
  // The same for `ptr.As(iid, &other)`, where operator& of the target gives U**.
  template <typename U>
  HRESULT As(REFIID iid, U** out) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, reinterpret_cast<void**>(out));
  }

 private:
  T* p_ = nullptr;
};

// A BSTR owner for code that reads strings out of interfaces.
class BStr {
 public:
  BStr() = default;
  explicit BStr(const char16_t* s) : b_(SysAllocString(s)) {}
  explicit BStr(const std::u16string& s) : b_(SysAllocString(s)) {}
  BStr(const BStr&) = delete;
  BStr& operator=(const BStr&) = delete;
  BStr(BStr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
  BStr& operator=(BStr&& o) noexcept {
    if (this != std::addressof(o)) {
      SysFreeString(b_);
      b_ = std::exchange(o.b_, nullptr);
    }
    return *this;
  }
  ~BStr() { SysFreeString(b_); }
  BSTR Get() const { return b_; }
  BSTR* operator&() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  BSTR Detach() { return std::exchange(b_, nullptr); }
  UINT Length() const { return SysStringLen(b_); }
  std::u16string Str() const {
    return b_ ? std::u16string(b_, SysStringLen(b_)) : std::u16string();
  }
  explicit operator bool() const { return b_ != nullptr; }

 private:
  BSTR b_ = nullptr;
};

// A VARIANT that clears itself.
struct ScopedVariant : VARIANT {
  ScopedVariant() { VariantInit(this); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ~ScopedVariant() { VariantClear(this); }
};
