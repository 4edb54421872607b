// The entry points of quorvane.dll. Only this file is compiled into the DLL
// itself; everything it calls lives in the host library.
#include <windows.h>
#include <objbase.h>

#include "alerts/win32/alert_window.h"
#include "host/win32/ax_host.h"
#include "host/win32/com_classes.h"
#include "host/win32/com_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    if (qv::IsRefusedHostPath(qv::HostExecutablePath())) return FALSE;
    qv::SetModuleInstance(instance);
    // Web-page items host their browser controls in windows of this class;
    // without it they stay empty, which is no reason to refuse the toolbar.
    qv::RegisterAxHostWindowClass(instance);
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Unloaded while the process goes on: the class must not outlive its
    // window procedure. At process exit nothing is left to use it. The
    // alert window goes first: its content is a window of that class.
    qv::alerts::DestroyProcessAlertWindow();
    qv::UnregisterAxHostWindowClass();
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
