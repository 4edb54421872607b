// A web browser object for the Win32 adapter tests: counts its references,
// records what it was asked to navigate to and reports a fixed address. Only
// the methods the adapters under test call do anything.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <exdisp.h>

#include <string>
#include <vector>

namespace qv::test {

#define QV_UNUSED(name, params)                    \
  HRESULT STDMETHODCALLTYPE name params override { \
    return E_NOTIMPL;                              \
  }

class FakeWebBrowser : public IWebBrowser2 {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) &&
        !IsEqualIID(iid, IID_IWebBrowser2))
      return E_NOINTERFACE;
    *out = static_cast<IWebBrowser2*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override {
    navigated = url ? std::wstring(url, SysStringLen(url)) : L"";
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Navigate2(VARIANT* url, VARIANT*, VARIANT* target, VARIANT* post,
                                      VARIANT*) override {
    if (url->vt != VT_BSTR) return E_INVALIDARG;
    navigated = url->bstrVal;
    targeted = target->vt == VT_BSTR;
    postBytes = post->vt == (VT_ARRAY | VT_UI1) ? post->parray->rgsabound[0].cElements : 0;
    // The caller's VARIANTs stay the caller's: an object is put in one to see
    // that the caller clears it.
    post->vt = VT_UNKNOWN;
    post->punkVal = static_cast<IWebBrowser2*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* window) override {
    *window = reinterpret_cast<SHANDLE_PTR>(frameWindow);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_StatusText(BSTR text) override {
    statusTexts.push_back(text ? std::wstring(text, SysStringLen(text)) : L"");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* url) override {
    *url = SysAllocString(L"http://example.test/here");
    return S_OK;
  }

  QV_UNUSED(GetTypeInfoCount, (UINT*))
  QV_UNUSED(GetTypeInfo, (UINT, LCID, ITypeInfo**))
  QV_UNUSED(GetIDsOfNames, (REFIID, LPOLESTR*, UINT, LCID, DISPID*))
  QV_UNUSED(Invoke, (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))
  QV_UNUSED(GoBack, ())
  QV_UNUSED(GoForward, ())
  QV_UNUSED(GoHome, ())
  QV_UNUSED(GoSearch, ())
  QV_UNUSED(Refresh, ())
  QV_UNUSED(Refresh2, (VARIANT*))
  QV_UNUSED(Stop, ())
  QV_UNUSED(get_Application, (IDispatch**))
  QV_UNUSED(get_Parent, (IDispatch**))
  QV_UNUSED(get_Container, (IDispatch**))
  QV_UNUSED(get_Document, (IDispatch**))
  QV_UNUSED(get_TopLevelContainer, (VARIANT_BOOL*))
  QV_UNUSED(get_Type, (BSTR*))
  QV_UNUSED(get_Left, (LONG*))
  QV_UNUSED(put_Left, (LONG))
  QV_UNUSED(get_Top, (LONG*))
  QV_UNUSED(put_Top, (LONG))
  QV_UNUSED(get_Width, (LONG*))
  QV_UNUSED(put_Width, (LONG))
  QV_UNUSED(get_Height, (LONG*))
  QV_UNUSED(put_Height, (LONG))
  QV_UNUSED(get_LocationName, (BSTR*))
  QV_UNUSED(get_Busy, (VARIANT_BOOL*))
  QV_UNUSED(Quit, ())
  QV_UNUSED(ClientToWindow, (int*, int*))
  QV_UNUSED(PutProperty, (BSTR, VARIANT))
  QV_UNUSED(GetProperty, (BSTR, VARIANT*))
  QV_UNUSED(get_Name, (BSTR*))
  QV_UNUSED(get_FullName, (BSTR*))
  QV_UNUSED(get_Path, (BSTR*))
  QV_UNUSED(get_Visible, (VARIANT_BOOL*))
  QV_UNUSED(put_Visible, (VARIANT_BOOL))
  QV_UNUSED(get_StatusBar, (VARIANT_BOOL*))
  QV_UNUSED(put_StatusBar, (VARIANT_BOOL))
  QV_UNUSED(get_StatusText, (BSTR*))
  QV_UNUSED(get_ToolBar, (int*))
  QV_UNUSED(put_ToolBar, (int))
  QV_UNUSED(get_MenuBar, (VARIANT_BOOL*))
  QV_UNUSED(put_MenuBar, (VARIANT_BOOL))
  QV_UNUSED(get_FullScreen, (VARIANT_BOOL*))
  QV_UNUSED(put_FullScreen, (VARIANT_BOOL))
  QV_UNUSED(QueryStatusWB, (OLECMDID, OLECMDF*))
  QV_UNUSED(ExecWB, (OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*))
  QV_UNUSED(ShowBrowserBar, (VARIANT*, VARIANT*, VARIANT*))
  QV_UNUSED(get_ReadyState, (READYSTATE*))
  QV_UNUSED(get_Offline, (VARIANT_BOOL*))
  QV_UNUSED(put_Offline, (VARIANT_BOOL))
  QV_UNUSED(get_Silent, (VARIANT_BOOL*))
  QV_UNUSED(put_Silent, (VARIANT_BOOL))
  QV_UNUSED(get_RegisterAsBrowser, (VARIANT_BOOL*))
  QV_UNUSED(put_RegisterAsBrowser, (VARIANT_BOOL))
  QV_UNUSED(get_RegisterAsDropTarget, (VARIANT_BOOL*))
  QV_UNUSED(put_RegisterAsDropTarget, (VARIANT_BOOL))
  QV_UNUSED(get_TheaterMode, (VARIANT_BOOL*))
  QV_UNUSED(put_TheaterMode, (VARIANT_BOOL))
  QV_UNUSED(get_AddressBar, (VARIANT_BOOL*))
  QV_UNUSED(put_AddressBar, (VARIANT_BOOL))
  QV_UNUSED(get_Resizable, (VARIANT_BOOL*))
  QV_UNUSED(put_Resizable, (VARIANT_BOOL))

  ULONG refs = 1;  // the test's own
  std::wstring navigated;
  bool targeted = false;
  ULONG postBytes = 0;
  std::vector<std::wstring> statusTexts;
  HWND frameWindow = nullptr;
};

#undef QV_UNUSED

}  // namespace qv::test

#endif  // _WIN32
