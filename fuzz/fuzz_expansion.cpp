// Template expansion on any templates, typed values, page address, command
// parameter and stored settings: both expansions must end, quickly, with a
// text of bounded length, whatever macros the values themselves hold.
//
// The input is fields separated by 0xFF bytes: flags, URL template, POST
// template, command parameter, page address (none when empty), domain,
// item names, three typed values, client-side properties and POP3 account
// values ("name=value" pairs separated by '&'), and a stored web-page
// address.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "commands/command_host.h"
#include "commands/expansion.h"
#include "simulators/headless_toolbar.h"
#include "formats/registry_tree.h"
#include "simulators/scripted_browser.h"
#include "platform/services.h"
#include "platform/user_messages.h"
#include "settings/settings.h"
#include "support/memory_document.h"

namespace {

// Long enough for every macro and value form; short enough that an input
// runs in milliseconds.
constexpr size_t kLongestField = 1200;
// The expansion's own bound with room for what one step may add to it.
constexpr size_t kLongestResult = size_t{4} << 20;

class SilentMessages : public qv::UserMessages {
 public:
  int ShowMessage(const std::string&, const std::string&, unsigned) override { return qv::kIdOk; }
};

class NoServices : public qv::commands::ToolbarServices {
 public:
  void OpenOptionsPage(int) override {}
  void CheckMailNow() override {}
  void ResetSharedBlockedCount() override {}
  void ToggleSiteInWhiteList() override {}
  void TogglePopupBlocking() override {}
  void Uninstall() override {}
  void RebuildToolbar() override {}
  std::string VendorBaseUrl() override { return "http://vendor.example/"; }
};

// A toolbar of input items only, with a browser that may show a page.
class FuzzHost : public qv::commands::CommandHost {
 public:
  qv::Browser* GetBrowser() override { return &browser; }
  qv::ToolbarButtons* GetButtons() override { return &control; }
  std::vector<qv::commands::InputField>& InputFields() override { return fields; }
  int ItemCount() override { return 0; }
  std::string ItemCommandName(int) override { return std::string(); }
  bool HasCommand(const std::string&) override { return false; }
  bool IsSearchCommand(const std::string&) override { return false; }
  void RunCommand(const std::string&, bool) override {}
  void RefreshWebPageItems(const std::string&) override {}
  void RefreshPopupIndicator() override {}
  qv::commands::ToolbarServices& Services() override { return services; }

  qv::HeadlessToolbar control;
  qv::ScriptedBrowser browser;
  std::vector<qv::commands::InputField> fields;
  NoServices services;
};

std::vector<std::string> Fields(std::string_view input) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= input.size() && fields.size() < 12) {
    size_t end = input.find('\xFF', start);
    if (end == std::string_view::npos) end = input.size();
    fields.emplace_back(input.substr(start, std::min(end - start, kLongestField)));
    start = end + 1;
  }
  fields.resize(12);
  return fields;
}

// Item names from a few letters that macros are made of, so that names
// meet inside each other and inside the fixed macros; the process keeps
// every name it saw, so there must not be too many of them.
std::string ItemName(std::string_view bytes) {
  static const char kLetters[] = "qurle%(";
  std::string name;
  for (size_t i = 0; i < bytes.size() && i < 4; ++i)
    name += kLetters[static_cast<unsigned char>(bytes[i]) % (sizeof kLetters - 1)];
  return name;
}

void SetPairs(const std::string& text, const std::string& prefix, qv::RegKey* key) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string::npos) end = text.size();
    std::string pair = text.substr(start, end - start);
    size_t equals = pair.find('=');
    std::string name = prefix + pair.substr(0, equals);
    std::string value = equals == std::string::npos ? std::string() : pair.substr(equals + 1);
    if (key)
      qv::WriteKeyString(*key, name, value);
    else
      qv::SetSettingString(name, value);
    start = end + 1;
  }
}

SilentMessages silent;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> f = Fields(std::string_view(reinterpret_cast<const char*>(data), size));
  const unsigned flags = f[0].empty() ? 0 : static_cast<unsigned char>(f[0][0]);

  qv::TreeRegistry registry;
  qv::ScopedService<qv::Registry> useRegistry(&qv::PlatformServices::registry, &registry);
  qv::ScopedService<qv::UserMessages> useMessages(&qv::PlatformServices::messages, &silent);
  SetPairs(f[9], "CSP_", nullptr);
  {
    qv::RegKey accounts = qv::OpenProductSubkey("POP3 Accounts", true);
    SetPairs(f[10], "POP3", &accounts);
  }

  FuzzHost host;
  std::shared_ptr<qv::testing::MemoryDocument> page;
  if (!f[4].empty()) {
    page = std::make_shared<qv::testing::MemoryDocument>(f[4], f[5]);
    host.browser.SetDocument(page);
  }
  if (flags & 1) host.CurrentPageAddress() = qv::commands::UrlEncode(f[3]);

  // Up to three items named by the name field's bytes in turn.
  for (size_t i = 0; i < 3; ++i) {
    qv::commands::InputField field;
    field.name = ItemName(f[6].size() > 4 * i ? std::string_view(f[6]).substr(4 * i) : "q");
    field.isEdit = (flags >> (1 + i)) & 1;
    if ((flags >> 4) & (1u << i)) field.choices = {{"Web", "web"}, {"", f[7 + i]}};
    field.maxHistLines = 3;
    field.control = &host.control;
    qv::ChildSpec spec;
    spec.kind = field.isEdit ? qv::ChildKind::kEdit : qv::ChildKind::kComboBox;
    field.window = host.control.CreateChild(spec);
    host.control.SetChildText(field.window, f[7 + i]);
    host.fields.push_back(std::move(field));
  }

  qv::commands::ExpandedTemplates result =
      qv::commands::ExpandCommandTemplates(host, f[1], f[2], f[3]);
  if (result.url.size() > kLongestResult || result.post.size() > kLongestResult) std::abort();

  std::string lastDomain = (flags & 0x80) ? f[5] : std::string();
  std::string url;
  if (!f[11].empty()) qv::SetSettingString(qv::commands::BrowserButtonSettingName("w"), f[11]);
  qv::commands::ExpandWebPageUrl(f[1], (flags & 0x40) != 0, "w", page.get(), &lastDomain, &url);
  if (url.size() > kLongestResult) std::abort();
  return 0;
}
