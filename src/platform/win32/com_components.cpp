#include <windows.h>
#include <objbase.h>
#include <wininet.h>

#include <vector>

#include "platform/components.h"
#include "platform/proxy.h"
#include "platform/win32/com_support.h"
#include "platform/win32/scoped.h"

namespace qv {
namespace {

// The custom command interface: IDispatch and one method of its own that
// takes the parameters by value.
struct ICustomCommand : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Run(VARIANT parameters) = 0;
};

class ComComponentHost : public ComponentHost {
 public:
  ComponentCall CallCustomCommand(const std::string& progid,
                                  const std::string& parameters) override {
    std::wstring name = win32::Widen(progid);
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(name.c_str(), &clsid))) return ComponentCall::kNoClass;
    IID iid;
    std::wstring iidText = win32::Widen(kCustomCommandIid);
    if (FAILED(IIDFromString(iidText.c_str(), &iid))) return ComponentCall::kNotCreated;
    win32::ComRef<ICustomCommand> object;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object.OutVoid());
    if (FAILED(hr) || !object) return ComponentCall::kNotCreated;
    win32::Variant argument;
    argument.SetText(parameters);
    object->Run(*argument.get());
    return ComponentCall::kCalled;
  }
};

class WinInetProxySettings : public ProxySettings {
 public:
  bool SetConnectionOptions(const std::vector<ProxyOption>& options) override {
    std::vector<INTERNET_PER_CONN_OPTIONA> list(options.size());
    for (size_t i = 0; i < options.size(); ++i) {
      list[i].dwOption = options[i].option;
      if (options[i].option == INTERNET_PER_CONN_FLAGS)
        list[i].Value.dwValue = options[i].number;
      else
        list[i].Value.pszValue = const_cast<char*>(options[i].text.c_str());
    }
    INTERNET_PER_CONN_OPTION_LISTA request = {};
    request.dwSize = sizeof request;
    request.pszConnection = nullptr;  // the LAN connection
    request.dwOptionCount = static_cast<DWORD>(list.size());
    request.pOptions = list.data();
    BOOL ok = InternetSetOptionA(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &request,
                                 sizeof request);
    InternetSetOptionA(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    InternetSetOptionA(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);
    return ok != FALSE;
  }
};

}  // namespace

ProxySettings& DefaultProxySettings() {
  static WinInetProxySettings proxy;
  return proxy;
}

ComponentHost& DefaultComponentHost() {
  static ComComponentHost host;
  return host;
}

}  // namespace qv
