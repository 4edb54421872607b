// The toolbar items page of the options sheet, described by the
// definition's SETTINGS section: one line per ITEMOPTIONS entry (shown,
// icon only, width) and up to two personalization fields from the first two
// CSPSETTING entries. Lines are stored on OK only when they changed; the
// personalization fields always.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tbdl/combo_webpage.h"

namespace qv::tbdl {
class TBDLToolbar;
class TBDLItemOptions;
}  // namespace qv::tbdl

namespace qv::options {

inline constexpr size_t kPersonalTextLimit = 399;
inline constexpr char kDefaultGroupCaption[] = "Personalization options";

struct ItemLine {
  const tbdl::TBDLItemOptions* entry = nullptr;
  bool visible = true;
  bool iconOnly = false;
  int32_t width = -1;
  bool changed = false;
  // Only entries that may be hidden have a check box.
  bool HasCheckBox() const;
  bool OffersCaption() const;
  bool OffersWidth() const;
};

struct PersonalField {
  std::string id;
  std::string description;
  std::vector<tbdl::TBDLComboValue> choices;  // empty: free text
  std::string value;
  // The choice whose value is the current one, or -1.
  int SelectedChoice() const;
};

class ItemsPage {
 public:
  explicit ItemsPage(const tbdl::TBDLToolbar& model) : model_(model) {}

  // The page's lines and fields from the definition and the stored values.
  void Load();
  const std::vector<ItemLine>& Lines() const { return lines_; }
  const std::vector<PersonalField>& Fields() const { return fields_; }
  std::string GroupCaption() const;

  void SetVisible(size_t line, bool visible);
  void SetIconOnly(size_t line, bool iconOnly);
  void SetWidth(size_t line, int32_t width);
  void SelectChoice(size_t field, int choice);
  void SetFieldText(size_t field, const std::string& text);

  // OK: the changed lines' values and every personalization field.
  void Store() const;
  // "Reset to default settings": every stored per-item value goes at once,
  // then the page shows the definition's defaults again.
  void ResetToDefaults();

 private:
  int32_t DefinitionWidth(const std::string& id) const;

  const tbdl::TBDLToolbar& model_;
  std::vector<ItemLine> lines_;
  std::vector<PersonalField> fields_;
};

// Deletes every product value named "ItemHidden_…", "ItemIconOnly_…" or
// "ItemWidth_…"; returns how many went.
int DeleteItemSettings();

}  // namespace qv::options
