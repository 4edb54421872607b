// A web browser object for the Win32 adapter tests: counts its references,
// records what it was asked to navigate to and reports a fixed address. Only
// the methods the adapters under test call do anything. Its DWebBrowserEvents2
// connection point is real: it counts advises, unadvises and its own
// references, holds a reference to each sink, and fires events at them.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlguid.h>
#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

namespace qv::test {

// A connection point that lives inside its container (not on the heap):
// its references are counted, never freed.
class FakeConnectionPoint : public IConnectionPoint {
 public:
  FakeConnectionPoint(const IID& iid, IConnectionPointContainer* container)
      : iid_(iid), container_(container) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint))
      return E_NOINTERFACE;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    *iid = iid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
    *out = container_;
    container_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    sink->AddRef();
    *cookie = next_++;
    sinks[*cookie] = sink;
    ++advises;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    auto found = sinks.find(cookie);
    if (found == sinks.end()) return CONNECT_E_NOCONNECTION;
    IUnknown* sink = found->second;
    sinks.erase(found);
    ++unadvises;
    sink->Release();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

  // Fires an event at every sink; args are in the event's declared order
  // (they are passed last first, as COM does). The answer of the last sink.
  HRESULT Fire(DISPID id, std::vector<VARIANT> args = {}) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                      static_cast<UINT>(reversed.size()), 0};
    HRESULT answer = S_OK;
    // A copy: a sink may unadvise while it handles the event.
    const std::map<DWORD, IUnknown*> now = sinks;
    for (const auto& [cookie, sink] : now) {
      if (sinks.count(cookie) == 0) continue;
      IDispatch* dispatch = nullptr;
      if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
        continue;
      answer =
          dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
      dispatch->Release();
    }
    return answer;
  }

  ULONG refs = 0;
  int advises = 0;
  int unadvises = 0;
  std::map<DWORD, IUnknown*> sinks;

 private:
  IID iid_;
  IConnectionPointContainer* container_;
  DWORD next_ = 1;
};

#define QV_UNUSED(name, params)                    \
  HRESULT STDMETHODCALLTYPE name params override { \
    return E_NOTIMPL;                              \
  }

class FakeWebBrowser : public IWebBrowser2 {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
      *out = static_cast<IConnectionPointContainer*>(&points);
    } else if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
               IsEqualIID(iid, IID_IWebBrowser2)) {
      *out = static_cast<IWebBrowser2*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  // The document get_Document gives (with a reference of its own); none
  // when null.
  HRESULT STDMETHODCALLTYPE get_Document(IDispatch** out) override {
    *out = document;
    if (document == nullptr) return E_NOTIMPL;
    document->AddRef();
    return S_OK;
  }

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
  IDispatch* document = nullptr;

  // The browser's connection points, a part of the browser object: its
  // references are the browser's.
  class Points : public IConnectionPointContainer {
   public:
    explicit Points(FakeWebBrowser* browser) : browser_(browser) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      return browser_->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return browser_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return browser_->Release(); }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
      return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
      *out = nullptr;
      if (!IsEqualIID(iid, DIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
      *out = &browser_->events;
      browser_->events.AddRef();
      return S_OK;
    }

   private:
    FakeWebBrowser* browser_;
  };
  Points points{this};
  FakeConnectionPoint events{DIID_DWebBrowserEvents2, &points};
};

// The browser's side of a band: its window, its input-object site and its
// services, each of which a test may withhold.
class FakeBandSite : public IOleWindow, public IInputObjectSite, public IServiceProvider {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown))
      *out = static_cast<IOleWindow*>(this);
    else if (IsEqualIID(iid, IID_IOleWindow) && offerWindow)
      *out = static_cast<IOleWindow*>(this);
    else if (IsEqualIID(iid, IID_IInputObjectSite) && offerInputSite)
      *out = static_cast<IInputObjectSite*>(this);
    else if (IsEqualIID(iid, IID_IServiceProvider) && offerServices)
      *out = static_cast<IServiceProvider*>(this);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }

  STDMETHODIMP GetWindow(HWND* out) override {
    *out = window;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  STDMETHODIMP OnFocusChangeIS(IUnknown* band, BOOL got) override {
    focusChanges.push_back(got != FALSE);
    focusFromBand = band != nullptr;
    return S_OK;
  }

  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualGUID(service, SID_SWebBrowserApp)) return E_NOINTERFACE;
    if (FAILED(serviceAnswer)) return serviceAnswer;
    return browser ? browser->QueryInterface(iid, out) : S_OK;
  }

  ULONG refs = 1;  // the test's own
  HWND window = nullptr;
  IWebBrowser2* browser = nullptr;
  bool offerWindow = true;
  bool offerInputSite = true;
  bool offerServices = true;
  HRESULT serviceAnswer = S_OK;
  std::vector<bool> focusChanges;
  bool focusFromBand = false;
};

#undef QV_UNUSED

}  // namespace qv::test

#endif  // _WIN32
