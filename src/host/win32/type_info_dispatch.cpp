#include "host/win32/type_info_dispatch.h"

#include <string>

#include "host/win32/com_module.h"

namespace qv {

HRESULT LoadModuleTypeInfo(REFIID iid, win32::ComRef<ITypeInfo>* out) {
  out->Reset();
  std::wstring path = ModulePath();
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  win32::ComRef<ITypeLib> library;
  // Resource 1 of type TYPELIB in the module; nothing is registered.
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Out());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(iid, out->Out());
}

}  // namespace qv
