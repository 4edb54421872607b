#include "commands/history.h"

#include <algorithm>
#include <vector>

#include "commands/command_host.h"
#include "commands/expansion.h"
#include "commands/highlight.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "settings/settings.h"

namespace qv::commands {
namespace {

// The longest value name the registry holds, its terminating zero included.
constexpr uint32_t kMaxValueName = 16384;

bool HasNonSpace(const std::string& text) {
  return text.find_first_not_of(' ') != std::string::npos;
}

// The entry index that LastSearchWith names: its first character minus "0".
int LastSearchIndex() {
  std::string text = GetSettingString("LastSearchWith", "0");
  return static_cast<signed char>(text.empty() ? '\0' : text[0]) - '0';
}

void RewriteHistoryKey(InputField& field) {
  const std::string keyName = HistoryKeyName(field.name);
  // One store of the whole key rather than one per entry.
  RegBatch batch(GetRegistry());
  RegKey product = OpenProductKey();
  if (!product) return;
  GetRegistry().DeleteTree(product.get(), keyName);
  RegKey history = OpenProductSubkey(keyName, true);
  if (!history) return;
  const int count = field.control->ComboGetCount(field.window);
  for (int i = 0; i < count; ++i)
    WriteKeyDword(history, field.control->ComboGetString(field.window, i), 1);
}

}  // namespace

std::string GetValue(const InputField& field) {
  if (field.control == nullptr || field.window == 0) return std::string();
  std::string text = field.control->GetChildText(field.window, 1024);
  if (field.isEdit) return text;
  int index = field.control->ComboFindStringExact(field.window, -1, text);
  if (index == kCbErr) return text;
  std::intptr_t data = field.control->ComboGetItemData(field.window, index);
  if (data > 0 && static_cast<size_t>(data) <= field.choices.size())
    return field.choices[static_cast<size_t>(data) - 1].value;
  return text;
}

std::vector<std::string> ReadHistory(const std::string& itemName) {
  std::vector<std::string> entries;
  RegKey key = OpenProductSubkey(HistoryKeyName(itemName), true);
  if (!key) return entries;
  Registry& registry = GetRegistry();
  std::vector<char> name(kMaxValueName);
  for (uint32_t index = 0;; ++index) {
    uint32_t chars = kMaxValueName;
    RegStatus status =
        registry.EnumValue(key.get(), index, name.data(), &chars, nullptr, nullptr, nullptr);
    // A name too long for the buffer is passed over rather than shown as
    // whatever the buffer held. Any other error ends the reading: a key
    // deleted meanwhile (another window rewriting the history) would give
    // the same error at every following index.
    if (status == kErrorMoreData) continue;
    if (status != kErrorSuccess) break;
    if (chars >= kMaxValueName) continue;
    entries.emplace_back(name.data(), chars);
  }
  return entries;
}

void StoreValue(CommandHost& host, InputField& field, const std::string& value) {
  if (!HasNonSpace(value) || !GetSettingFlag("StoreValueHistory", true) ||
      !field.IsHistoryCombo() || field.control == nullptr || field.window == 0)
    return;
  ChildControls& control = *field.control;
  int found = control.ComboFindStringExact(field.window, -1, value);
  if (found != kCbErr) {
    control.ComboDeleteString(field.window, found);
  } else {
    int count = control.ComboGetCount(field.window);
    if (count >= field.maxHistLines && count > 0)
      control.ComboDeleteString(field.window, count - 1);
  }
  control.ComboInsertString(field.window, 0, value);
  RewriteHistoryKey(field);
  control.ComboSetCurSel(field.window, 0);
  UpdateHighlightButton(host);
}

void ClearHistory(InputField& field) {
  if (!field.IsHistoryCombo()) return;
  if (RegKey product = OpenProductKey())
    GetRegistry().DeleteTree(product.get(), HistoryKeyName(field.name));
  if (field.control != nullptr && field.window != 0) field.control->ComboResetContent(field.window);
}

void FillInputField(CommandHost& host, InputField& field) {
  if (field.control == nullptr || field.window == 0) return;
  ChildControls& control = *field.control;
  if (field.IsHistoryCombo()) {
    for (const std::string& entry : ReadHistory(field.name))
      control.ComboAddString(field.window, entry);
  }
  if (field.IsChooser()) {
    for (size_t i = 0; i < field.choices.size(); ++i) {
      int index = control.ComboAddString(field.window, field.choices[i].DisplayText());
      if (index != kCbErr)
        control.ComboSetItemData(field.window, index, static_cast<std::intptr_t>(i + 1));
    }
    control.ComboSetCurSel(field.window, LastSearchIndex());
  } else {
    std::string last = LastInputValue(field.name);
    control.SetChildText(field.window, last.empty() ? field.caption : last);
  }
  UpdateHighlightButton(host);
}

void RunComboSearch(CommandHost& host, InputField& field) {
  // The command may rebuild the toolbar ("Update"), which replaces every
  // input field, field among them, by a new one filled afresh: keep what the
  // history needs before it runs.
  const std::string command = field.command;
  const std::string name = field.name;
  const WindowId window = field.window;
  const std::string typed = GetValue(field);
  RunSearch(host, command);
  std::vector<InputField>& fields = host.InputFields();
  // The same control still holds the text as the command left it.
  auto same = std::find_if(fields.begin(), fields.end(),
                           [&](const InputField& f) { return f.window == window; });
  if (same != fields.end()) {
    StoreValue(host, *same, GetValue(*same));
    return;
  }
  auto renewed = std::find_if(fields.begin(), fields.end(),
                              [&](const InputField& f) { return f.name == name; });
  if (renewed != fields.end()) StoreValue(host, *renewed, typed);
}

void RunSearch(CommandHost& host, const std::string& commandName) {
  if (!commandName.empty()) {
    if (host.HasCommand(commandName)) host.RunCommand(commandName, false);
    return;
  }
  const int wanted = LastSearchIndex();
  int counter = 0;
  for (int i = 0, n = host.ItemCount(); i < n; ++i) {
    std::string name = host.ItemCommandName(i);
    if (!host.HasCommand(name) || !host.IsSearchCommand(name)) continue;
    if (counter == wanted) {
      host.RunCommand(name, false);
      return;
    }
    ++counter;
  }
}

void OnListChoice(CommandHost& host, InputField& field) {
  if (field.control == nullptr || field.window == 0 || field.isEdit) return;
  ChildControls& control = *field.control;
  int selected = control.ComboGetCurSel(field.window);
  if (selected < 0) return;
  if (field.IsChooser()) {
    SetSettingString("LastSearchWith", std::string(1, static_cast<char>('0' + selected)));
    control.ComboSetCurSel(field.window, selected);
  } else {
    control.SetChildText(field.window, control.ComboGetString(field.window, selected));
    if (GetSettingFlag("ActivateSearchOnComboSelection", true)) RunComboSearch(host, field);
  }
  UpdateHighlightButton(host);
}

void OnEditUpdate(CommandHost& host, InputField& field, bool typed) {
  UpdateHighlightButton(host);
  if (!typed || !GetSettingFlag("UseAutoComplete", true)) return;
  if (field.control == nullptr || field.window == 0 || field.isEdit) return;
  ChildControls& control = *field.control;
  int start = -1;
  int end = -1;
  bool valid = control.GetEditSelection(field.window, &start, &end) && start >= 0 && end >= 0;
  std::string typedText = control.GetChildText(field.window, 1024);
  const int length = static_cast<int>(typedText.size());
  if (control.ComboSelectString(field.window, -1, typedText) == kCbErr) {
    control.SetChildText(field.window, typedText);
    if (valid) control.SetEditSelection(field.window, start, end);
  }
  if (valid && end < length)
    control.SetEditSelection(field.window, start, end);
  else
    control.SetEditSelection(field.window, length, -1);
}

}  // namespace qv::commands
