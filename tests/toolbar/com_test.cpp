// The library's COM exports: the class object and its factory, the unload test, and what
// registration writes to and takes from the registry.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "platform/win32/registry.h"
#include "tests/toolbar/support.h"

using namespace tbtest;

namespace {

namespace fs = std::filesystem;

const CLSID kOtherClsid = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};

TEST(ClassObject, AnswersByClassAndInterface) {
  struct Case {
    const char* name;
    const CLSID& clsid;
    const IID& iid;
    HRESULT want;
  } cases[] = {
      {"factory as IClassFactory", kToolbarClsid, IID_IClassFactory, S_OK},
      {"factory as IUnknown", kToolbarClsid, IID_IUnknown, S_OK},
      {"factory as something else", kToolbarClsid, IID_IDeskBand, E_NOINTERFACE},
      {"another class", kOtherClsid, IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    void* out = reinterpret_cast<void*>(0x1);  // must be cleared on failure
    EXPECT_EQ(Toolbar().getClassObject(c.clsid, c.iid, &out), c.want);
    EXPECT_EQ(out != nullptr, c.want == S_OK);
    if (out) {
      EXPECT_EQ(Refs(static_cast<IUnknown*>(out)), 1u);
      static_cast<IUnknown*>(out)->Release();
    }
  }
  EXPECT_EQ(Toolbar().getClassObject(kToolbarClsid, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(Toolbar().canUnloadNow(), S_OK) << "a failed query must leave no factory alive";
}

TEST(ClassObject, FactoryCreatesBands) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(Toolbar().getClassObject(kToolbarClsid, IID_IClassFactory,
                                     factory.ReleaseAndGetVoidAddress()),
            S_OK);
  ComPtr<IUnknown> same;
  EXPECT_EQ(factory->QueryInterface(IID_IUnknown, same.ReleaseAndGetVoidAddress()), S_OK);
  EXPECT_EQ(static_cast<void*>(same.Get()), static_cast<void*>(factory.Get()));
  same.Reset();

  struct Case {
    const char* name;
    bool outer;
    const IID& iid;
    HRESULT want;
  } cases[] = {
      {"a band", false, IID_IDeskBand, S_OK},
      {"a band by its site interface", false, IID_IObjectWithSite, S_OK},
      {"aggregation", true, IID_IUnknown, CLASS_E_NOAGGREGATION},
      {"an interface the band lacks", false, IID_IClassFactory, E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->CreateInstance(c.outer ? factory.Get() : nullptr, c.iid, &out), c.want);
    EXPECT_EQ(out != nullptr, c.want == S_OK);
    if (out) static_cast<IUnknown*>(out)->Release();
  }
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDeskBand, nullptr), E_POINTER);
  EXPECT_EQ(factory->LockServer(TRUE), E_NOTIMPL);
  factory.Reset();
  EXPECT_EQ(Toolbar().canUnloadNow(), S_OK) << "a failed query must free the new band";
}

TEST(ClassObject, CannotUnloadWhileAnObjectLives) {
  ASSERT_EQ(Toolbar().canUnloadNow(), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(Toolbar().getClassObject(kToolbarClsid, IID_IClassFactory,
                                     factory.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(Toolbar().canUnloadNow(), S_FALSE) << "factory held";
  ComPtr<IDeskBand> band;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDeskBand, band.ReleaseAndGetVoidAddress()), S_OK);
  factory.Reset();
  EXPECT_EQ(Toolbar().canUnloadNow(), S_FALSE) << "band held";
  ComPtr<IPersist> persist;
  ASSERT_EQ(band->QueryInterface(IID_IPersist, persist.ReleaseAndGetVoidAddress()), S_OK);
  band.Reset();
  EXPECT_EQ(Toolbar().canUnloadNow(), S_FALSE) << "band held through another interface";
  persist.Reset();
  EXPECT_EQ(Toolbar().canUnloadNow(), S_OK);
}

// The registry, read back.
struct Value {
  DWORD type = 0;
  std::u16string text;
  DWORD bytes = 0;
  bool operator==(const Value&) const = default;
};

std::optional<Value> Read(HKEY root, const std::u16string& key, const char16_t* name) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return std::nullopt;
  Value v;
  BYTE data[2048];
  DWORD size = sizeof data;
  LSTATUS status = RegQueryValueExW(h, name, nullptr, &v.type, data, &size);
  RegCloseKey(h);
  if (status != ERROR_SUCCESS) return std::nullopt;
  v.bytes = size;
  v.text.assign(reinterpret_cast<const char16_t*>(data), size / 2);
  if (!v.text.empty() && v.text.back() == 0) v.text.pop_back();
  return v;
}

