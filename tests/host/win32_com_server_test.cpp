// The COM server: the registration it writes and removes (in memory and
// through the real registry), quorvane.dll itself under Wine through its
// exports, regsvr32 and CoCreateInstance, its reference counts, the band's
// IDispatch and aggregation. The cases that register the DLL share the
// system registry and are run one at a time (RESOURCE_LOCK in CMake).
#ifdef _WIN32

#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "support/win32_registration_guard.h"
#include "host/win32/com_classes.h"
#include "host/win32/com_module.h"
#include "host/win32/com_registrar.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/win32/com_support.h"
#include "platform/win32/scoped.h"
#include "quorvane_h.h"
#include "settings/settings.h"
#include "support/memory_registry.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

using win32::ComRef;

const char kBand[] = "{79F2FCFF-052A-4C50-B981-AEF4AF4E78EA}";
const char kDocumentHandler[] = "{02DF48D9-1A34-4438-BCC8-781029411B88}";
const char kWindowHandler[] = "{3A31DB96-B3B0-438F-A738-86DDE4676C06}";
const char kLibid[] = "{5C4BDFDA-9B62-4685-9627-4272177E429D}";

// Every key and value below root\path, one line each, sorted: "key" for a
// key, "key = text" for its default value, "key : name = text" for a named
// one. Values other than zero-terminated REG_SZ say so.
void Dump(Registry& registry, RegHandle root, const std::string& path,
          std::vector<std::string>* lines) {
  RegKey key;
  if (key.Open(registry, root, path) != kErrorSuccess) return;
  lines->push_back(path);
  for (uint32_t i = 0;; ++i) {
    char name[256];
    uint32_t chars = sizeof name;
    uint32_t type = 0;
    uint8_t data[2048];
    uint32_t size = sizeof data;
    if (registry.EnumValue(key.get(), i, name, &chars, &type, data, &size) != kErrorSuccess) break;
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string line = path + (chars ? " : " + std::string(name, chars) : std::string()) + " = ";
    if (type == kRegSz && !text.empty() && text.back() == '\0') {
      text.pop_back();
      line += text;
    } else {
      line += "<type " + std::to_string(type) + ", " + std::to_string(size) + " bytes>";
    }
    lines->push_back(line);
  }
  std::vector<std::string> subkeys;
  for (uint32_t i = 0;; ++i) {
    char name[256];
    uint32_t chars = sizeof name;
    if (registry.EnumKey(key.get(), i, name, &chars) != kErrorSuccess) break;
    subkeys.emplace_back(name, chars);
  }
  for (const std::string& subkey : subkeys) Dump(registry, root, path + "\\" + subkey, lines);
}

