// What ToolBar4N exports: the module entry and the four functions of an in-process COM server.
// Everything else in the library is hidden.
#pragma once

#include "platform/com/com.h"
#include "platform/win32/windows.h"

#define TOOLBAR_EXPORT extern "C" __attribute__((visibility("default")))

TOOLBAR_EXPORT BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
TOOLBAR_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
TOOLBAR_EXPORT HRESULT DllCanUnloadNow();
TOOLBAR_EXPORT HRESULT DllRegisterServer();
TOOLBAR_EXPORT HRESULT DllUnregisterServer();
