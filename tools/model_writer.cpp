#include "tools/model_writer.h"

#include <optional>
#include <string_view>
#include <vector>

#include "tbdl/combo_webpage.h"
#include "tbdl/commands.h"
#include "tbdl/items.h"
#include "tbdl/menus.h"
#include "tbdl/settings_section.h"

namespace qv::tools {
namespace {

using namespace qv::tbdl;

std::string_view EntryKeyword(MenuEntryKind kind) {
  switch (kind) {
    case MenuEntryKind::kItem:
      return "MENUITEM";
    case MenuEntryKind::kSubmenu:
      return "SUBMENU";
    case MenuEntryKind::kSeparator:
      break;
  }
  return "MENUSEPARATOR";
}

void WriteComboValues(StructuredWriter& w, const std::vector<TBDLComboValue>& values) {
  w.Key("values").BeginArray();
  for (const TBDLComboValue& value : values) {
    w.BeginObject()
        .StringField("caption", value.Caption())
        .StringField("value", value.Value())
        .EndObject();
  }
  w.EndArray();
}

// The menu's entries nested as the definition nests them. The menu keeps
// them in one list numbered depth first, each knowing its parent submenu;
// the nesting is rebuilt here without recursion.
void WriteMenuEntries(StructuredWriter& w, const TBDLButtonMenu& menu, int32_t item_index) {
  const auto& entries = menu.Entries();
  std::vector<uint32_t> top_level;
  std::vector<std::vector<uint32_t>> children(entries.size());
  for (uint32_t n = 0; n < entries.size(); ++n) {
    const uint32_t parent = entries[n]->Parent();
    (parent < entries.size() ? children[parent] : top_level).push_back(n);
  }
  struct Frame {
    const std::vector<uint32_t>* list;
    size_t next;
  };
  std::vector<Frame> stack;
  w.Key("entries").BeginArray();
  stack.push_back({&top_level, 0});
  while (!stack.empty()) {
    const size_t top = stack.size() - 1;
    if (stack[top].next == stack[top].list->size()) {
      w.EndArray();
      stack.pop_back();
      if (!stack.empty()) w.EndObject();  // the submenu that held the list
      continue;
    }
    const uint32_t n = (*stack[top].list)[stack[top].next++];
    const TBDLMenuEntry& entry = *entries[n];
    w.BeginObject().StringField("entry", EntryKeyword(entry.Kind())).IntField("number", n);
    // A submenu is shown as a popup and has no command identifier.
    const std::optional<uint32_t> id = MenuEntryIdentifier(item_index, n);
    if (id && entry.Kind() != MenuEntryKind::kSubmenu) {
      w.IntField("id", *id);
    } else {
      w.NullField("id");
    }
    if (entry.Kind() == MenuEntryKind::kSeparator) {
      w.EndObject();
      continue;
    }
    w.StringField("caption", entry.Caption())
        .StringField("command", entry.Command())
        .StringField("hint", entry.Hint())
        .IntField("image", entry.GetImage());
    if (entry.Kind() == MenuEntryKind::kSubmenu) {
      w.Key("entries").BeginArray();
      stack.push_back({&children[n], 0});
    } else {
      w.EndObject();
    }
  }
}

void WriteMenu(StructuredWriter& w, const TBDLButtonMenu& menu, int32_t item_index) {
  w.Key("menu")
      .BeginObject()
      .StringField("type", menu.Type())
      .StringField("image", menu.Image())
      .StringField("hotimage", menu.HotImage());
  WriteMenuEntries(w, menu, item_index);
  w.EndObject();
}

void WriteCommonProperties(StructuredWriter& w, const TBDLItem& item) {
  w.StringField("caption", item.CaptionProperty())
      .IntField("image", item.ImageProperty())
      .StringField("hint", item.GetHint())
      .StringField("command", item.Command());
}

void WriteItem(StructuredWriter& w, const TBDLItem& item, int32_t index) {
  w.BeginObject()
      .IntField("index", index)
      .IntField("kind", item.GetKind())
      .StringField("kindName", item.GetKindName())
      .StringField("name", item.GetName());
  switch (item.GetKind()) {
    case kItemButton:
    case kItemText:
      WriteCommonProperties(w, item);
      WriteMenu(w, item.Menu(), index);
      break;
    case kItemCombo: {
      const auto& combo = static_cast<const TBDLComboItem&>(item);
      WriteCommonProperties(w, item);
      w.StringField("type", combo.Type())
          .IntField("maxchars", combo.MaxChars())
          .IntField("maxhistlines", combo.MaxHistLines())
          .IntField("password", combo.Password())
          .StringField("width", combo.Width());
      w.Key("widths").BeginArray();
      for (int32_t width : combo.Widths()) w.Int(width);
      w.EndArray();
      WriteComboValues(w, combo.Values());
      break;
    }
    case kItemWebButton: {
      const auto& page = static_cast<const TBDLWebPageItem&>(item);
      w.StringField("url", page.Url())
          .IntField("border", page.Border())
          .IntField("width", page.Width())
          .BoolField("autosize", page.AutoSize())
          .BoolField("relay_navigation", page.RelayNavigation());
      break;
    }
    case kItemIndicator: {
      const auto& indicator = static_cast<const TBDLIndicatorItem&>(item);
      WriteCommonProperties(w, item);
      w.StringField("type", indicator.Type());
      w.Key("addimg").BeginArray();
      for (int n = 1; n <= 5; ++n) w.Int(indicator.AddImage(n));
      w.EndArray().Key("param").BeginArray();
      for (int n = 1; n <= 3; ++n) w.String(indicator.Param(n));
      w.EndArray();
      WriteMenu(w, item.Menu(), index);
      break;
    }
    case kItemSeparator:
      break;
  }
  w.EndObject();
}

void WriteCommand(StructuredWriter& w, const TBDLCommand& command) {
  w.BeginObject()
      .IntField("kind", command.GetKind())
      .StringField("type", command.KindKeyword())
      .StringField("name", command.Name())
      .BoolField("searchCommand", command.IsSearchCommand());
  switch (command.GetKind()) {
    case kCommandGoToUrl: {
      const auto& go = static_cast<const TBDLGoToUrlCommand&>(command);
      w.StringField("url", go.Url())
          .StringField("post", go.Post())
          .StringField("target", go.Target())
          .StringField("options", go.Options())
          .StringField("newwindow", go.NewWindow());
      break;
    }
    case kCommandService: {
      // The service's own `type` property; "type" names the command kind.
      const auto& service = static_cast<const TBDLServiceCommand&>(command);
      w.StringField("service", service.Type()).StringField("caption", service.Caption());
      break;
    }
    case kCommandShellExecute: {
      const auto& shell = static_cast<const TBDLShellExecuteCommand&>(command);
      w.StringField("shellcmd", shell.ShellCmd()).StringField("failmsg", shell.FailMsg());
      break;
    }
    case kCommandCustom: {
      const auto& custom = static_cast<const TBDLCustomCommand&>(command);
      w.StringField("progid", custom.ProgId())
          .StringField("parameters", custom.Parameters())
          .StringField("failmsg", custom.FailMsg());
      break;
    }
  }
  w.EndObject();
}

void WriteSettings(StructuredWriter& w, const TBDLSettingsSection& settings) {
  w.Key("settings").BeginObject().Key("itemOptions").BeginArray();
  for (const TBDLItemOptions& options : settings.ItemOptions()) {
    w.BeginObject()
        .StringField("id", options.Id())
        .StringField("description", options.Description())
        .IntField("image", options.Image())
        .IntField("toggle_visibility", options.ToggleVisibility())
        .IntField("toggle_caption", options.ToggleCaption())
        .IntField("change_width", options.ChangeWidth())
        .IntField("width_from", options.WidthFrom())
        .IntField("width_to", options.WidthTo())
        .EndObject();
  }
  w.EndArray().Key("cspSettings").BeginArray();
  for (const TBDLCspSetting& setting : settings.CspSettings()) {
    w.BeginObject()
        .StringField("id", setting.Id())
        .StringField("description", setting.Description());
    WriteComboValues(w, setting.Values());
    w.EndObject();
  }
  w.EndArray().Key("properties").BeginArray();
  for (const TBDLPropertyEntry& property : settings.Properties()) {
    w.BeginObject()
        .StringField("id", property.Id())
        .StringField("value", property.Value())
        .EndObject();
  }
  w.EndArray().EndObject();
}

}  // namespace

void WriteModel(StructuredWriter& w, const TBDLToolbar& model) {
  w.BeginObject()
      .StringField("image", model.ImageFile())
      .StringField("hotimage", model.HotImageFile());
  w.Key("items").BeginArray();
  const auto& items = model.Items();
  for (size_t i = 0; i < items.size(); ++i) WriteItem(w, *items[i], static_cast<int32_t>(i));
  w.EndArray().Key("commands").BeginArray();
  for (const auto& command : model.CommandsSection().Commands()) WriteCommand(w, *command);
  w.EndArray();
  WriteSettings(w, model.SettingsSection());
  w.EndObject();
}

void WriteMessageBoxes(StructuredWriter& writer, const std::vector<RecordedMessage>& messages) {
  for (const RecordedMessage& m : messages)
    writer.BeginObject().StringField("caption", m.caption).StringField("text", m.text).EndObject();
}

}  // namespace qv::tools
