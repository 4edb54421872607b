// Text dropped on the toolbar's input controls under Wine: the controls'
// own drop targets driven through IDropTarget with a small data object,
// on a thread with OLE, and the search a drop starts reaching the browser.
#ifdef _WIN32

#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/standard_features.h"
#include "host/toolbar_command_host.h"
#include "host/win32/com_module.h"
#include "host/win32/drop_target_win32.h"
#include "host/win32/toolbar_windows_win32.h"
#include "platform/win32/scoped.h"
#include "settings/settings.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

using win32::ComRef;

constexpr char kDefinition[] = R"(TBW_Toolbar {
  COMBO { name = "q" command = "find" }
  COMBO { name = "e" type = "edit" command = "short" maxchars = "8" }
  COMMANDS { GOTOURL { name = "find" url = "http://find.test/?q=%q" }
             GOTOURL { name = "short" url = "http://short.test/?e=%e" } }
})";

// A data object holding one global memory block of bytes as it is given
// (a terminator only if the bytes carry one). The medium it hands out
// names the object as its owner, so a drop that never releases the
// medium leaves a reference behind.
class BlockDataObject : public IDataObject {
 public:
  enum class Offer { kText, kNothing, kClaimsTextButFails };

  BlockDataObject(const std::string& bytes, Offer offer) : offer_(offer) {
    block_ = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.empty() ? 1 : bytes.size());
    if (void* p = GlobalLock(block_)) {
      memcpy(p, bytes.data(), bytes.size());
      GlobalUnlock(block_);
    }
  }
  ~BlockDataObject() { GlobalFree(block_); }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDataObject)) return E_NOINTERFACE;
    *out = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }

  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    ++gets;
    if (offer_ != Offer::kText || QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block_;
    medium->pUnkForRelease = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    if (offer_ == Offer::kNothing) return DV_E_FORMATETC;
    return format->cfFormat == CF_TEXT && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

  bool Unlocked() const { return (GlobalFlags(block_) & GMEM_LOCKCOUNT) == 0; }

  long refs = 1;
  int gets = 0;

 private:
  Offer offer_;
  HGLOBAL block_ = nullptr;
};

class DropTargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The browser's thread has OLE; drop targets need it.
    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    locksBefore_ = ModuleLockCount();
    instance_ = GetModuleHandleA(nullptr);
    site_.Reset(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 800, 22, nullptr, nullptr,
                                instance_, nullptr));
    ASSERT_TRUE(site_);
    WriteFile(dir.File("tbil.bmp"), BitmapBytes(16 * 4, 16));
    WriteFile(dir.File("tbhotil.bmp"), BitmapBytes(16 * 4, 16));
    WriteFile(dir.File("quorvane.tbd"), kDefinition);
    // The real search: a drop runs the item's GOTOURL into the browser.
    ToolbarHooks real = ToolbarHooks::Defaults();
    real.owner = &hooks;
    host = ToolbarWindowHost::Create(instance_, site_.get(), lookup, real);
    ASSERT_NE(host, nullptr);
    AttachStandardFeatures(host->Toolbar());
    host->Toolbar().CommandHost().SetBrowser(&browser);
    ASSERT_TRUE(host->Toolbar().BuildToolbar(true));
  }
  void TearDown() override {
    host.reset();
    site_.Reset();
    OleUninitialize();
  }

  HWND Window(int item) { return reinterpret_cast<HWND>(host->Toolbar().ItemWindow(item)); }
  ComRef<IDropTarget> TargetOf(int item) {
    ComRef<IDropTarget> target;
    EXPECT_EQ(CreateInputDropTarget(Window(item), target.Out()), S_OK);
    return target;
  }
  std::string TextOf(int item) {
    std::string text(70000, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(Window(item), text.data(), 70000)));
    return text;
  }
  std::vector<std::string> Navigations() {
    std::vector<std::string> urls;
    for (const RecordedCall& call : browser.Log().Named("Navigate2"))
      urls.push_back(call.Arg("url").value_or(""));
    return urls;
  }
  // A whole drag that ends in a drop: the answers of each step.
  struct Answers {
    DWORD enter = 99, over = 99, drop = 99;
    HRESULT dropResult = S_OK;
  };
  Answers DragAndDrop(int item, IDataObject* data, DWORD allowed = DROPEFFECT_COPY) {
    Answers a;
    ComRef<IDropTarget> target = TargetOf(item);
    a.enter = allowed;
    EXPECT_EQ(target->DragEnter(data, 0, POINTL{1, 1}, &a.enter), S_OK);
    a.over = allowed;
    EXPECT_EQ(target->DragOver(0, POINTL{2, 2}, &a.over), S_OK);
    a.drop = allowed;
    a.dropResult = target->Drop(data, 0, POINTL{2, 2}, &a.drop);
    return a;
  }

  MemoryRegistry registry;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  SilentMessages messages;
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};
  TempDir dir;
  LocalResourceLookup lookup{dir.path()};
  RecordingHooks hooks;
  ScriptedBrowser browser;
  HINSTANCE instance_ = nullptr;
  win32::ScopedWindow site_;
  std::unique_ptr<ToolbarWindowHost> host;
  long locksBefore_ = 0;
};

