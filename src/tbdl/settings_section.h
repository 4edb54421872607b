// The SETTINGS section: per-item option descriptions (ITEMOPTIONS),
// client-side property descriptions (CSPSETTING) and free named values
// (PROPERTY).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tbdl/combo_webpage.h"
#include "tbdl/part.h"

namespace qv::tbdl {

// What the items options page offers for one item.
class TBDLItemOptions : public TBDLPart {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;

  // The item's GetName; the options page's settings are keyed by it.
  const std::string& Id() const { return id_; }
  int32_t ToggleVisibility() const { return toggleVisibility_; }
  int32_t ToggleCaption() const { return toggleCaption_; }
  int32_t ChangeWidth() const { return changeWidth_; }
  int32_t WidthFrom() const { return widthFrom_; }
  int32_t WidthTo() const { return widthTo_; }
  int32_t Image() const { return image_; }
  const std::string& Description() const { return description_; }

 private:
  std::string id_;
  std::string description_;
  int32_t toggleVisibility_ = 0;
  int32_t toggleCaption_ = 0;
  int32_t changeWidth_ = 0;
  int32_t widthFrom_ = 0;
  int32_t widthTo_ = 0;
  int32_t image_ = 0;
};

// A client-side property that the options page lets the user choose.
class TBDLCspSetting : public TBDLPart {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;
  bool AddPart(TBDLNode& child) override;

  const std::string& Id() const { return id_; }
  const std::string& Description() const { return description_; }
  const std::vector<TBDLComboValue>& Values() const { return values_; }

 private:
  std::string id_;
  std::string description_;
  std::vector<TBDLComboValue> values_;
};

// A named value of the definition.
class TBDLPropertyEntry : public TBDLPart {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;

  const std::string& Id() const { return id_; }
  const std::string& Value() const { return value_; }

 private:
  std::string id_;
  std::string value_;
};

// Every entry of every SETTINGS part, in file order per kind.
class TBDLSettingsSection : public TBDLPart {
 public:
  bool AddPart(TBDLNode& child) override;

  const std::vector<TBDLItemOptions>& ItemOptions() const { return itemOptions_; }
  const std::vector<TBDLCspSetting>& CspSettings() const { return cspSettings_; }
  const std::vector<TBDLPropertyEntry>& Properties() const { return properties_; }

  // The value of the last PROPERTY whose id is exactly id, else the default.
  std::string GetProperty(std::string_view id, std::string_view defaultValue) const;

 private:
  std::vector<TBDLItemOptions> itemOptions_;
  std::vector<TBDLCspSetting> cspSettings_;
  std::vector<TBDLPropertyEntry> properties_;
};

}  // namespace qv::tbdl