std::vector<std::string> ClassKeys(Registry& registry, const std::string& clsid,
                                   const std::string& progId, const std::string& viProgId) {
  std::vector<std::string> lines;
  Dump(registry, kHkeyClassesRoot, progId, &lines);
  Dump(registry, kHkeyClassesRoot, viProgId, &lines);
  Dump(registry, kHkeyClassesRoot, "CLSID\\" + clsid, &lines);
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> Expected(const std::string& clsid, const std::string& description,
                                  const std::string& progId, const std::string& viProgId,
                                  const std::string& progIdDescription,
                                  const std::string& modulePath,
                                  const std::vector<std::string>& categories) {
  const std::string key = "CLSID\\" + clsid;
  std::vector<std::string> lines = {
      progId,
      progId + " = " + progIdDescription,
      progId + "\\CLSID",
      progId + "\\CLSID = " + clsid,
      viProgId,
      viProgId + " = " + progIdDescription,
      viProgId + "\\CLSID",
      viProgId + "\\CLSID = " + clsid,
      viProgId + "\\CurVer",
      viProgId + "\\CurVer = " + progId,
      key,
      key + " = " + description,
      key + "\\ProgID",
      key + "\\ProgID = " + progId,
      key + "\\VersionIndependentProgID",
      key + "\\VersionIndependentProgID = " + viProgId,
      key + "\\Programmable",
      key + "\\InprocServer32",
      key + "\\InprocServer32 = " + modulePath,
      key + "\\InprocServer32 : ThreadingModel = Apartment",
      key + "\\TypeLib",
      key + "\\TypeLib = " + kLibid,
  };
  if (!categories.empty()) lines.push_back(key + "\\Implemented Categories");
  for (const std::string& category : categories)
    lines.push_back(key + "\\Implemented Categories\\" + category);
  std::sort(lines.begin(), lines.end());
  return lines;
}

void ExpectAllClassKeys(Registry& registry, const std::string& modulePath) {
  EXPECT_EQ(ClassKeys(registry, kBand, "TBW.quorvane.1", "TBW.quorvane"),
            Expected(kBand, "quorvane", "TBW.quorvane.1", "TBW.quorvane", "quorvane", modulePath,
                     {"{7DD95801-9882-11CF-9FA9-00AA006C42C4}",
                      "{7DD95802-9882-11CF-9FA9-00AA006C42C4}"}));
  EXPECT_EQ(ClassKeys(registry, kDocumentHandler, "TBW.quorvaneTBWDocHTMLEventsHandler.1",
                      "TBW.quorvaneTBWDocHTMLEventsHandler"),
            Expected(kDocumentHandler, "TBWDocHTMLEventsHandler Class",
                     "TBW.quorvaneTBWDocHTMLEventsHandler.1", "TBW.quorvaneTBWDocHTMLEventsHandler",
                     "quorvaneTBWDocHTMLEventsHandler Class", modulePath, {}));
  EXPECT_EQ(ClassKeys(registry, kWindowHandler, "TBW.quorvaneWindowEventHandler.1",
                      "TBW.quorvaneWindowEventHandler"),
            Expected(kWindowHandler, "quorvane WindowEventHandler Class",
                     "TBW.quorvaneWindowEventHandler.1", "TBW.quorvaneWindowEventHandler",
                     "quorvaneWindowEventHandler Class", modulePath, {}));
}

void ExpectNoClassKeys(Registry& registry) {
  for (const char* key : {"TBW.quorvane.1", "TBW.quorvane", "TBW.quorvaneTBWDocHTMLEventsHandler.1",
                          "TBW.quorvaneTBWDocHTMLEventsHandler", "TBW.quorvaneWindowEventHandler.1",
                          "TBW.quorvaneWindowEventHandler"}) {
    RegKey k;
    EXPECT_EQ(k.Open(registry, kHkeyClassesRoot, key), kErrorFileNotFound) << key;
  }
  for (const char* clsid : {kBand, kDocumentHandler, kWindowHandler}) {
    RegKey k;
    EXPECT_EQ(k.Open(registry, kHkeyClassesRoot, std::string("CLSID\\") + clsid),
              kErrorFileNotFound)
        << clsid;
  }
}

TEST(ComRegistrar, WritesEachClassAndRemovesItWholeLeavingOtherClasses) {
  MemoryRegistry registry;
  RegKey other;
  ASSERT_EQ(
      other.Create(registry, kHkeyClassesRoot, "CLSID\\{00000000-1111-2222-3333-444444444444}"),
      kErrorSuccess);
  other.Close();
  const std::string path = "C:\\Program Files\\quorvane\\quorvane.dll";
  ASSERT_EQ(RegisterClasses(registry, ModuleClassRegistrations(), LIBID_TBWLibquorvane, path),
            S_OK);
  ExpectAllClassKeys(registry, path);
  // Registering again (as installation does) changes nothing.
  ASSERT_EQ(RegisterClasses(registry, ModuleClassRegistrations(), LIBID_TBWLibquorvane, path),
            S_OK);
  ExpectAllClassKeys(registry, path);

  ASSERT_EQ(UnregisterClasses(registry, ModuleClassRegistrations()), S_OK);
  ExpectNoClassKeys(registry);
  EXPECT_EQ(other.Open(registry, kHkeyClassesRoot, "CLSID\\{00000000-1111-2222-3333-444444444444}"),
            kErrorSuccess);
  // Nothing left to remove is not a failure.
  EXPECT_EQ(UnregisterClasses(registry, ModuleClassRegistrations()), S_OK);
}

// A copy of this program started with the variable set loads the DLL it
// names and ends at once: 10 when the DLL loaded, 20 when it refused.
constexpr wchar_t kLoadProbeVariable[] = L"QV_LOAD_PROBE_DLL";
const bool kIsLoadProbe = [] {
  wchar_t dll[MAX_PATH] = {};
  if (GetEnvironmentVariableW(kLoadProbeVariable, dll, MAX_PATH) == 0) return false;
  ExitProcess(LoadLibraryW(dll) ? 10 : 20);
}();

// Runs a copy of this program named program in a folder of its own, as the
// load probe of dll; its exit code, or a number above 1000 when it failed.
DWORD RunLoadProbe(const std::wstring& dll, const std::string& program) {
  TempDir dir;
  const std::wstring copy = win32::Widen(dir.File(program));
  if (!CopyFileW(HostExecutablePath().c_str(), copy.c_str(), FALSE)) return 1000 + GetLastError();
  std::wstring line = L"\"" + copy + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  SetEnvironmentVariableW(kLoadProbeVariable, dll.c_str());
  const BOOL started = CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                                      nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableW(kLoadProbeVariable, nullptr);
  if (!started) return 2000 + GetLastError();
  win32::ScopedHandle processHandle(process.hProcess);
  win32::ScopedHandle threadHandle(process.hThread);
  DWORD code = 999;
  if (WaitForSingleObject(processHandle.get(), 60000) != WAIT_OBJECT_0) {
    TerminateProcess(processHandle.get(), 998);
    WaitForSingleObject(processHandle.get(), 5000);
    return code;
  }
  GetExitCodeProcess(processHandle.get(), &code);
  return code;
}

TEST(ComModuleHost, RefusesOnlyTheShell) {
  EXPECT_TRUE(IsRefusedHostPath(L"C:\\WINDOWS\\EXPLORER.EXE"));
  EXPECT_TRUE(IsRefusedHostPath(L"c:\\windows\\explorer.exe"));
  EXPECT_FALSE(IsRefusedHostPath(L"C:\\Program Files\\Internet Explorer\\iexplore.exe"));
  EXPECT_FALSE(IsRefusedHostPath(L"C:\\WINDOWS\\regsvr32.exe"));
}

// An outer object that aggregates the band: it counts its own references
// and hands out the inner object's interfaces.
class Outer final : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
  long refs = 1;
  ComRef<IUnknown> inner;
};

