#include "host/win32/com_registrar.h"

#include <oleauto.h>

#include "platform/win32/com_support.h"
#include "platform/win32/scoped.h"

namespace qv {
namespace {

HRESULT FromStatus(RegStatus status) {
  return status == kErrorSuccess ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

// A REG_SZ value with its terminating zero, as the system's own tools write
// them.
RegStatus SetText(Registry& registry, RegHandle key, const std::string& name,
                  const std::string& text) {
  return registry.SetValue(key, name, kRegSz, reinterpret_cast<const uint8_t*>(text.c_str()),
                           static_cast<uint32_t>(text.size() + 1));
}

// Creates parent\subkey and, when text is given, sets its default value.
RegStatus CreateWithDefault(Registry& registry, RegHandle parent, const std::string& subkey,
                            const char* text, RegKey* created = nullptr) {
  RegKey key;
  RegStatus status = key.Create(registry, parent, subkey);
  if (status != kErrorSuccess) return status;
  if (text) status = SetText(registry, key.get(), "", text);
  if (created) *created = std::move(key);
  return status;
}

RegStatus RegisterProgId(Registry& registry, const std::string& progId, const char* description,
                         const std::string& clsid, const char* currentVersion) {
  RegKey key;
  RegStatus status = CreateWithDefault(registry, kHkeyClassesRoot, progId, description, &key);
  if (status == kErrorSuccess)
    status = CreateWithDefault(registry, key.get(), "CLSID", clsid.c_str());
  if (status == kErrorSuccess && currentVersion)
    status = CreateWithDefault(registry, key.get(), "CurVer", currentVersion);
  return status;
}

RegStatus WriteClassKeys(Registry& registry, const ClassRegistration& entry,
                         const std::string& libid, const std::string& modulePath) {
  const std::string clsid = GuidText(*entry.clsid);
  RegStatus status =
      RegisterProgId(registry, entry.progId, entry.progIdDescription, clsid, nullptr);
  if (status == kErrorSuccess)
    status = RegisterProgId(registry, entry.versionIndependentProgId, entry.progIdDescription,
                            clsid, entry.progId);
  if (status != kErrorSuccess) return status;

  RegKey key;
  status = CreateWithDefault(registry, kHkeyClassesRoot, "CLSID\\" + clsid, entry.classDescription,
                             &key);
  if (status == kErrorSuccess)
    status = CreateWithDefault(registry, key.get(), "ProgID", entry.progId);
  if (status == kErrorSuccess)
    status = CreateWithDefault(registry, key.get(), "VersionIndependentProgID",
                               entry.versionIndependentProgId);
  if (status == kErrorSuccess)
    status = CreateWithDefault(registry, key.get(), "Programmable", nullptr);
  RegKey server;
  if (status == kErrorSuccess)
    status = CreateWithDefault(registry, key.get(), "InprocServer32", modulePath.c_str(), &server);
  if (status == kErrorSuccess)
    status = SetText(registry, server.get(), "ThreadingModel", "Apartment");
  if (status == kErrorSuccess)
    status = CreateWithDefault(registry, key.get(), "TypeLib", libid.c_str());
  for (const GUID* category : entry.implementedCategories) {
    if (status != kErrorSuccess) break;
    status = CreateWithDefault(registry, key.get(),
                               "Implemented Categories\\" + GuidText(*category), nullptr);
  }
  return status;
}

RegStatus DeleteIfPresent(Registry& registry, RegHandle parent, const std::string& subkey) {
  RegStatus status = registry.DeleteTree(parent, subkey);
  return status == kErrorFileNotFound ? kErrorSuccess : status;
}

using UnRegisterTypeLibFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

}  // namespace

std::string GuidText(const GUID& guid) {
  wchar_t text[40];
  int n = StringFromGUID2(guid, text, 40);
  return n > 0 ? win32::Narrow(text, n - 1) : std::string();
}

HRESULT RegisterClasses(Registry& registry, std::span<const ClassRegistration> classes,
                        const GUID& libid, const std::string& modulePath) {
  RegBatch batch(registry);
  const std::string libidText = GuidText(libid);
  for (const ClassRegistration& entry : classes) {
    RegStatus status = WriteClassKeys(registry, entry, libidText, modulePath);
    if (status != kErrorSuccess) return FromStatus(status);
  }
  return S_OK;
}

HRESULT UnregisterClasses(Registry& registry, std::span<const ClassRegistration> classes) {
  RegBatch batch(registry);
  // Every key is tried even after a failure, so that as much as possible
  // goes; the first failure is the answer.
  RegStatus first = kErrorSuccess;
  auto note = [&first](RegStatus status) {
    if (first == kErrorSuccess) first = status;
  };
  for (const ClassRegistration& entry : classes) {
    note(DeleteIfPresent(registry, kHkeyClassesRoot, entry.progId));
    note(DeleteIfPresent(registry, kHkeyClassesRoot, entry.versionIndependentProgId));
    note(DeleteIfPresent(registry, kHkeyClassesRoot, "CLSID\\" + GuidText(*entry.clsid)));
  }
  return FromStatus(first);
}

HRESULT RegisterModuleTypeLibrary(const std::wstring& modulePath) {
  win32::ComRef<ITypeLib> library;
  return LoadTypeLibEx(modulePath.c_str(), REGKIND_REGISTER, library.Out());
}

HRESULT UnregisterModuleTypeLibrary(Registry& registry, const std::wstring& modulePath) {
  win32::ComRef<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.Out());
  if (FAILED(hr)) return hr;
  TLIBATTR* attributes = nullptr;
  hr = library->GetLibAttr(&attributes);
  if (FAILED(hr)) return hr;
  const TLIBATTR copy = *attributes;
  library->ReleaseTLibAttr(attributes);

  HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
  auto unregister = oleaut ? reinterpret_cast<UnRegisterTypeLibFunction>(reinterpret_cast<void*>(
                                 GetProcAddress(oleaut, "UnRegisterTypeLib")))
                           : nullptr;
  if (unregister == nullptr) return S_OK;
  // Unregistering twice finds nothing to remove, which is the state wanted;
  // the system would call that a failure.
  char version[32];
  wsprintfA(version, "%x.%x", copy.wMajorVerNum, copy.wMinorVerNum);
  RegKey key;
  if (key.Open(registry, kHkeyClassesRoot, "TypeLib\\" + GuidText(copy.guid) + "\\" + version) ==
      kErrorFileNotFound)
    return S_OK;
  key.Close();
  return unregister(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
}

}  // namespace qv