bool KeyExists(HKEY root, const std::u16string& key) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

// How many values (or subkeys) a key holds: registration writes nothing beside its own.
DWORD CountValues(HKEY root, const std::u16string& key) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return 0;
  DWORD n = 0;
  for (;; ++n) {
    WCHAR name[256];
    DWORD size = 256;
    if (RegEnumValueW(h, n, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
  }
  RegCloseKey(h);
  return n;
}

const std::u16string kApproved =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const std::u16string kToolbars = u"Software\\Microsoft\\Internet Explorer\\Toolbar";

Value Sz(std::u16string text) {
  return Value{REG_SZ, text, static_cast<DWORD>((text.size() + 1) * 2)};
}

std::u16string ModulePath() {
  WCHAR path[1024];
  DWORD n = GetModuleFileNameW(Toolbar().module, path, 1024);
  return std::u16string(path, n);
}

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Toolbar().module, nullptr);
    // A fresh registry: the files of the three roots go.
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(platform::win32::RegistryFolder(), ec)) {
      fs::remove(entry.path(), ec);
    }
  }
  const std::u16string clsid_ = ClsidText();
  const std::u16string classKey_ = u"CLSID\\" + clsid_;
  const std::u16string serverKey_ = classKey_ + u"\\InprocServer32";

  void ExpectRegistered() {
    struct Row {
      HKEY root;
      std::u16string key;
      const char16_t* name;
      Value want;
    } rows[] = {
        {HKEY_CLASSES_ROOT, classKey_, nullptr, Sz(u"Toolbar for Nubra")},
        {HKEY_CLASSES_ROOT, serverKey_, nullptr, Sz(ModulePath())},
        {HKEY_CLASSES_ROOT, serverKey_, u"ThreadingModel", Sz(u"Apartment")},
        {HKEY_LOCAL_MACHINE, kApproved, clsid_.c_str(), Sz(u"Toolbar for Nubra")},
        {HKEY_LOCAL_MACHINE, kToolbars, clsid_.c_str(), Value{REG_SZ, u"", 2}},
    };
    for (const Row& r : rows) {
      SCOPED_TRACE(platform::com::Utf16ToUtf8(r.key + u" " + (r.name ? r.name : u"(default)")));
      EXPECT_EQ(Read(r.root, r.key, r.name), r.want);
    }
    EXPECT_EQ(CountValues(HKEY_CLASSES_ROOT, classKey_), 1u);
    EXPECT_EQ(CountValues(HKEY_CLASSES_ROOT, serverKey_), 2u);
    EXPECT_EQ(CountValues(HKEY_LOCAL_MACHINE, kApproved), 1u);
    EXPECT_EQ(CountValues(HKEY_LOCAL_MACHINE, kToolbars), 1u);
  }
};

TEST_F(Registration, WritesEveryKeyAndValue) {
  ASSERT_EQ(Toolbar().registerServer(), S_OK);
  ExpectRegistered();
}

TEST_F(Registration, TwiceWritesTheSameAgain) {
  ASSERT_EQ(Toolbar().registerServer(), S_OK);
  ASSERT_EQ(Toolbar().registerServer(), S_OK);
  ExpectRegistered();
}

