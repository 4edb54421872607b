#include "host/win32/event_arguments.h"

namespace qv::win32 {
namespace {

// A chain of references to VARIANTs longer than this is not followed: no
// sender builds one, and a cycle must not hang the reader.
constexpr int kMaxReferenceDepth = 4;

}  // namespace

const VARIANT* EventArgument(const DISPPARAMS* params, unsigned index) {
  if (params == nullptr || params->rgvarg == nullptr || index >= params->cArgs) return nullptr;
  const VARIANT* argument = &params->rgvarg[params->cArgs - 1 - index];
  for (int depth = 0; argument->vt == (VT_BYREF | VT_VARIANT); ++depth) {
    if (depth == kMaxReferenceDepth || argument->pvarVal == nullptr) return nullptr;
    argument = argument->pvarVal;
  }
  return argument;
}

ComRef<IDispatch> DispatchArgument(const DISPPARAMS* params, unsigned index) {
  const VARIANT* argument = EventArgument(params, index);
  if (argument == nullptr) return {};
  switch (argument->vt) {
    case VT_DISPATCH:
      return ComRef<IDispatch>::Share(argument->pdispVal);
    case VT_BYREF | VT_DISPATCH:
      return argument->ppdispVal ? ComRef<IDispatch>::Share(*argument->ppdispVal)
                                 : ComRef<IDispatch>();
    case VT_UNKNOWN:
    case VT_BYREF | VT_UNKNOWN: {
      IUnknown* object = argument->vt == VT_UNKNOWN
                             ? argument->punkVal
                             : (argument->ppunkVal ? *argument->ppunkVal : nullptr);
      ComRef<IDispatch> dispatch;
      if (object) object->QueryInterface(IID_IDispatch, dispatch.OutVoid());
      return dispatch;
    }
    default:
      return {};
  }
}

bool TextArgument(const DISPPARAMS* params, unsigned index, std::wstring* text) {
  text->clear();
  const VARIANT* argument = EventArgument(params, index);
  if (argument == nullptr) return false;
  BSTR value = nullptr;
  if (argument->vt == VT_BSTR)
    value = argument->bstrVal;
  else if (argument->vt == (VT_BYREF | VT_BSTR) && argument->pbstrVal)
    value = *argument->pbstrVal;
  else
    return false;
  if (value) text->assign(value, SysStringLen(value));
  return true;
}

VARIANT_BOOL* BoolReferenceArgument(const DISPPARAMS* params, unsigned index) {
  const VARIANT* argument = EventArgument(params, index);
  if (argument == nullptr || argument->vt != (VT_BYREF | VT_BOOL)) return nullptr;
  return argument->pboolVal;
}

}  // namespace qv::win32
