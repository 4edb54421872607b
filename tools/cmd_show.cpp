// quorvane-tbdl show FILE [--registry REGFILE]: builds the toolbar of a
// definition on the headless toolbar control and prints what it shows: a
// one-line picture, the buttons, the widths, every drop-down menu, the
// child controls and the message boxes. The settings come from REGFILE (the
// registry file format) and are never written back.
#include <memory>
#include <string>
#include <vector>

#include "host/alert_check_feature.h"
#include "host/mail_feature.h"
#include "host/popup_indicator_feature.h"
#include "host/toolbar_ctrl.h"
#include "simulators/headless_toolbar.h"
#include "simulators/message_recorder.h"
#include "platform/services.h"
#include "tbdl/toolbar.h"
#include "tools/model_writer.h"
#include "tools/definition_files.h"
#include "tools/json_writer.h"
#include "tools/registry_file.h"
#include "tools/text_writer.h"
#include "tools/tool.h"

namespace qv::tools {
namespace {

struct StyleName {
  uint8_t bit;
  const char* name;
};
constexpr StyleName kStyles[] = {
    {kBtnsSep, "SEP"},
    {kBtnsCheck, "CHECK"},
    {kBtnsDropdown, "DROPDOWN"},
    {kBtnsAutosize, "AUTOSIZE"},
    {kBtnsNoprefix, "NOPREFIX"},
    {kBtnsShowtext, "SHOWTEXT"},
    {kBtnsWholedropdown, "WHOLEDROPDOWN"},
};

void WriteRect(StructuredWriter& w, const Rect& r) {
  w.BeginArray().Int(r.left).Int(r.top).Int(r.right).Int(r.bottom).EndArray();
}

// Menus are at most a few dozen levels deep (the toolbar cuts them), so
// writing them recursively is safe.
void WriteEntries(StructuredWriter& w, const std::vector<MenuEntry>& entries) {
  w.BeginArray();
  for (const MenuEntry& e : entries) {
    w.BeginObject()
        .IntField("id", e.id)
        .StringField("text", e.data.text)
        .IntField("flags", e.flags)
        .IntField("image", e.data.image);
    if (e.flags & kMfPopup) {
      w.Key("entries");
      WriteEntries(w, e.submenu);
    }
    w.EndObject();
  }
  w.EndArray();
}

const char* ChildKindName(ChildKind kind) {
  switch (kind) {
    case ChildKind::kComboBox:
      return "combo";
    case ChildKind::kEdit:
      return "edit";
    case ChildKind::kWebPage:
      return "webpage";
    case ChildKind::kBitmapButton:
      return "bitmap";
  }
  return "";
}

// One line: [Caption] buttons (|v split and v whole drop-downs, #n for an
// image without text), | separators, <name 120px v> combo boxes, <name
// 120px> edit fields, {name 120px} web pages; hidden items are left out.
std::string Picture(TBWToolBarCtrl& toolbar, HeadlessToolbar& control) {
  std::string line;
  const auto& buttons = control.Buttons();
  for (size_t i = 0; i < buttons.size(); ++i) {
    const auto& b = buttons[i];
    if (b.button.state & kTbstateHidden) continue;
    Rect r;
    control.GetItemRect(static_cast<int>(i), &r);
    const std::string width = std::to_string(r.Width()) + "px";
    std::string part;
    tbdl::TBDLItem* item = toolbar.ItemAt(static_cast<int>(i));
    const HeadlessToolbar::Child* child =
        control.FindChild(toolbar.ItemWindow(static_cast<int>(i)));
    if (b.button.style & kBtnsSep) {
      part.push_back('|');
    } else if (child &&
               (child->spec.kind == ChildKind::kComboBox || child->spec.kind == ChildKind::kEdit ||
                child->spec.kind == ChildKind::kWebPage)) {
      const ChildKind kind = child->spec.kind;
      part.append(kind == ChildKind::kWebPage ? "{" : "<");
      if (item) part.append(item->GetName());
      part.append(" ").append(width);
      part.append(kind == ChildKind::kComboBox ? " v>" : kind == ChildKind::kEdit ? ">" : "}");
    } else {
      part.push_back('[');
      if (b.text.empty()) {
        part.append("#").append(std::to_string(b.button.bitmap));
      } else {
        part.append(b.text);
      }
      if (b.button.style & kBtnsWholedropdown) {
        part += " v";
      } else if (b.button.style & kBtnsDropdown) {
        part += "|v";
      }
      part += "]";
    }
    if (!line.empty()) line += ' ';
    line += part;
  }
  return line;
}

}  // namespace

int RunShow(ToolContext& context) {
  std::string file, registryFile;
  for (size_t i = 0; i < context.args.size(); ++i) {
    if (context.args[i] == "--registry" && i + 1 < context.args.size()) {
      registryFile = context.args[++i];
    } else if (file.empty() && context.args[i].rfind("--", 0) != 0) {
      file = context.args[i];
    } else {
      return UsageError(context, "show");
    }
  }
  if (file.empty()) return UsageError(context, "show");

  // The settings are held in memory: what the build writes stays there.
  RegistryFile registry;
  if (!registryFile.empty() && !registry.Load(registryFile, false, context.err)) {
    return kExitFailed;
  }
  ScopedService<Registry> useRegistry(&PlatformServices::registry, &registry.registry());
  MessageRecorder recorder;
  ScopedService<UserMessages> messages(&PlatformServices::messages, &recorder);

  DefinitionFolderLookup lookup(file);
  HeadlessToolbar control;
  TBWToolBarCtrl toolbar(control, lookup);
  // Showing a toolbar checks no mailbox.
  toolbar.AttachFeature(std::make_unique<MailFeature>(toolbar, false));
  toolbar.AttachFeature(std::make_unique<PopupIndicatorFeature>(toolbar));
  toolbar.AttachFeature(std::make_unique<AlertCheckFeature>(toolbar));
  const bool ok = toolbar.BuildToolbar(true);

  JsonWriter json;
  TextWriter text;
  StructuredWriter& w = context.json ? static_cast<StructuredWriter&>(json) : text;
  w.BeginObject().BoolField("ok", ok).StringField("picture", Picture(toolbar, control));

  w.Key("buttons").BeginArray();
  const auto& buttons = control.Buttons();
  for (size_t i = 0; i < buttons.size(); ++i) {
    const auto& b = buttons[i];
    Rect r;
    control.GetItemRect(static_cast<int>(i), &r);
    w.BeginObject()
        .IntField("id", b.button.command)
        .StringField("text", b.text)
        .IntField("image", b.button.bitmap)
        .BoolField("hidden", (b.button.state & kTbstateHidden) != 0)
        .BoolField("checked", (b.button.state & kTbstateChecked) != 0)
        .BoolField("enabled", (b.button.state & kTbstateEnabled) != 0)
        .Key("style")
        .BeginArray();
    if (b.button.style == kBtnsButton) w.String("BUTTON");
    for (const StyleName& s : kStyles) {
      if (b.button.style & s.bit) w.String(s.name);
    }
    w.EndArray().Key("rect");
    WriteRect(w, r);
    w.EndObject();
  }
  w.EndArray().IntField("visibleWidth", toolbar.VisibleWidth());
  w.IntField("minimumWidth", toolbar.MinimumWidth());

  w.Key("menus").BeginArray();
  if (tbdl::TBDLToolbar* model = toolbar.Model(); ok && model) {
    for (const auto& item : model->Items()) {
      if (item->Menu().EntryCount() == 0) continue;
      PopupMenu menu;
      toolbar.BuildItemMenu(*item, menu, toolbar.MenuStyle() == 1 || toolbar.MenuStyle() == 2);
      w.BeginObject().IntField("item", item->Index()).Key("entries");
      WriteEntries(w, menu.entries);
      w.EndObject();
    }
  }
  w.EndArray();

  w.Key("controls").BeginArray();
  for (size_t i = 0; ok && i < buttons.size(); ++i) {
    // An item's input or page control, then the picture over its button.
    for (WindowId window :
         {toolbar.ItemWindow(static_cast<int>(i)), toolbar.ItemBitmapWindow(static_cast<int>(i))}) {
      const HeadlessToolbar::Child* c = control.FindChild(window);
      if (!c) continue;
      w.BeginObject()
          .IntField("item", static_cast<int64_t>(i))
          .StringField("kind", ChildKindName(c->spec.kind))
          .Key("rect");
      WriteRect(w, c->rect);
      if (c->spec.kind == ChildKind::kBitmapButton) {
        w.StringField("picture", c->bitmap).StringField("hotPicture", c->hotBitmap).EndObject();
        continue;
      }
      w.StringField("text", c->spec.kind == ChildKind::kWebPage && !c->navigations.empty()
                                ? c->navigations.back()
                                : c->text);
      w.Key("list").BeginArray();
      for (const auto& entry : c->list) w.String(entry.text);
      w.EndArray().IntField("selected", c->selected).EndObject();
    }
  }
  w.EndArray();

  w.Key("messages").BeginArray();
  WriteMessageBoxes(w, recorder.messages());
  for (const RegTextIssue& issue : registry.issues()) {
    w.BeginObject()
        .StringField("caption", registryFile + ":" + std::to_string(issue.line))
        .StringField("text", issue.reason)
        .EndObject();
  }
  w.EndArray().EndObject();
  context.out << w.Text();
  return ok ? kExitOk : kExitFailed;
}

}  // namespace qv::tools