// quorvane.dll as built next to this test program, loaded into it.
class ComServerTest : public ::testing::Test {
 protected:
  using Entry = HRESULT(STDAPICALLTYPE*)();
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

  void SetUp() override {
    std::wstring test = HostExecutablePath();
    std::wstring relative = test.substr(0, test.find_last_of(L'\\')) + L"\\..\\src\\quorvane.dll";
    wchar_t full[MAX_PATH];
    ASSERT_GT(GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr), 0u);
    path_ = full;
    test::PrepareForRegistration(Path().substr(0, Path().find_last_of('\\') + 1));
    module_ = LoadLibraryW(path_.c_str());
    ASSERT_NE(module_, nullptr) << "cannot load " << win32::Narrow(path_.c_str());
    register_ = Export<Entry>("DllRegisterServer");
    unregister_ = Export<Entry>("DllUnregisterServer");
    canUnload_ = Export<Entry>("DllCanUnloadNow");
    getClassObject_ = Export<GetClassObject>("DllGetClassObject");
    ASSERT_TRUE(register_ && unregister_ && canUnload_ && getClassObject_);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
  }
  void TearDown() override {
    if (unregister_) unregister_();
    // Unregistration schedules the module's removal at the next logon, which
    // for Wine is the prefix's next start: the built DLL must survive it.
    HKEY runOnce = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Runonce",
                      0, KEY_ALL_ACCESS, &runOnce) == ERROR_SUCCESS) {
      win32::ScopedRegKey owned(runOnce);
      RegDeleteValueW(runOnce, L"Remove Ostrivel");
    }
    CoUninitialize();
    if (module_) FreeLibrary(module_);
  }
  template <typename F>
  F Export(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  std::string Path() const { return win32::Narrow(path_.c_str()); }

  std::wstring path_;
  HMODULE module_ = nullptr;
  Entry register_ = nullptr;
  Entry unregister_ = nullptr;
  Entry canUnload_ = nullptr;
  GetClassObject getClassObject_ = nullptr;
};