TEST_F(DropTargetTest, DroppedTextFillsTheControlAndSearchesUnlessSwitchedOff) {
  BlockDataObject data(std::string("two words\0tail after the terminator", 35),
                       BlockDataObject::Offer::kText);
  Answers a = DragAndDrop(0, &data);
  EXPECT_EQ(a.enter, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(a.over, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(a.dropResult, S_OK);
  EXPECT_EQ(a.drop, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(TextOf(0), "two words");
  EXPECT_EQ(Navigations(), std::vector<std::string>{"http://find.test/?q=two+words"});
  // The kept object and the medium are both given back, the block unlocked.
  EXPECT_EQ(data.refs, 1);
  EXPECT_TRUE(data.Unlocked());

  SetSettingString("RunSearchDragAutomatically", "0");
  BlockDataObject other("only filled", BlockDataObject::Offer::kText);
  a = DragAndDrop(0, &other);
  EXPECT_EQ(a.dropResult, S_OK);
  EXPECT_EQ(TextOf(0), "only filled");
  EXPECT_EQ(Navigations().size(), 1u);
  EXPECT_EQ(other.refs, 1);
}

TEST_F(DropTargetTest, DragsWithoutUsableTextAreRefusedAndChangeNothing) {
  SetWindowTextA(Window(1), "kept");
  BlockDataObject none("never read", BlockDataObject::Offer::kNothing);
  Answers a = DragAndDrop(1, &none);
  EXPECT_EQ(a.enter, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(a.over, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(a.dropResult, E_FAIL);
  EXPECT_EQ(a.drop, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(none.gets, 0);

  // Text the source only lets go of by moving it.
  BlockDataObject moveOnly("moved", BlockDataObject::Offer::kText);
  a = DragAndDrop(1, &moveOnly, DROPEFFECT_MOVE);
  EXPECT_EQ(a.enter, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(a.dropResult, E_FAIL);

  // Claimed text that never comes: no empty text, no search.
  BlockDataObject liar("", BlockDataObject::Offer::kClaimsTextButFails);
  a = DragAndDrop(1, &liar);
  EXPECT_EQ(a.enter, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(a.dropResult, E_FAIL);
  EXPECT_EQ(a.drop, static_cast<DWORD>(DROPEFFECT_NONE));

  // A drag that left before the drop.
  BlockDataObject left("left", BlockDataObject::Offer::kText);
  {
    ComRef<IDropTarget> target = TargetOf(1);
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->DragEnter(&left, 0, POINTL{}, &effect), S_OK);
    EXPECT_EQ(left.refs, 2);  // kept while over the control
    EXPECT_EQ(target->DragLeave(), S_OK);
    EXPECT_EQ(left.refs, 1);
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->DragOver(0, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(target->Drop(&left, 0, POINTL{}, &effect), E_FAIL);
  }

  EXPECT_EQ(TextOf(1), "kept");
  EXPECT_TRUE(Navigations().empty());
  for (BlockDataObject* d : {&none, &moveOnly, &liar, &left}) EXPECT_EQ(d->refs, 1);
}

TEST_F(DropTargetTest, TextIsBoundedByItsBlockAndTheControlsLimit) {
  // No terminator: the block's own size ends the text.
  BlockDataObject unterminated("abcdef", BlockDataObject::Offer::kText);
  EXPECT_EQ(DragAndDrop(0, &unterminated).dropResult, S_OK);
  EXPECT_EQ(TextOf(0), "abcdef");

  // Megabytes without a terminator: cut to what the box takes.
  BlockDataObject huge(std::string(4 << 20, 'x'), BlockDataObject::Offer::kText);
  EXPECT_EQ(DragAndDrop(0, &huge).dropResult, S_OK);
  const std::string text = TextOf(0);
  EXPECT_GT(text.size(), 0u);
  EXPECT_LE(text.size(), kMaxDroppedText);
  EXPECT_EQ(text.find_first_not_of('x'), std::string::npos);
  EXPECT_TRUE(huge.Unlocked());
  EXPECT_EQ(huge.refs, 1);

  // The edit field takes 8 characters; the search sees the same 8.
  BlockDataObject longer("0123456789abc", BlockDataObject::Offer::kText);
  EXPECT_EQ(DragAndDrop(1, &longer).dropResult, S_OK);
  EXPECT_EQ(TextOf(1), "01234567");
  EXPECT_EQ(Navigations().back(), "http://short.test/?e=01234567");
}

TEST_F(DropTargetTest, ControlsAreRegisteredWhileTheyLiveAndTheirTargetsGoWithThem) {
  ComRef<IDropTarget> probe;
  ASSERT_EQ(CreateInputDropTarget(site_.get(), probe.Out()), S_OK);
  for (int item : {0, 1})
    EXPECT_EQ(RegisterDragDrop(Window(item), probe.get()), DRAGDROP_E_ALREADYREGISTERED) << item;

  // A target that outlives its toolbar answers nothing and keeps nothing.
  ComRef<IDropTarget> orphan = TargetOf(0);
  host.reset();
  BlockDataObject data("late", BlockDataObject::Offer::kText);
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(orphan->DragEnter(&data, 0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(orphan->Drop(&data, 0, POINTL{}, &effect), E_FAIL);
  EXPECT_EQ(data.refs, 1);
  orphan.Reset();
  probe.Reset();
  // The registrations were revoked with the windows: every target is gone.
  EXPECT_EQ(ModuleLockCount(), locksBefore_);
}

}  // namespace
}  // namespace qv::test

#endif  // _WIN32
