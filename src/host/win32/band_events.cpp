// The band object's browser side: the browser's events, the sinks on every
// frame's document and window, the current document's ready state and UI
// handler, the subclassed frame window and the thread keyboard hook, and
// the teardown that lets go of all of them.
#include <windows.h>
#include <mshtml.h>
#include <mshtmhst.h>

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "host/win32/com_classes.h"

// The portable toolbar's own TranslateAccelerator, not the Win32 macro.
#undef TranslateAccelerator

#include "host/popup_blocker_hooks.h"
#include "host/shared_data.h"
#include "host/toolbar_ctrl.h"
#include "host/win32/com_module.h"
#include "host/win32/blocker_win32.h"
#include "host/win32/event_arguments.h"
#include "host/win32/toolbar_windows_win32.h"
#include "platform/browser.h"
#include "platform/win32/com_browser.h"
#include "popup/blocker.h"

namespace qv {
namespace {

using win32::ComRef;

constexpr DISPID kDispidSetClientSideProperty = 500;
constexpr DISPID kDispidSetActiveConfiguration = 501;
constexpr DISPID kDispidDownloadComplete = 104;
constexpr DISPID kDispidBeforeNavigate2 = 250;
constexpr DISPID kDispidNewWindow2 = 251;
constexpr DISPID kDispidOnQuit = 253;

// Not every import library carries these three.
constexpr GUID kIidHtmlDocumentEvents2 = {
    0x3050f613, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
constexpr GUID kIidHtmlWindowEvents2 = {
    0x3050f625, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
constexpr GUID kIidCustomDoc = {
    0x3050f3f0, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

bool SameObject(IUnknown* a, IUnknown* b) {
  if (a == b) return true;
  if (a == nullptr || b == nullptr) return false;
  ComRef<IUnknown> identityA;
  ComRef<IUnknown> identityB;
  a->QueryInterface(IID_IUnknown, identityA.OutVoid());
  b->QueryInterface(IID_IUnknown, identityB.OutVoid());
  return identityA && identityA.get() == identityB.get();
}

// The system code page, as the blocker's site keys and whitelist hold it.
std::string SystemCodePageText(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

bool StartsWithJavascript(const std::wstring& url) {
  static const wchar_t kScheme[] = L"javascript:";
  const size_t length = std::size(kScheme) - 1;
  if (url.size() < length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (std::towlower(url[i]) != kScheme[i]) return false;
  }
  return true;
}

// Advises sink on the connection point iid of container; the point and
// cookie stay empty when any step fails.
void Advise(IUnknown* container, REFIID iid, IUnknown* sink, ComRef<IConnectionPoint>* point,
            DWORD* cookie) {
  point->Reset();
  *cookie = 0;
  ComRef<IConnectionPointContainer> points;
  if (container == nullptr ||
      FAILED(container->QueryInterface(IID_IConnectionPointContainer, points.OutVoid())) || !points)
    return;
  ComRef<IConnectionPoint> found;
  if (FAILED(points->FindConnectionPoint(iid, found.Out())) || !found) return;
  DWORD given = 0;
  if (FAILED(found->Advise(sink, &given)) || given == 0) return;
  *point = std::move(found);
  *cookie = given;
}

void Unadvise(ComRef<IConnectionPoint>* point, DWORD* cookie) {
  if (*point && *cookie) (*point)->Unadvise(*cookie);
  point->Reset();
  *cookie = 0;
}

// --- bands of this process

// The bands of this process that are sited. A band pointer read from the
// shared window table is used only when it is one of these: an entry left
// by a process that ended names memory of no one here.
std::mutex g_bandsLock;
std::set<TBWToolBarObj*> g_liveBands;

void AddLiveBand(TBWToolBarObj* band) {
  std::lock_guard<std::mutex> lock(g_bandsLock);
  g_liveBands.insert(band);
}
void RemoveLiveBand(TBWToolBarObj* band) {
  std::lock_guard<std::mutex> lock(g_bandsLock);
  g_liveBands.erase(band);
}
TBWToolBarObj* LiveBand(uint64_t value) {
  auto* band = reinterpret_cast<TBWToolBarObj*>(static_cast<uintptr_t>(value));
  std::lock_guard<std::mutex> lock(g_bandsLock);
  return g_liveBands.count(band) ? band : nullptr;
}

std::mutex g_blockLock;
std::string g_blockName;

// The window table as the frame procedure and the hook read it, opened
// once per process (and again when the block is changed).
SharedData* LookupTable() {
  static std::unique_ptr<SharedData> table;
  static std::string opened;
  std::lock_guard<std::mutex> guard(g_blockLock);
  const std::string name = g_blockName.empty() ? kSharedDataBlockName : g_blockName;
  if (!table || opened != name) {
    table = SharedData::Open(name);
    opened = name;
  }
  return table.get();
}

// The band of window (or of its nearest ancestor) in the window table,
// else the band of the current thread; null when neither is there.
TBWToolBarObj* FindBand(HWND window) {
  SharedData* table = LookupTable();
  if (table == nullptr) return nullptr;
  for (HWND w = window; w; w = GetParent(w)) {
    if (TBWToolBarObj* band = LiveBand(
            table->FindBandByWindow(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(w)))))
      return band;
  }
  return LiveBand(table->FindBandByThread(GetCurrentThreadId()));
}

// --- the frame window's subclass

// What the frame procedure needs of a subclassed frame window without the
// window table: the procedure it replaced, and the bands that subclassed
// it (a band without a table entry is found here).
struct FrameSubclass {
  WNDPROC original = nullptr;
  bool unicode = false;
  std::vector<TBWToolBarObj*> bands;
};

std::mutex g_framesLock;
std::map<HWND, FrameSubclass> g_frames;

bool SubclassFrame(HWND frame, TBWToolBarObj* band) {
  std::lock_guard<std::mutex> lock(g_framesLock);
  auto found = g_frames.find(frame);
  if (found != g_frames.end()) {
    found->second.bands.push_back(band);
    return true;
  }
  FrameSubclass subclass;
  subclass.unicode = IsWindowUnicode(frame) != FALSE;
  const auto procedure = reinterpret_cast<LONG_PTR>(&TBWToolBarObj::FrameWindowProc);
  subclass.original = reinterpret_cast<WNDPROC>(
      subclass.unicode ? SetWindowLongPtrW(frame, GWLP_WNDPROC, procedure)
                       : SetWindowLongPtrA(frame, GWLP_WNDPROC, procedure));
  if (subclass.original == nullptr) return false;
  subclass.bands.push_back(band);
  g_frames.emplace(frame, std::move(subclass));
  // The procedure lives in this module: it stays loaded while a window
  // calls it.
  LockModule();
  return true;
}

void UnsubclassFrame(HWND frame, TBWToolBarObj* band) {
  std::lock_guard<std::mutex> lock(g_framesLock);
  auto found = g_frames.find(frame);
  if (found == g_frames.end()) return;
  FrameSubclass& subclass = found->second;
  auto own = std::find(subclass.bands.begin(), subclass.bands.end(), band);
  if (own != subclass.bands.end()) subclass.bands.erase(own);
  if (!subclass.bands.empty()) return;
  if (IsWindow(frame)) {
    const auto procedure = reinterpret_cast<LONG_PTR>(&TBWToolBarObj::FrameWindowProc);
    const LONG_PTR current = subclass.unicode ? GetWindowLongPtrW(frame, GWLP_WNDPROC)
                                              : GetWindowLongPtrA(frame, GWLP_WNDPROC);
    // Someone subclassed the window after us: taking our procedure out
    // would cut theirs off. Ours stays, passing every message on, until
    // the window is destroyed.
    if (current != procedure) return;
    const auto original = reinterpret_cast<LONG_PTR>(subclass.original);
    if (subclass.unicode)
      SetWindowLongPtrW(frame, GWLP_WNDPROC, original);
    else
      SetWindowLongPtrA(frame, GWLP_WNDPROC, original);
  }
  g_frames.erase(found);
  UnlockModule();
}

}  // namespace

void SetBandSharedDataBlock(const std::string& name) {
  std::lock_guard<std::mutex> guard(g_blockLock);
  g_blockName = name;
}

std::string BandSharedDataBlock() {
  std::lock_guard<std::mutex> guard(g_blockLock);
  return g_blockName.empty() ? kSharedDataBlockName : g_blockName;
}

TBWToolBarObj::PopupFlags TBWToolBarObj::Flags() const {
  PopupFlags flags;
  flags.navigationSettled = navigationSettled_;
  flags.allow = blocker_ && blocker_->AllowFlag() ? 1 : 0;
  flags.beforeUnload = beforeUnload_;
  return flags;
}

bool TBWToolBarObj::IsSelf(IUnknown* object) {
  return SameObject(object, static_cast<IDeskBand*>(this));
}

void TBWToolBarObj::TellToolbar(int dispid) {
  if (host_) host_->Toolbar().OnBrowserEvent(dispid);
}

// --- DWebBrowserEvents2

STDMETHODIMP TBWToolBarObj::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  if (params == nullptr) return E_INVALIDARG;
  if (id == kDispidSetClientSideProperty || id == kDispidSetActiveConfiguration)
    return TypeInfoDispatch::Invoke(id, iid, lcid, flags, params, result, exception, argError);
  // A band that left its browser, or whose browser quit, hears nothing
  // more: late events must not connect new sinks.
  if (quitting_ || !browser_) return S_OK;
  // OnQuit lets go of the browser's reference to this band, which may be
  // the last: the band stays until its handler is done.
  ComRef<IDispatch> keepAlive = ComRef<IDispatch>::Share(AsDispatch());
  switch (id) {
    case kDispidDownloadComplete:
    case kDispidDownloadBegin:
      TellToolbar(id);
      break;
    case kDispidBeforeNavigate2:
      OnBeforeNavigate2(*params);
      break;
    case kDispidNewWindow2:
      OnNewWindow2(*params);
      break;
    case kDispidNavigateComplete2:
      OnNavigateComplete2(*params);
      break;
    case kDispidOnQuit:
      UnloadPageOnQuit();
      Teardown();
      break;
    case kDispidDocumentComplete:
      OnDocumentComplete(*params);
      break;
    default:
      break;
  }
  return S_OK;
}

void TBWToolBarObj::OnBeforeNavigate2(DISPPARAMS& params) {
  navigationSettled_ = 0;
  std::wstring url;
  if (!win32::TextArgument(&params, 1, &url)) url.clear();
  // A script run from the address is the user's own doing: its windows
  // may open, and the page stays (with its sinks).
  if (blocker_) blocker_->OnBeforeNavigate2(SystemCodePageText(url));
  if (StartsWithJavascript(url)) return;
  DisconnectAllFrameSinks();
}

void TBWToolBarObj::OnNewWindow2(DISPPARAMS& params) {
  // The blocker clears its allow flag whatever it decides.
  if (blocker_ && blocker_->OnNewWindow2()) {
    if (VARIANT_BOOL* cancel = win32::BoolReferenceArgument(&params, 1)) *cancel = VARIANT_TRUE;
  }
}

void TBWToolBarObj::OnNavigateComplete2(DISPPARAMS& params) {
  navigationSettled_ = 0;
  if (blocker_) blocker_->OnNavigateComplete2();
  if (!topFrame_) topFrame_ = win32::DispatchArgument(&params, 0);
  navigationSettled_ = 1;
  TellToolbar(kDispidNavigateComplete2);
}

void TBWToolBarObj::OnDocumentComplete(DISPPARAMS& params) {
  navigationSettled_ = 0;
  ComRef<IDispatch> frame = win32::DispatchArgument(&params, 0);
  if (frame) {
    // A frame that completes again (a reload inside the page) replaces its
    // record rather than adding one per load.
    auto same = std::find_if(frameSinks_.begin(), frameSinks_.end(), [&](const FrameSinkRecord& r) {
      return r.frame.get() == frame.get();
    });
    if (same != frameSinks_.end()) {
      ConnectFrameSinks(*same, false);
      frameSinks_.erase(same);
    }
    FrameSinkRecord record;
    record.frame = frame;
    ConnectFrameSinks(record, true);
    frameSinks_.push_back(std::move(record));
  }
  const bool top = frame && topFrame_ && SameObject(frame.get(), topFrame_.get());
  if (top) {
    topFrame_.Reset();
    OnTopDocumentComplete();
  }
  // Flash blocking on the top page once it is complete.
  if (blocker_) blocker_->OnDocumentComplete(top);
  navigationSettled_ = 1;
}

void TBWToolBarObj::OnTopDocumentComplete() {
  ComRef<IDispatch> dispatch;
  ComRef<IHTMLDocument2> document;
  if (SUCCEEDED(browser_->get_Document(dispatch.Out())) && dispatch)
    document = dispatch.As<IHTMLDocument2>(IID_IHTMLDocument2);
  if (!SameObject(document.get(), document_.get())) {
    ReleaseCurrentDocument();
    document_ = std::move(document);
    AdvisePropertyNotify(true);
  }
  if (document_) {
    documentWindow_.Reset();
    document_->get_parentWindow(documentWindow_.Out());

    // The browser's own handler and command target are its client site's:
    // what the band does not answer itself goes to them.
    defaultUiHandler_.Reset();
    defaultCommandTarget_.Reset();
    ComRef<IOleObject> object = document_.As<IOleObject>(IID_IOleObject);
    ComRef<IOleClientSite> clientSite;
    if (object && SUCCEEDED(object->GetClientSite(clientSite.Out())) && clientSite) {
      defaultUiHandler_ = clientSite.As<IDocHostUIHandler>(IID_IDocHostUIHandler);
      defaultCommandTarget_ = clientSite.As<IOleCommandTarget>(IID_IOleCommandTarget);
      // Forwarding to this band itself would never end.
      if (IsSelf(defaultUiHandler_.get())) defaultUiHandler_.Reset();
      if (IsSelf(defaultCommandTarget_.get())) defaultCommandTarget_.Reset();
    }
    ComRef<ICustomDoc> custom = document_.As<ICustomDoc>(kIidCustomDoc);
    if (custom && SUCCEEDED(custom->SetUIHandler(static_cast<IDocHostUIHandler*>(this))))
      uiHandlerInstalled_ = true;
  }
  TellToolbar(kDispidDocumentComplete);
}

// --- IPropertyNotifySink

STDMETHODIMP TBWToolBarObj::OnChanged(DISPID id) {
  if (id != DISPID_READYSTATE || !document_ || quitting_) return S_OK;
  win32::Bstr state;
  if (FAILED(document_->get_readyState(state.Out())) || !state.get()) return S_OK;
  if (lstrcmpiW(state.get(), L"complete") != 0) return S_OK;
  ComRef<IHTMLDocument2> document = document_;  // the blocker may end the page
  if (blocker_) blocker_->OnReadyStateComplete();
  return S_OK;
}

STDMETHODIMP TBWToolBarObj::OnRequestEdit(DISPID) {
  return S_OK;
}

// --- connections

void TBWToolBarObj::AdvisePropertyNotify(bool advise) {
  if (!advise) {
    Unadvise(&propertyNotifyPoint_, &propertyNotifyCookie_);
    return;
  }
  if (propertyNotifyCookie_ || !document_) return;
  Advise(document_.get(), IID_IPropertyNotifySink, static_cast<IPropertyNotifySink*>(this),
         &propertyNotifyPoint_, &propertyNotifyCookie_);
}

void TBWToolBarObj::ReleaseCurrentDocument() {
  AdvisePropertyNotify(false);
  // The document would go on asking a band that has left it.
  if (uiHandlerInstalled_ && document_) {
    if (ComRef<ICustomDoc> custom = document_.As<ICustomDoc>(kIidCustomDoc))
      custom->SetUIHandler(nullptr);
  }
  uiHandlerInstalled_ = false;
  defaultUiHandler_.Reset();
  defaultCommandTarget_.Reset();
  documentWindow_.Reset();
  document_.Reset();
}

void TBWToolBarObj::ConnectFrameSinks(FrameSinkRecord& record, bool connect) {
  if (!connect) {
    Unadvise(&record.windowPoint, &record.windowCookie);
    if (record.windowHandler) TBWWindowEventHandler::From(record.windowHandler.get())->Unbind();
    record.windowHandler.Reset();
    Unadvise(&record.documentPoint, &record.documentCookie);
    if (record.documentHandler)
      TBWDocHTMLEventsHandler::From(record.documentHandler.get())->Unbind();
    record.documentHandler.Reset();
    return;
  }
  ComRef<IWebBrowser2> frame = record.frame.As<IWebBrowser2>(IID_IWebBrowser2);
  ComRef<IDispatch> dispatch;
  if (!frame || FAILED(frame->get_Document(dispatch.Out())) || !dispatch) return;
  ComRef<IHTMLDocument2> document = dispatch.As<IHTMLDocument2>(IID_IHTMLDocument2);
  if (!document) return;

  if (SUCCEEDED(CreateComObject<TBWDocHTMLEventsHandler>(
          nullptr, IID_ITBWDocHTMLEventsHandlerquorvane, record.documentHandler.OutVoid()))) {
    TBWDocHTMLEventsHandler::From(record.documentHandler.get())
        ->Bind(blocker_.get(), document.get());
    Advise(document.get(), kIidHtmlDocumentEvents2, record.documentHandler.get(),
           &record.documentPoint, &record.documentCookie);
    if (!record.documentCookie) {
      TBWDocHTMLEventsHandler::From(record.documentHandler.get())->Unbind();
      record.documentHandler.Reset();
    }
  }

  ComRef<IHTMLWindow2> window;
  if (FAILED(document->get_parentWindow(window.Out())) || !window) return;
  if (SUCCEEDED(CreateComObject<TBWWindowEventHandler>(nullptr, IID_ITBWWindowEventHandlerquorvane,
                                                       record.windowHandler.OutVoid()))) {
    TBWWindowEventHandler::From(record.windowHandler.get())->Bind(&beforeUnload_);
    Advise(window.get(), kIidHtmlWindowEvents2, record.windowHandler.get(), &record.windowPoint,
           &record.windowCookie);
    if (!record.windowCookie) {
      TBWWindowEventHandler::From(record.windowHandler.get())->Unbind();
      record.windowHandler.Reset();
    }
  }
}

void TBWToolBarObj::DisconnectAllFrameSinks() {
  // Taken out first: an unadvise may call back into the band.
  std::vector<FrameSinkRecord> records = std::move(frameSinks_);
  frameSinks_.clear();
  for (FrameSinkRecord& record : records) ConnectFrameSinks(record, false);
}

void TBWToolBarObj::ConnectBrowserEvents(bool connect) {
  if (connect) {
    if (!browser_ || browserEventsCookie_) return;
    Advise(browser_.get(), DIID_DWebBrowserEvents2, AsDispatch(), &browserEventsPoint_,
           &browserEventsCookie_);
    if (!browserEventsCookie_) return;
    if (!frame_) {
      SHANDLE_PTR frame = 0;
      if (SUCCEEDED(browser_->get_HWND(&frame))) frame_ = reinterpret_cast<HWND>(frame);
    }
    if (frame_ && !frameSubclassed_) frameSubclassed_ = SubclassFrame(frame_, this);
    return;
  }
  Unadvise(&browserEventsPoint_, &browserEventsCookie_);
  if (frameSubclassed_) UnsubclassFrame(frame_, this);
  frameSubclassed_ = false;
}

// --- teardown

void TBWToolBarObj::MakeBlocker() {
  if (blocker_ || !sharedData_) return;
  blockerSystem_ = std::make_unique<PopupBlockerSystem>(*sharedData_, ProcessBlockerEnvironment());
  blockerSystem_->LoadBlockerSettings();
  blocker_ = std::make_unique<PopupBlocker>(*blockerSystem_, nullptr);
}

void TBWToolBarObj::UnloadPageOnQuit() {
  // Only when the browser window quits: a band taken out of a living
  // window leaves its page alone.
  if (quitting_ || !browser_ || !host_ || !blocker_) return;
  BrowserQuitWait wait(browser_.get());
  blocker_->OnBrowserQuit(wait);
}

void TBWToolBarObj::Teardown() {
  quitting_ = true;
  AdvisePropertyNotify(false);
  DisconnectAllFrameSinks();
  ConnectBrowserEvents(false);
  topFrame_.Reset();
  ReleaseCurrentDocument();
  if (registered_)
    sharedData_->UnregisterBrowserWindow(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(this)),
                                         static_cast<uint64_t>(reinterpret_cast<uintptr_t>(frame_)),
                                         GetCurrentProcessId());
  registered_ = false;
  RemoveLiveBand(this);
  // Whether or not the band had a table entry: a hook left in a module
  // that is unloaded would be called into freed code.
  if (keyboardHook_) UnhookWindowsHookEx(keyboardHook_);
  keyboardHook_ = nullptr;
  if (host_) host_->Toolbar().Stop();
}

void TBWToolBarObj::RegisterLiveBand() {
  AddLiveBand(this);
}

// --- the frame window and the keyboard

LRESULT CALLBACK TBWToolBarObj::FrameWindowProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  WNDPROC original = nullptr;
  bool unicode = false;
  std::vector<TBWToolBarObj*> bands;
  {
    std::lock_guard<std::mutex> lock(g_framesLock);
    auto found = g_frames.find(window);
    if (found != g_frames.end()) {
      original = found->second.original;
      unicode = found->second.unicode;
      bands = found->second.bands;
    }
  }
  // Every band of the window follows its move and size state.
  for (TBWToolBarObj* band : bands)
    if (band->blocker_) band->blocker_->OnFrameMessage(message, static_cast<uintptr_t>(wParam));
  if (message == WM_WINDOWPOSCHANGING && lParam != 0) {
    auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
    TBWToolBarObj* band = FindBand(window);
    if (band == nullptr && !bands.empty()) band = bands.back();
    if (band && band->blocker_)
      position->flags = band->blocker_->OnWindowPosChanging(position->flags);
  }
  LRESULT result = 0;
  if (original)
    result = unicode ? CallWindowProcW(original, window, message, wParam, lParam)
                     : CallWindowProcA(original, window, message, wParam, lParam);
  else
    result = unicode ? DefWindowProcW(window, message, wParam, lParam)
                     : DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    // The window is gone: nothing is left to put back.
    std::lock_guard<std::mutex> lock(g_framesLock);
    if (g_frames.erase(window)) UnlockModule();
  }
  return result;
}

LRESULT CALLBACK TBWToolBarObj::KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
  // The hook handle is only a courtesy to the next hook: a band that is
  // not in the table passes the call on all the same.
  TBWToolBarObj* band = FindBand(GetFocus());
  return CallNextHookEx(band ? band->keyboardHook_ : nullptr, code, wParam, lParam);
}

void TBWToolBarObj::InstallKeyboardHook() {
  if (keyboardHook_) return;
  keyboardHook_ = SetWindowsHookExA(WH_KEYBOARD, &TBWToolBarObj::KeyboardHookProc, nullptr,
                                    GetCurrentThreadId());
}

}  // namespace qv
