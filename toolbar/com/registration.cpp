// Self-registration: the class under HKEY_CLASSES_ROOT, its approval as a shell extension and
// its entry among the browser's toolbars; unregistration takes them away again.
#include <string>

#include "platform/com/bandhost.h"
#include "platform/win32/registry.h"
#include "toolbar/com/exports.h"
#include "toolbar/com/module.h"

namespace {

constexpr char16_t kApprovedKey[] =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr char16_t kToolbarKey[] = u"Software\\Microsoft\\Internet Explorer\\Toolbar";

std::u16string TextOf(REFGUID guid) {
  OLECHAR text[39];
  StringFromGUID2(guid, text, 39);
  return text;
}

bool OnNtFamily() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExW(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// Creates key (or opens it when it exists) and sets one REG_SZ value, the terminator counted.
// A value that cannot be written fails as a key that cannot be created does: registration that
// reported success without its values would leave a class that cannot be loaded.
bool WriteValue(HKEY root, const std::u16string& key, LPCWSTR name, const std::u16string& data) {
  HKEY h = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      &h, &disposition) != ERROR_SUCCESS) {
    return false;
  }
  LSTATUS set = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                               static_cast<DWORD>((data.size() + 1) * sizeof(char16_t)));
  RegCloseKey(h);
  return set == ERROR_SUCCESS;
}

// Something already absent counts as taken away.
bool Gone(LSTATUS status) {
  return status == ERROR_SUCCESS || status == static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
}

enum class Removal { kSubkey, kValue };

// Opens key and deletes its subkey or value name; false when the key cannot be opened or the
// deletion fails for any reason but absence.
bool Remove(HKEY root, const std::u16string& key, Removal what, const std::u16string& name) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return false;
  LSTATUS status =
      what == Removal::kSubkey ? RegDeleteKeyW(h, name.c_str()) : RegDeleteValueW(h, name.c_str());
  RegCloseKey(h);
  return Gone(status);
}

}  // namespace

HRESULT DllRegisterServer() {
  const std::u16string clsid = TextOf(CLSID_ToolbarBand);
  const std::u16string classKey = u"CLSID\\" + clsid;
  const std::u16string serverKey = classKey + u"\\InprocServer32";

  // A path cut at the buffer's end would register a library that is not there.
  WCHAR path[MAX_PATH];
  DWORD length = GetModuleFileNameW(toolbar::ModuleInstance(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return SELFREG_E_CLASS;
  const std::u16string modulePath(path, length);

  // 1. The class; the first key that cannot be written ends registration, keeping what is written.
  bool ok = WriteValue(HKEY_CLASSES_ROOT, classKey, nullptr, toolbar::kDisplayName) &&
            WriteValue(HKEY_CLASSES_ROOT, serverKey, nullptr, modulePath) &&
            WriteValue(HKEY_CLASSES_ROOT, serverKey, u"ThreadingModel", u"Apartment");
  // 2. Approval as a shell extension, on the NT family only.
  if (ok && OnNtFamily()) {
    ok = WriteValue(HKEY_LOCAL_MACHINE, kApprovedKey, clsid.c_str(), toolbar::kDisplayName);
  }
  // 3. The browser's list of toolbars.
  if (ok) ok = WriteValue(HKEY_LOCAL_MACHINE, kToolbarKey, clsid.c_str(), u"");
  if (!ok) return SELFREG_E_CLASS;

  // 5. The shell caches the members of the desk band category; dropping the cache makes it look
  // again. Whether there was one to drop does not matter.
  RegDeleteKeyW(HKEY_CLASSES_ROOT,
                (u"Component Categories\\" + TextOf(CATID_DeskBand) + u"\\Enum").c_str());
  return S_OK;
}

HRESULT DllUnregisterServer() {
  const std::u16string clsid = TextOf(CLSID_ToolbarBand);
  // 1 to 3: the class and its approval, each tried.
  bool classGone =
      Remove(HKEY_CLASSES_ROOT, u"CLSID\\" + clsid, Removal::kSubkey, u"InprocServer32");
  classGone = Remove(HKEY_CLASSES_ROOT, u"CLSID", Removal::kSubkey, clsid) && classGone;
  if (OnNtFamily()) {
    classGone = Remove(HKEY_LOCAL_MACHINE, kApprovedKey, Removal::kValue, clsid) && classGone;
  }
  // 4. The browser keeps listing the toolbar while any of its class is left.
  bool toolbarGone = classGone && Remove(HKEY_LOCAL_MACHINE, kToolbarKey, Removal::kValue, clsid);
  return classGone && toolbarGone ? S_OK : SELFREG_E_CLASS;
}
