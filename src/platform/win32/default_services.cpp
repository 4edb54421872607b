#include <windows.h>

#include <string>
#include <vector>

#include <exdisp.h>

#include "platform/browser.h"
#include "platform/services.h"
#include "platform/win32/com_browser.h"
#include "platform/system.h"
#include "platform/user_messages.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_network.h"
#include "platform/win32/win32_shared_memory.h"
#include "platform/win32/scoped.h"

namespace qv {
namespace {

class Win32Messages : public UserMessages {
 public:
  int ShowMessage(const std::string& text, const std::string& caption, unsigned style) override {
    return MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
  }
};

// The module is the DLL that holds this code (or the executable when the
// core is linked into one).
HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

class Win32System : public System {
 public:
  std::string GetModulePath() override {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(ThisModule(), buffer, MAX_PATH);
    return std::string(buffer, n);
  }

  bool StartProcess(const std::string& commandLine) override {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
      return false;
    // Nothing waits for the process: both handles go at once.
    win32::ScopedHandle thread(process.hThread), started(process.hProcess);
    return true;
  }

  bool GetEnvVar(const std::string& name, std::string* value) override {
    DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (needed == 0) return false;
    std::vector<char> buffer(needed + 1);
    DWORD n = GetEnvironmentVariableA(name.c_str(), buffer.data(), needed + 1);
    if (n > needed) return false;
    value->assign(buffer.data(), n);
    return true;
  }

  uint32_t GetSystemColor(int index) override { return GetSysColor(index); }

  std::unique_ptr<Browser> OpenNewBrowser() override;
};

// A browser of its own process, reached through COM on a thread that may
// not have entered an apartment yet (regsvr32's): the apartment is left
// only after the browser was released.
class NewBrowserWindow : public Browser {
 public:
  NewBrowserWindow() : entered_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~NewBrowserWindow() override {
    browser_.reset();
    if (entered_) CoUninitialize();
  }
  bool Start() {
    IWebBrowser2* created = nullptr;
    if (FAILED(CoCreateInstance(CLSID_InternetExplorer, nullptr, CLSCTX_LOCAL_SERVER,
                                IID_IWebBrowser2, reinterpret_cast<void**>(&created))) ||
        !created)
      return false;
    browser_ = win32::WrapWebBrowser(created);
    created->Release();  // the wrapper holds its own reference
    return browser_ != nullptr;
  }
  bool Navigate2(const NavigateRequest& request) override { return browser_->Navigate2(request); }
  std::unique_ptr<Browser> CreateNewWindow() override { return browser_->CreateNewWindow(); }
  bool SetVisible(bool visible) override { return browser_->SetVisible(visible); }
  bool GetLocationUrl(std::string* url) override { return browser_->GetLocationUrl(url); }
  std::shared_ptr<Document> GetDocument() override { return browser_->GetDocument(); }
  bool SetStatusText(const std::string& text) override { return browser_->SetStatusText(text); }
  bool ShowBrowserBar(const std::string& clsid, bool show) override {
    return browser_->ShowBrowserBar(clsid, show);
  }
  bool Quit() override { return browser_->Quit(); }

 private:
  bool entered_;
  std::unique_ptr<Browser> browser_;
};

std::unique_ptr<Browser> Win32System::OpenNewBrowser() {
  auto browser = std::make_unique<NewBrowserWindow>();
  if (!browser->Start()) return nullptr;
  return browser;
}

}  // namespace

void InstallDefaultServices(PlatformServices& services) {
  static Win32System system;
  static Win32Messages messages;
  static Win32Registry registry;
  static Win32SharedMemory sharedMemory;
  services.system = &system;
  services.sharedMemory = &sharedMemory;
  services.messages = &messages;
  services.registry = &registry;
  InstallNetworkServices(services);
}

}  // namespace qv
