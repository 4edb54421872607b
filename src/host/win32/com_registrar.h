// Writes and removes the registration of the module's COM classes under
// HKEY_CLASSES_ROOT through the registry seam, from one table row per class,
// and registers the module's type library with the system.
//
// For a class with ProgID P.1, version-independent ProgID P and CLSID C:
//   P.1                  (default) = ProgID description; CLSID = C
//   P                    (default) = ProgID description; CLSID = C; CurVer = P.1
//   CLSID\C              (default) = class description
//     ProgID = P.1, VersionIndependentProgID = P, Programmable (empty),
//     InprocServer32 = module path with ThreadingModel = "Apartment",
//     TypeLib = the LIBID, Implemented Categories\<CATID> per category
// Unregistration removes the three keys whole.
#pragma once

#include <windows.h>

#include <span>
#include <string>

#include "platform/registry.h"

namespace qv {

struct ClassRegistration {
  const CLSID* clsid;
  const char* classDescription;
  const char* progId;
  const char* versionIndependentProgId;
  const char* progIdDescription;
  std::span<const GUID* const> implementedCategories;
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string GuidText(const GUID& guid);

// Writes every class's keys; stops at the first key or value that cannot be
// written and answers its error as an HRESULT.
HRESULT RegisterClasses(Registry& registry, std::span<const ClassRegistration> classes,
                        const GUID& libid, const std::string& modulePath);
// Removes every class's keys; keys already gone are not an error.
HRESULT UnregisterClasses(Registry& registry, std::span<const ClassRegistration> classes);

// The type library embedded in the module file at modulePath.
HRESULT RegisterModuleTypeLibrary(const std::wstring& modulePath);
// Unregisters it through oleaut32's UnRegisterTypeLib, looked up at run time
// and skipped where the system lacks it. A library that is not registered
// is not an error.
HRESULT UnregisterModuleTypeLibrary(Registry& registry, const std::wstring& modulePath);

}  // namespace qv
