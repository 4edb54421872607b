// IDispatch for a dual interface, answered from the module's own type
// library: names, DISPIDs and argument order come from the type
// information, so late-bound callers reach the same methods as the vtable.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "platform/win32/scoped.h"

namespace qv {

// The type information of interface iid in the type library embedded in
// the module; a failure HRESULT when the module carries none.
HRESULT LoadModuleTypeInfo(REFIID iid, win32::ComRef<ITypeInfo>* out);

// Base is a dual interface (derived from IDispatch), *kIid its IID.
template <typename Base, const IID* kIid>
class TypeInfoDispatch : public Base {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    HRESULT hr = EnsureTypeInfo();
    if (FAILED(hr)) return hr;
    typeInfo_->AddRef();
    *out = typeInfo_.get();
    return S_OK;
  }
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    HRESULT hr = EnsureTypeInfo();
    if (FAILED(hr)) return hr;
    return DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
  }
  // The arguments arrive as COM passes them, last first; the type
  // information puts them back in declaration order for the method.
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argError) override {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    HRESULT hr = EnsureTypeInfo();
    if (FAILED(hr)) return hr;
    return DispInvoke(static_cast<Base*>(this), typeInfo_.get(), id, flags, params, result,
                      exception, argError);
  }

 protected:
  HRESULT EnsureTypeInfo() {
    if (typeInfo_) return S_OK;
    return LoadModuleTypeInfo(*kIid, &typeInfo_);
  }

 private:
  win32::ComRef<ITypeInfo> typeInfo_;
};

}  // namespace qv
