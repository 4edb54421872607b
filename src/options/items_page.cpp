#include "options/items_page.h"

#include <cstdlib>
#include <vector>

#include "settings/settings.h"
#include "tbdl/items.h"
#include "tbdl/settings_section.h"
#include "tbdl/toolbar.h"

namespace qv::options {
namespace {

constexpr char kHiddenPrefix[] = "ItemHidden_";
constexpr char kIconOnlyPrefix[] = "ItemIconOnly_";
constexpr char kWidthPrefix[] = "ItemWidth_";
constexpr char kCspPrefix[] = "CSP_";
constexpr size_t kShownFields = 2;

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

bool ItemLine::HasCheckBox() const {
  return entry->ToggleVisibility() != 0;
}
bool ItemLine::OffersCaption() const {
  return entry->ToggleCaption() != 0;
}
bool ItemLine::OffersWidth() const {
  return entry->ChangeWidth() != 0;
}

int PersonalField::SelectedChoice() const {
  for (size_t i = 0; i < choices.size(); ++i)
    if (choices[i].Value() == value) return static_cast<int>(i);
  return -1;
}

int32_t ItemsPage::DefinitionWidth(const std::string& id) const {
  for (const auto& item : model_.Items()) {
    if (item->GetName() != id) continue;
    if (const auto* combo = dynamic_cast<const tbdl::TBDLComboItem*>(item.get()))
      return static_cast<int32_t>(std::atol(combo->Width().c_str()));
    if (const auto* page = dynamic_cast<const tbdl::TBDLWebPageItem*>(item.get()))
      return page->Width();
    return -1;
  }
  return -1;
}

void ItemsPage::Load() {
  lines_.clear();
  fields_.clear();
  const tbdl::TBDLSettingsSection& settings = model_.SettingsSection();
  for (const tbdl::TBDLItemOptions& entry : settings.ItemOptions()) {
    ItemLine line;
    line.entry = &entry;
    const std::string& id = entry.Id();
    if (line.HasCheckBox()) line.visible = GetSettingDword(kHiddenPrefix + id, 0) == 0;
    line.iconOnly = GetSettingDword(kIconOnlyPrefix + id, 0) != 0;
    if (line.OffersWidth()) {
      line.width = static_cast<int32_t>(GetSettingDword(kWidthPrefix + id, 0xFFFFFFFFu));
      if (line.width == -1) line.width = DefinitionWidth(id);
    }
    lines_.push_back(line);
  }
  const auto& csp = settings.CspSettings();
  for (size_t i = 0; i < csp.size() && i < kShownFields; ++i) {
    PersonalField field;
    field.id = csp[i].Id();
    field.description = csp[i].Description();
    field.choices = csp[i].Values();
    field.value = GetSettingString(kCspPrefix + field.id, "");
    fields_.push_back(std::move(field));
  }
}

std::string ItemsPage::GroupCaption() const {
  return model_.GetProperty("CSPGroupCaption", kDefaultGroupCaption);
}

void ItemsPage::SetVisible(size_t line, bool visible) {
  if (line >= lines_.size() || !lines_[line].HasCheckBox()) return;
  lines_[line].visible = visible;
  lines_[line].changed = true;
}

void ItemsPage::SetIconOnly(size_t line, bool iconOnly) {
  if (line >= lines_.size()) return;
  lines_[line].iconOnly = iconOnly;
  lines_[line].changed = true;
}

void ItemsPage::SetWidth(size_t line, int32_t width) {
  if (line >= lines_.size()) return;
  lines_[line].width = width;
  lines_[line].changed = true;
}

void ItemsPage::SelectChoice(size_t field, int choice) {
  if (field >= fields_.size() || choice < 0 ||
      static_cast<size_t>(choice) >= fields_[field].choices.size())
    return;
  fields_[field].value = fields_[field].choices[static_cast<size_t>(choice)].Value();
}

void ItemsPage::SetFieldText(size_t field, const std::string& text) {
  if (field < fields_.size()) fields_[field].value = text;
}

void ItemsPage::Store() const {
  for (const ItemLine& line : lines_) {
    if (!line.changed) continue;
    const std::string& id = line.entry->Id();
    if (line.HasCheckBox()) SetSettingDword(kHiddenPrefix + id, line.visible ? 0 : 1);
    if (line.OffersCaption()) SetSettingDword(kIconOnlyPrefix + id, line.iconOnly ? 1 : 0);
    if (line.OffersWidth()) SetSettingDword(kWidthPrefix + id, static_cast<uint32_t>(line.width));
  }
  for (const PersonalField& field : fields_) SetSettingString(kCspPrefix + field.id, field.value);
}

void ItemsPage::ResetToDefaults() {
  DeleteItemSettings();
  // The reset is about the items; what was typed or chosen in the
  // personalization fields stays on the page.
  std::vector<PersonalField> fields = std::move(fields_);
  Load();
  for (size_t i = 0; i < fields.size() && i < fields_.size(); ++i)
    fields_[i].value = std::move(fields[i].value);
}

int DeleteItemSettings() {
  RegKey key = OpenProductKey();
  if (!key) return 0;
  Registry& registry = *key.registry();
  int deleted = 0;
  uint32_t index = 0;
  // Room for the longest value name the registry allows.
  std::vector<char> name(16384);
  for (;;) {
    uint32_t chars = static_cast<uint32_t>(name.size());
    const RegStatus status =
        registry.EnumValue(key.get(), index, name.data(), &chars, nullptr, nullptr, nullptr);
    if (status != kErrorSuccess) break;
    const std::string text(name.data(), chars);
    if ((StartsWith(text, kHiddenPrefix) || StartsWith(text, kIconOnlyPrefix) ||
         StartsWith(text, kWidthPrefix)) &&
        registry.DeleteValue(key.get(), text) == kErrorSuccess) {
      ++deleted;  // the next value now sits at this index
      continue;
    }
    ++index;
  }
  return deleted;
}

}  // namespace qv::options
