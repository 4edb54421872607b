// The module-wide state of the in-process COM server: its instance handle,
// the count of live objects and locks that DllCanUnloadNow answers from,
// and the rule by which the module refuses to load into a host.
#pragma once

#include <windows.h>

#include <string>

namespace qv {

// The module's own instance (the DLL, not the host executable); null until
// the process attach has run, in which case ModulePath names the executable.
void SetModuleInstance(HINSTANCE instance);
HINSTANCE ModuleInstance();
// The full path of the module file, or of the executable without a module
// instance; empty when the system does not give it.
std::wstring ModulePath();
// The full path of the host process's executable.
std::wstring HostExecutablePath();

// Every object, every class factory reference and every LockServer(TRUE)
// holds one lock; the module may be unloaded when none is held.
void LockModule();
void UnlockModule();
long ModuleLockCount();

// The shell process must never carry the toolbar: the module refuses to load
// into any host whose executable path, compared without regard to case,
// contains "explorer.exe".
bool IsRefusedHostPath(const std::wstring& hostPath);

}  // namespace qv
