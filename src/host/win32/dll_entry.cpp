// The entry points of quorvane.dll. Only this file is compiled into the DLL
// itself; everything it calls lives in the host library.
#include <windows.h>
#include <objbase.h>

#include "host/win32/com_classes.h"
#include "host/win32/com_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    if (qv::IsRefusedHostPath(qv::HostExecutablePath())) return FALSE;
    qv::SetModuleInstance(instance);
    // The window class that hosts web-page items registers here.
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  return qv::GetModuleClassObject(clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
  return qv::CanUnloadModule();
}

STDAPI DllRegisterServer() {
  return qv::RegisterModuleServer();
}

STDAPI DllUnregisterServer() {
  return qv::UnregisterModuleServer();
}
