#include "tbdl/settings_section.h"

#include "tbdl/node.h"

namespace qv::tbdl {

bool TBDLItemOptions::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(id_, Keyword::id, name, value) ||
         SetIntProperty(toggleVisibility_, Keyword::toggle_visibility, name, value) ||
         SetIntProperty(toggleCaption_, Keyword::toggle_caption, name, value) ||
         SetIntProperty(changeWidth_, Keyword::change_width, name, value) ||
         SetIntProperty(widthFrom_, Keyword::width_from, name, value) ||
         SetIntProperty(widthTo_, Keyword::width_to, name, value) ||
         SetIntProperty(image_, Keyword::image, name, value) ||
         SetTextProperty(description_, Keyword::description, name, value) ||
         ReportInvalidProperty(name, "TBDL item visibility settings");
}

bool TBDLCspSetting::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(id_, Keyword::id, name, value) ||
         SetTextProperty(description_, Keyword::description, name, value) ||
         ReportInvalidProperty(name, "TBDL item CSP settings");
}

bool TBDLCspSetting::AddPart(TBDLNode& child) {
  return AddComboValuePart(values_, child, "Invalid part declared in CSP Setting!",
                           "TBDL CSP settings");
}

bool TBDLPropertyEntry::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(id_, Keyword::id, name, value) ||
         SetTextProperty(value_, Keyword::value, name, value) ||
         ReportInvalidProperty(name, "TBDL item visibility settings");
}

bool TBDLSettingsSection::AddPart(TBDLNode& child) {
  switch (child.keyword) {
    case Keyword::ITEMOPTIONS:
      itemOptions_.emplace_back().Load(child);
      return true;
    case Keyword::CSPSETTING:
      cspSettings_.emplace_back().Load(child);
      return true;
    case Keyword::PROPERTY:
      properties_.emplace_back().Load(child);
      return true;
    default:
      ReportLoadProblem("Invalid part declared in SETTINGS section!", "TBDLLoad");
      return false;
  }
}

std::string TBDLSettingsSection::GetProperty(std::string_view id,
                                             std::string_view defaultValue) const {
  for (auto it = properties_.rbegin(); it != properties_.rend(); ++it) {
    if (it->Id() == id) return it->Value();
  }
  return std::string(defaultValue);
}

}  // namespace qv::tbdl
