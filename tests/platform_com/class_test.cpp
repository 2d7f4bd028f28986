// CoCreateInstance over the in-process class table and over registered shared libraries.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/com/com.h"
#include "platform/win32/kernel.h"
#include "platform/win32/registry.h"
#include "tests/platform_com/counted.h"
#include "tests/platform_com/temp_env.h"
#include "tests/platform_com/test_server.h"

namespace {

// {0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}
constexpr CLSID kTableClsid = {
    0x0F1E2D3C, 0x4B5A, 0x6978, {0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0}};
// {0F1E2D3D-4B5A-6978-8796-A5B4C3D2E1F0}: registered nowhere
constexpr CLSID kUnknownClsid = {
    0x0F1E2D3D, 0x4B5A, 0x6978, {0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0}};

int g_created = 0;
HRESULT CreateCounted(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return CLASS_E_NOAGGREGATION;
  ++g_created;
  auto* obj = new nbtest::Counted;
  HRESULT hr = obj->QueryInterface(riid, ppv);
  obj->Release();
  return hr;
}

std::u16string Braced(REFCLSID clsid) {
  OLECHAR buf[39];
  StringFromGUID2(clsid, buf, 39);
  return buf;
}

// Registers clsid's InprocServer32 default value as a module path.
void RegisterServer(REFCLSID clsid, const std::string& library) {
  std::u16string key = u"CLSID\\" + Braced(clsid) + u"\\InprocServer32";
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                            nullptr),
            static_cast<LONG>(ERROR_SUCCESS));
  std::u16string path = platform::com::Utf8ToUtf16(library);
  ASSERT_EQ(RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                           static_cast<DWORD>((path.size() + 1) * 2)),
            static_cast<LONG>(ERROR_SUCCESS));
  RegCloseKey(h);
}

TEST(ClassTable, RegisteredClassIsCreatedAndReplaced) {
  platform::com::RegisterClass(kTableClsid, CreateCounted);
  g_created = 0;
  ComPtr<IDispatch> obj;
  ASSERT_EQ(CoCreateInstance(kTableClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             obj.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(g_created, 1);
  EXPECT_EQ(static_cast<nbtest::Counted*>(obj.Get())->Refs(), 1u)
      << "the caller owns one reference";

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(kTableClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.ReleaseAndGetVoidAddress()),
            S_OK);
  ComPtr<IUnknown> second;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, second.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(g_created, 2);

  void* raw = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(CoCreateInstance(kTableClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory, &raw),
            E_NOINTERFACE);
  EXPECT_EQ(raw, nullptr) << "the out parameter is cleared on failure";

  platform::com::UnregisterClass(kTableClsid);
  EXPECT_EQ(CoCreateInstance(kTableClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             obj.ReleaseAndGetVoidAddress()),
            REGDB_E_CLASSNOTREG);
}

TEST(ClassTable, UnknownClassIsNotRegistered) {
  void* raw = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(CoCreateInstance(kUnknownClsid, nullptr, CLSCTX_ALL, IID_IUnknown, &raw),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(CoCreateInstance(kUnknownClsid, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
}

TEST(RegistryServer, RegisteredLibraryAnswersThroughDllGetClassObject) {
  RegisterServer(nbtest::kServerClsid, NB_TEST_SERVER_PATH);
  ComPtr<IDispatch> a, b;
  ASSERT_EQ(CoCreateInstance(nbtest::kServerClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             a.ReleaseAndGetVoidAddress()),
            S_OK);
  ASSERT_EQ(CoCreateInstance(nbtest::kServerClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             b.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_NE(a.Get(), b.Get());

  // One copy of the library serves both: its call counter saw both requests.
  HMODULE module = LoadLibraryA(NB_TEST_SERVER_PATH);
  ASSERT_NE(module, nullptr);
  auto calls = reinterpret_cast<int (*)()>(GetProcAddress(module, "NbTestServerCalls"));
  ASSERT_NE(calls, nullptr);
  EXPECT_GE(calls(), 2);
  FreeLibrary(module);

  ComPtr<IUnknown> aggregated;
  EXPECT_EQ(CoCreateInstance(nbtest::kServerClsid, a.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                             aggregated.ReleaseAndGetVoidAddress()),
            CLASS_E_NOAGGREGATION)
      << "the server's own answer comes back unchanged";
}

// A server stays while anything of it lives, and goes at the first CoFreeUnusedLibraries after.
TEST(RegistryServer, UnusedServersAreUnloaded) {
  RegisterServer(nbtest::kServerClsid, NB_TEST_SERVER_PATH);
  auto loaded = [] {
    return GetModuleHandleW(platform::com::Utf8ToUtf16(NB_TEST_SERVER_PATH).c_str()) != nullptr;
  };
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(nbtest::kServerClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.ReleaseAndGetVoidAddress()),
            S_OK);
  ComPtr<IDispatch> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, object.ReleaseAndGetVoidAddress()),
            S_OK);
  factory->LockServer(TRUE);

  struct Step {
    const char* what;
    std::function<void()> release;
    bool stays;
  };
  const Step steps[] = {
      {"factory, object and lock held", [] {}, true},
      {"the object released", [&] { object.Reset(); }, true},
      {"the lock given back", [&] { factory->LockServer(FALSE); }, true},
      {"the factory released", [&] { factory.Reset(); }, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.release();
    CoFreeUnusedLibraries();
    EXPECT_EQ(loaded(), step.stays);
  }

  // Asked for again, the server is loaded afresh.
  ASSERT_EQ(CoCreateInstance(nbtest::kServerClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             object.ReleaseAndGetVoidAddress()),
            S_OK);
  HMODULE module = LoadLibraryA(NB_TEST_SERVER_PATH);
  auto calls = reinterpret_cast<int (*)()>(GetProcAddress(module, "NbTestServerCalls"));
  ASSERT_NE(calls, nullptr);
  EXPECT_EQ(calls(), 1) << "a new copy of the library";
  FreeLibrary(module);
  object.Reset();
  CoFreeUnusedLibraries();
}

TEST(RegistryServer, FailuresOfTheRegisteredPath) {
  struct Case {
    const char* what;
    CLSID clsid;
    std::string library;
    HRESULT expected;
  };
  CLSID missingFile = kUnknownClsid;
  missingFile.Data1 = 0x0F1E2D40;
  CLSID noExport = kUnknownClsid;
  noExport.Data1 = 0x0F1E2D41;
  const Case cases[] = {
      {"library file missing", missingFile, "/nonexistent/libnothing.so",
       CLASS_E_CLASSNOTAVAILABLE},
      {"library without DllGetClassObject", noExport, NB_TEST_NO_EXPORT_PATH,
       CLASS_E_CLASSNOTAVAILABLE},
      {"server does not know the class", nbtest::kForeignClsid, NB_TEST_SERVER_PATH,
       CLASS_E_CLASSNOTAVAILABLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegisterServer(c.clsid, c.library);
    void* raw = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(CoCreateInstance(c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &raw),
              c.expected);
    EXPECT_EQ(raw, nullptr);
  }
}

TEST(RegistryServer, KeyWithoutDefaultValueIsNotRegistered) {
  CLSID clsid = kUnknownClsid;
  clsid.Data1 = 0x0F1E2D42;
  std::u16string key = u"CLSID\\" + Braced(clsid) + u"\\InprocServer32";
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                            nullptr),
            static_cast<LONG>(ERROR_SUCCESS));
  RegCloseKey(h);
  void* raw = nullptr;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &raw),
            REGDB_E_CLASSNOTREG);
}

}  // namespace