TEST_F(ComServerTest, ExportsOnlyTheFourEntryPointsAndImportsOnlySystemLibraries) {
  const auto* base = reinterpret_cast<const BYTE*>(module_);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& exportsEntry =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(exportsEntry.VirtualAddress, 0u);
  const auto* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + exportsEntry.VirtualAddress);
  const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  std::vector<std::string> exported;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    exported.emplace_back(reinterpret_cast<const char*>(base + names[i]));
  std::sort(exported.begin(), exported.end());
  // Undecorated on i686 too: no "@8" and no leading underscore.
  EXPECT_EQ(exported, (std::vector<std::string>{"DllCanUnloadNow", "DllGetClassObject",
                                                "DllRegisterServer", "DllUnregisterServer"}));
  EXPECT_EQ(exports->NumberOfFunctions, 4u);

  // Linked statically: no compiler runtime has to lie beside it.
  const IMAGE_DATA_DIRECTORY& importsEntry =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(importsEntry.VirtualAddress, 0u);
  for (const auto* import =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + importsEntry.VirtualAddress);
       import->Name != 0; ++import) {
    std::string name = reinterpret_cast<const char*>(base + import->Name);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(name.rfind("lib", 0), 0u) << name;
    EXPECT_EQ(name.find("mingw"), std::string::npos) << name;
  }
}

TEST_F(ComServerTest, DoesNotLoadIntoTheShellButIntoABrowser) {
  EXPECT_EQ(RunLoadProbe(path_, "EXPLORER.EXE"), 20u);
  EXPECT_EQ(RunLoadProbe(path_, "iexplore.exe"), 10u);
}

