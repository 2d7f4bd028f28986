// The toolbar library's module-wide state: its instance handle, kept from the module entry and
// used for resources, the module path and the window class; the count of live objects that
// decides whether the library may be unloaded; and the toolbar's class identifier.
#pragma once

#include "platform/com/com.h"
#include "platform/win32/windows.h"

// The toolbar band's class, also what its GetClassID reports. Fixed once; never change it, or
// every registration made before stops working.
// {6E1C4A52-93B7-4F0D-A8E2-5C3D71B90F46}
inline constexpr CLSID CLSID_ToolbarBand = {
    0x6E1C4A52, 0x93B7, 0x4F0D, {0xA8, 0xE2, 0x5C, 0x3D, 0x71, 0xB9, 0x0F, 0x46}};

namespace toolbar {

inline constexpr char16_t kDisplayName[] = u"Toolbar for Nubra";

// The module instance handle (null before process attach).
HINSTANCE ModuleInstance();

// Live factories and bands. The band runs on its browser window's thread and is created only
// there (apartment threading), so a plain counter serves.
extern LONG objectCount;

// A base of every object the library hands out. As a base it is destroyed after the object's
// members, so the count falls only once none of the object's code remains to run.
class ModuleObject {
 protected:
  ModuleObject() { ++objectCount; }
  ~ModuleObject() { --objectCount; }
  ModuleObject(const ModuleObject&) = delete;
  ModuleObject& operator=(const ModuleObject&) = delete;
};

}  // namespace toolbar
