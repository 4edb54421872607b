// The scoped Win32 and COM owners, checked by counting references on a COM
// object of the test's own (run under Wine by the Windows test build).
#ifdef _WIN32

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <utility>

#include "platform/win32/com_browser.h"
#include "platform/win32/scoped.h"
#include "support/fake_web_browser.h"

namespace qv::test {
namespace {

using win32::Bstr;
using win32::ComRef;
using win32::Variant;

// Lives on the stack; only the count matters. Answers IUnknown and nothing
// else.
class Counted : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
    *out = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
  ULONG refs() const { return refs_; }

 private:
  ULONG refs_ = 0;
};

// What an API with an interface out-parameter does.
HRESULT HandOut(Counted* object, IUnknown** out) {
  object->AddRef();
  *out = object;
  return S_OK;
}

TEST(Win32ComRef, CopiesMovesAndResetsKeepTheCountRight) {
  Counted object;
  {
    auto a = ComRef<IUnknown>::Share(&object);
    EXPECT_EQ(object.refs(), 1u);
    ComRef<IUnknown> b = a;
    EXPECT_EQ(object.refs(), 2u);
    ComRef<IUnknown> c = std::move(b);
    EXPECT_EQ(object.refs(), 2u);
    EXPECT_FALSE(b);
    b = c;
    EXPECT_EQ(object.refs(), 3u);
    b = std::move(a);  // b's own reference goes, a's moves in
    EXPECT_EQ(object.refs(), 2u);
    EXPECT_FALSE(a);
    ComRef<IUnknown>& same = c;
    c = same;
    c = std::move(same);
    EXPECT_EQ(object.refs(), 2u);
    EXPECT_EQ(c.get(), &object);
    c.Reset();
    EXPECT_EQ(object.refs(), 1u);

    IUnknown* raw = b.Detach();
    EXPECT_FALSE(b);
    EXPECT_EQ(object.refs(), 1u);
    b.Attach(raw);
    EXPECT_EQ(object.refs(), 1u);
    c = ComRef<IUnknown>::Adopt(raw);  // a second owner of one reference...
    EXPECT_EQ(object.refs(), 1u);
    c.Detach();  // ...gives it up without releasing
  }
  EXPECT_EQ(object.refs(), 0u);
}

TEST(Win32ComRef, OutParametersReleaseWhatWasHeldFirst) {
  Counted first, second;
  {
    auto ref = ComRef<IUnknown>::Share(&first);
    HandOut(&second, ref.Out());
    EXPECT_EQ(first.refs(), 0u);
    EXPECT_EQ(second.refs(), 1u);
    ASSERT_EQ(first.QueryInterface(IID_IUnknown, ref.OutVoid()), S_OK);
    EXPECT_EQ(first.refs(), 1u);
    EXPECT_EQ(second.refs(), 0u);

    {
      ComRef<IUnknown> again = ref.As<IUnknown>(IID_IUnknown);
      EXPECT_EQ(first.refs(), 2u);
      ComRef<IDispatch> none = ref.As<IDispatch>(IID_IDispatch);
      EXPECT_FALSE(none);
      EXPECT_EQ(first.refs(), 2u);
    }
    EXPECT_EQ(first.refs(), 1u);
    EXPECT_FALSE(ComRef<IUnknown>().As<IUnknown>(IID_IUnknown));
  }
  EXPECT_EQ(first.refs(), 0u);
}

// VariantClear releases an interface a VARIANT holds: a held object's count
// shows whether a Variant was cleared once, and only once.
TEST(Win32Variant, ClearsWhatItHoldsExactlyOnce) {
  Counted first, second;
  auto hold = [](Variant& v, Counted& object) {
    object.AddRef();
    v.get()->vt = VT_UNKNOWN;
    v.get()->punkVal = &object;
  };
  {
    Variant a;
    hold(a, first);
    Variant b = std::move(a);
    EXPECT_EQ(a.get()->vt, VT_EMPTY);
    EXPECT_EQ(first.refs(), 1u);
    Variant c;
    hold(c, second);
    c = std::move(b);  // second's reference goes
    EXPECT_EQ(second.refs(), 0u);
    EXPECT_EQ(first.refs(), 1u);
    hold(b, second);
    b.Out();
    EXPECT_EQ(b.get()->vt, VT_EMPTY);
    EXPECT_EQ(second.refs(), 0u);
    c.SetText("replaced");  // an interface replaced by text is released
    EXPECT_EQ(first.refs(), 0u);
    EXPECT_EQ(c.get()->vt, VT_BSTR);
    hold(a, first);
  }
  EXPECT_EQ(first.refs(), 0u);
}

TEST(Win32Bstr, OneOwnerFreesItAndOutEmptiesFirst) {
  Bstr a(L"address");
  const BSTR text = a.get();
  ASSERT_NE(text, nullptr);
  Bstr b = std::move(a);
  EXPECT_EQ(a.get(), nullptr);
  EXPECT_EQ(b.get(), text);
  EXPECT_EQ(b.Text(), "address");
  a = std::move(b);
  EXPECT_EQ(a.get(), text);
  BSTR* slot = a.Out();
  EXPECT_EQ(*slot, nullptr);
  *slot = SysAllocString(L"filled");
  EXPECT_EQ(a.Text(), "filled");
  BSTR mine = a.Detach();
  EXPECT_EQ(a.get(), nullptr);
  EXPECT_EQ(SysStringLen(mine), 6u);
  a.Attach(mine);
  EXPECT_EQ(Bstr(std::string("with\0nul", 8)).Text(), std::string("with\0nul", 8));
  EXPECT_EQ(Bstr().Text(), "");
}

bool IsOpen(HANDLE h) {
  DWORD flags = 0;
  return GetHandleInformation(h, &flags) != 0;
}

TEST(Win32ScopedHandle, ClosesOnceAndKnowsItsEmptyValue) {
  HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    win32::ScopedHandle event(raw);
    win32::ScopedHandle moved = std::move(event);
    EXPECT_FALSE(event);
    EXPECT_EQ(moved.get(), raw);
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw));

  // File handles are empty at INVALID_HANDLE_VALUE, the failure value of
  // CreateFile; other kernel handles at null.
  win32::ScopedFileHandle file;
  EXPECT_FALSE(file);
  EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
  file.Reset(CreateFileA("Z:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                         nullptr));
  EXPECT_FALSE(file);
  EXPECT_FALSE(win32::ScopedHandle());
  EXPECT_EQ(*win32::ScopedFileHandle().Out(), INVALID_HANDLE_VALUE);
}

TEST(Win32CursorRestorer, PutsBackTheFirstCursorReplacedAndOnlyThat) {
  const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
  const HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
  SetCursor(arrow);
  {
    win32::CursorRestorer restorer;
    restorer.Restore();  // nothing replaced: the cursor stays
    EXPECT_EQ(GetCursor(), arrow);
    restorer.Show(wait);
    restorer.Show(wait);  // nested: the arrow is still what comes back
    EXPECT_EQ(GetCursor(), wait);
    restorer.Restore();
    EXPECT_EQ(GetCursor(), arrow);
    restorer.Show(wait);
  }
  EXPECT_EQ(GetCursor(), arrow);
}

// The browser adapter over a real COM path: one reference of its own while
// it lives, and every BSTR and VARIANT it passes cleared again.
TEST(Win32BrowserAdapter, HoldsOneReferenceAndClearsWhatItPasses) {
  FakeWebBrowser fake;
  {
    std::unique_ptr<Browser> browser = win32::WrapWebBrowser(&fake);
    ASSERT_TRUE(browser);
    EXPECT_EQ(fake.refs, 2u);
    std::string url;
    ASSERT_TRUE(browser->GetLocationUrl(&url));
    EXPECT_EQ(url, "http://example.test/here");

    NavigateRequest request;
    request.url = "http://example.test/form";
    request.target = std::string("_blank");
    request.postData = std::string("a=1&b=2");
    ASSERT_TRUE(browser->Navigate2(request));
    EXPECT_EQ(fake.navigated, L"http://example.test/form");
    EXPECT_TRUE(fake.targeted);
    EXPECT_EQ(fake.postBytes, 7u);
    EXPECT_EQ(fake.refs, 2u);  // the object put in the post data was released
  }
  EXPECT_EQ(fake.refs, 1u);
  EXPECT_FALSE(win32::WrapWebBrowser(nullptr));
}

}  // namespace
}  // namespace qv::test

#endif  // _WIN32