TEST_F(ComServerTest, RegisterWritesClassesAndTypeLibraryAndUnregisterRemovesThem) {
  Registry& registry = GetRegistry();
  ASSERT_EQ(register_(), S_OK);
  ExpectAllClassKeys(registry, Path());
  RegKey key;
  EXPECT_EQ(key.Open(registry, kHkeyClassesRoot, std::string("TypeLib\\") + kLibid + "\\1.0"),
            kErrorSuccess);
  EXPECT_EQ(
      key.Open(registry, kHkeyClassesRoot, "Interface\\{8EA72976-94F1-47A7-9B55-D0EC5F31D5E6}"),
      kErrorSuccess);

  ASSERT_EQ(unregister_(), S_OK);
  ExpectNoClassKeys(registry);
  EXPECT_EQ(key.Open(registry, kHkeyClassesRoot, std::string("TypeLib\\") + kLibid),
            kErrorFileNotFound);
  EXPECT_EQ(
      key.Open(registry, kHkeyClassesRoot, "Interface\\{8EA72976-94F1-47A7-9B55-D0EC5F31D5E6}"),
      kErrorFileNotFound);
  // A second unregistration finds nothing and succeeds.
  EXPECT_EQ(unregister_(), S_OK);

  ComRef<IClassFactory> factory;
  EXPECT_EQ(getClassObject_(GUID_NULL, IID_IClassFactory, factory.OutVoid()),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_FALSE(factory);
}

TEST_F(ComServerTest, Regsvr32RegistersAndUnregistersTheBuiltModule) {
  auto run = [](const std::wstring& command) -> DWORD {
    std::wstring line = command;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
      return GetLastError() + 1000;
    win32::ScopedHandle processHandle(process.hProcess);
    win32::ScopedHandle threadHandle(process.hThread);
    if (WaitForSingleObject(processHandle.get(), 60000) != WAIT_OBJECT_0) return 999;
    DWORD code = 998;
    GetExitCodeProcess(processHandle.get(), &code);
    return code;
  };
  ASSERT_EQ(run(L"regsvr32.exe /s \"" + path_ + L"\""), 0u);
  ExpectAllClassKeys(GetRegistry(), Path());
  ASSERT_EQ(run(L"regsvr32.exe /u /s \"" + path_ + L"\""), 0u);
  ExpectNoClassKeys(GetRegistry());
}

TEST_F(ComServerTest, BandComesFromTheRegistryAndItsReferencesComeBack) {
  ASSERT_EQ(register_(), S_OK);
  EXPECT_EQ(canUnload_(), S_OK);
  {
    ComRef<IUnknown> band;
    ASSERT_EQ(CoCreateInstance(CLSID_TBWToolBarObjquorvane, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IUnknown, band.OutVoid()),
              S_OK);
    EXPECT_EQ(canUnload_(), S_FALSE);
    ComRef<ITBWToolBarObjquorvane> dual =
        band.As<ITBWToolBarObjquorvane>(IID_ITBWToolBarObjquorvane);
    ComRef<IDispatch> dispatch = band.As<IDispatch>(IID_IDispatch);
    ASSERT_TRUE(dual && dispatch);
    EXPECT_EQ(dual.As<IUnknown>(IID_IUnknown).get(), band.get());
    EXPECT_EQ(dispatch.As<IUnknown>(IID_IUnknown).get(), band.get());
    EXPECT_FALSE(band.As<IClassFactory>(IID_IClassFactory));
  }
  EXPECT_EQ(canUnload_(), S_OK);

  // A held class factory and a server lock keep the module too.
  ComRef<IClassFactory> factory;
  ASSERT_EQ(getClassObject_(CLSID_TBWToolBarObjquorvane, IID_IClassFactory, factory.OutVoid()),
            S_OK);
  EXPECT_EQ(canUnload_(), S_FALSE);
  factory->LockServer(TRUE);
  factory.Reset();
  EXPECT_EQ(canUnload_(), S_FALSE);
  ASSERT_EQ(getClassObject_(CLSID_TBWToolBarObjquorvane, IID_IClassFactory, factory.OutVoid()),
            S_OK);
  factory->LockServer(FALSE);
  factory.Reset();
  EXPECT_EQ(canUnload_(), S_OK);
}

TEST_F(ComServerTest, BandDispatchTakesArgumentsLastFirst) {
  ASSERT_EQ(register_(), S_OK);
  DeleteSetting("CSP_colour");
  {
    ComRef<IDispatch> band;
    ASSERT_EQ(CoCreateInstance(CLSID_TBWToolBarObjquorvane, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDispatch, band.OutVoid()),
              S_OK);
    UINT count = 0;
    EXPECT_EQ(band->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComRef<ITypeInfo> info;
    ASSERT_EQ(band->GetTypeInfo(0, 0, info.Out()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualIID(attributes->guid, IID_ITBWToolBarObjquorvane));
    info->ReleaseTypeAttr(attributes);

    wchar_t setName[] = L"SetClientSideProperty";
    wchar_t setConfig[] = L"SetActiveConfiguration";
    LPOLESTR names[] = {setName, setConfig};
    DISPID ids[2] = {};
    ASSERT_EQ(band->GetIDsOfNames(IID_NULL, &names[0], 1, 0, &ids[0]), S_OK);
    ASSERT_EQ(band->GetIDsOfNames(IID_NULL, &names[1], 1, 0, &ids[1]), S_OK);
    EXPECT_EQ(ids[0], 500);
    EXPECT_EQ(ids[1], 501);

    auto invoke = [&band](DISPID id, std::vector<win32::Variant>& args) {
      std::vector<VARIANT> raw;
      for (win32::Variant& arg : args) raw.push_back(*arg.get());
      DISPPARAMS params{raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
      win32::Variant result;
      UINT argError = 0;
      return band->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result.get(), nullptr,
                          &argError);
    };
    // COM passes the last argument first: (value, name).
    std::vector<win32::Variant> args(2);
    args[0].SetText("blue");
    args[1].SetText("colour");
    EXPECT_EQ(invoke(500, args), S_OK);
    EXPECT_EQ(GetSettingString("CSP_colour", "<missing>"), "blue");

    // A number is stored as its text; an empty value as empty.
    args[0].Out()->vt = VT_I4;
    args[0].get()->lVal = 42;
    EXPECT_EQ(invoke(500, args), S_OK);
    EXPECT_EQ(GetSettingString("CSP_colour", "<missing>"), "42");
    args[0].SetText("");
    EXPECT_EQ(invoke(500, args), S_OK);
    EXPECT_EQ(GetSettingString("CSP_colour", "<missing>"), "");

    // An empty name stores nothing; neither does a value with no text.
    args[0].SetText("red");
    args[1].SetText("");
    EXPECT_EQ(invoke(500, args), S_OK);
    EXPECT_EQ(GetSettingString("CSP_", "<missing>"), "<missing>");
    args[1].SetText("colour");
    args[0].Out()->vt = VT_DISPATCH;
    args[0].get()->pdispVal = nullptr;
    EXPECT_NE(invoke(500, args), S_OK);
    EXPECT_EQ(GetSettingString("CSP_colour", "<missing>"), "");

    std::vector<win32::Variant> one(1);
    one[0].SetText("C:\\config");
    EXPECT_EQ(invoke(501, one), S_OK);
    // Every other DISPID is a browser event, which is always answered.
    EXPECT_EQ(invoke(777, one), S_OK);
    EXPECT_EQ(band->Invoke(500, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
              E_INVALIDARG);
  }
  DeleteSetting("CSP_colour");
  EXPECT_EQ(canUnload_(), S_OK);
}

TEST_F(ComServerTest, OnlyTheBandCanBeAggregated) {
  ASSERT_EQ(register_(), S_OK);
  {
    Outer outer;
    ASSERT_EQ(CoCreateInstance(CLSID_TBWToolBarObjquorvane, &outer, CLSCTX_INPROC_SERVER,
                               IID_IUnknown, outer.inner.OutVoid()),
              S_OK);
    EXPECT_EQ(outer.refs, 1);
    // The band's interfaces answer for the outer object: their references
    // are the outer's, their identity is the outer's.
    ComRef<ITBWToolBarObjquorvane> dual;
    ASSERT_EQ(outer.QueryInterface(IID_ITBWToolBarObjquorvane, dual.OutVoid()), S_OK);
    EXPECT_EQ(outer.refs, 2);
    ComRef<IUnknown> identity;
    ASSERT_EQ(dual->QueryInterface(IID_IUnknown, identity.OutVoid()), S_OK);
    EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
    identity.Reset();
    dual.Reset();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(canUnload_(), S_FALSE);
    outer.inner.Reset();
    EXPECT_EQ(canUnload_(), S_OK);

    // Aggregated, the band can be asked only for its inner IUnknown.
    ComRef<IDispatch> wrong;
    EXPECT_EQ(CoCreateInstance(CLSID_TBWToolBarObjquorvane, &outer, CLSCTX_INPROC_SERVER,
                               IID_IDispatch, wrong.OutVoid()),
              CLASS_E_NOAGGREGATION);
  }
  for (const CLSID* handler :
       {&CLSID_TBWDocHTMLEventsHandlerquorvane, &CLSID_TBWWindowEventHandlerquorvane}) {
    Outer outer;
    EXPECT_EQ(CoCreateInstance(*handler, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               outer.inner.OutVoid()),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(outer.refs, 1);
    ComRef<IDispatch> alone;
    EXPECT_EQ(
        CoCreateInstance(*handler, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, alone.OutVoid()),
        S_OK);
    ComRef<ITypeInfo> info;
    EXPECT_EQ(alone->GetTypeInfo(0, 0, info.Out()), S_OK);
  }
  EXPECT_EQ(canUnload_(), S_OK);
}

}  // namespace
}  // namespace qv::test

#endif  // _WIN32