TEST_F(Registration, DropsTheDeskBandCategoryCache) {
  const std::u16string cache =
      u"Component Categories\\{00021492-0000-0000-C000-000000000046}\\Enum";
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, cache.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(h);
  ASSERT_EQ(Toolbar().registerServer(), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, cache));
}

TEST_F(Registration, AKeyThatCannotBeCreatedFailsAndKeepsWhatIsWritten) {
  // A damaged file makes every call on its root fail.
  std::ofstream(fs::path(platform::win32::RegistryFolder()) / "HKEY_LOCAL_MACHINE.txt")
      << "not a registry\n";
  EXPECT_EQ(Toolbar().registerServer(), SELFREG_E_CLASS);
  EXPECT_EQ(Read(HKEY_CLASSES_ROOT, classKey_, nullptr), Sz(u"Toolbar for Nubra"));
  EXPECT_EQ(Read(HKEY_CLASSES_ROOT, serverKey_, u"ThreadingModel"), Sz(u"Apartment"));
}

TEST_F(Registration, UnregisteringLeavesNoneOfTheKeys) {
  ASSERT_EQ(Toolbar().registerServer(), S_OK);
  ASSERT_EQ(Toolbar().unregisterServer(), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey_));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kApproved, clsid_.c_str()), std::nullopt);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kToolbars, clsid_.c_str()), std::nullopt);
}

TEST_F(Registration, UnregisteringFailsWhileAnyOfTheClassStays) {
  struct Case {
    const char* name;
    // What happens to the registration before unregistering.
    std::function<void(const std::u16string& classKey)> change;
  } cases[] = {
      {"the class key is missing",
       [](const std::u16string& classKey) {
         RegDeleteKeyW(HKEY_CLASSES_ROOT, (classKey + u"\\InprocServer32").c_str());
         RegDeleteKeyW(HKEY_CLASSES_ROOT, classKey.c_str());
       }},
      {"the class key holds a key of someone else's, which cannot be deleted",
       [](const std::u16string& classKey) {
         HKEY h = nullptr;
         RegCreateKeyExW(HKEY_CLASSES_ROOT, (classKey + u"\\Implemented Categories").c_str(), 0,
                         nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
         RegCloseKey(h);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    ASSERT_EQ(Toolbar().registerServer(), S_OK);
    c.change(classKey_);
    EXPECT_EQ(Toolbar().unregisterServer(), SELFREG_E_CLASS);
    // The browser still lists the toolbar: its class is not wholly gone.
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kToolbars, clsid_.c_str()), (Value{REG_SZ, u"", 2}));
  }
}

TEST_F(Registration, UnregisteringWhatIsHalfGoneCountsTheAbsentAsDeleted) {
  ASSERT_EQ(Toolbar().registerServer(), S_OK);
  HKEY h = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kApproved.c_str(), 0, KEY_ALL_ACCESS, &h), 0);
  RegDeleteValueW(h, clsid_.c_str());
  RegCloseKey(h);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, serverKey_.c_str());
  EXPECT_EQ(Toolbar().unregisterServer(), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey_));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kToolbars, clsid_.c_str()), std::nullopt);
}

TEST_F(Registration, AModulePathTooLongToReadWhole) {
  // A copy of the library in a folder whose path passes the 260 characters registration reads.
  fs::path folder = fs::temp_directory_path() / ("tb-" + std::to_string(getpid()));
  fs::path deep = folder;
  while (deep.string().size() < 280) deep /= std::string(40, 'x');
  fs::create_directories(deep);
  fs::copy_file(NB_TOOLBAR_LIB, deep / "libToolBar4N.so");
  {
    Library copy = LoadToolbar(platform::com::Utf8ToUtf16((deep / "libToolBar4N.so").string()));
    ASSERT_NE(copy.module, nullptr) << platform::win32::LastLoadError();
    EXPECT_EQ(copy.registerServer(), SELFREG_E_CLASS);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey_)) << "nothing is registered";
    FreeLibrary(copy.module);
  }
  fs::remove_all(folder);
}

}  // namespace
