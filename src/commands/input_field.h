// An input item of the toolbar (a COMBO item: edit field, history combo or
// chooser) together with the control that shows it.
#pragma once

#include <string>
#include <vector>

#include "platform/toolbar_surface.h"

namespace qv::commands {

struct ComboChoice {
  std::string caption;
  std::string value;
  // What the list shows: the caption, or the value without one.
  const std::string& DisplayText() const { return caption.empty() ? value : caption; }
};

struct InputField {
  std::string name;
  std::string command;  // name of the command the item runs
  std::string caption;  // initial text of a field without history
  bool isEdit = false;  // type "edit"
  // The COMBOVALUE entries; a combo box with any is a chooser (drop-down
  // list). A chooser's list entry n carries n + 1 as its item data, so that
  // data 0 means "no value".
  std::vector<ComboChoice> choices;
  int maxHistLines = 0;
  ChildControls* control = nullptr;
  WindowId window = 0;  // the combo box or edit field; 0 before it exists

  bool IsChooser() const { return !isEdit && !choices.empty(); }
  bool IsHistoryCombo() const { return !isEdit && choices.empty(); }
};

}  // namespace qv::commands
