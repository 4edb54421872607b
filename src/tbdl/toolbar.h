// TBDLToolbar: the toolbar model that a definition loads into. One object
// per load; a reload replaces it whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tbdl/commands.h"
#include "tbdl/items.h"
#include "tbdl/part.h"
#include "tbdl/settings_section.h"

namespace qv {
class ResourceLookup;
}  // namespace qv

namespace qv::tbdl {

inline constexpr char kDefaultImageFile[] = "tbil.bmp";
inline constexpr char kDefaultHotImageFile[] = "tbhotil.bmp";

class TBDLToolbar : public TBDLPart {
 public:
  TBDLToolbar();
  ~TBDLToolbar() override;

  // Reads the header's properties and then its parts, freeing each part's
  // subtree as soon as it has been read: the tree is no longer needed and
  // the model would otherwise grow beside the whole tree. The node is left
  // without children.
  void Load(TBDLNode& node) override;
  // image and hotimage; everything else (CLSID, UUID, name, company
  // included) is reported as invalid.
  bool SetProperty(Keyword name, std::string_view value) override;
  // Items, COMMANDS and SETTINGS; any other part is ignored.
  bool AddPart(TBDLNode& child) override;

  const std::string& ImageFile() const { return imageFile_; }
  const std::string& HotImageFile() const { return hotImageFile_; }

  const std::vector<std::unique_ptr<TBDLItem>>& Items() const { return items_; }
  TBDLItem* Item(int32_t index) const;
  const TBDLCommandsSection& CommandsSection() const { return commands_; }
  const TBDLSettingsSection& SettingsSection() const { return settings_; }
  // The command at index, or null.
  TBDLCommand* Command(int32_t index) const;

  // Index of the first command named exactly name, or -1.
  int32_t FindCommand(std::string_view name) const { return commands_.FindCommand(name); }
  // The last PROPERTY entry's value for id, else the default.
  std::string GetProperty(std::string_view id, std::string_view defaultValue) const {
    return settings_.GetProperty(id, defaultValue);
  }

  // Names the default bitmaps for empty image list files, obtains both
  // files through the lookup and lets every command prepare its own
  // resources. False when any of that failed; the model stays loaded.
  bool PrepareResources(ResourceLookup& lookup);

  // Filled by the toolbar window when it builds its buttons: the INDICATOR
  // items and the page-dependent WEBPAGE items, in item order.
  std::vector<TBDLItem*> indicators;
  std::vector<TBDLItem*> pageDependentItems;

 private:
  std::string imageFile_;
  std::string hotImageFile_;
  std::vector<std::unique_ptr<TBDLItem>> items_;
  TBDLSettingsSection settings_;
  TBDLCommandsSection commands_;
};

}  // namespace qv::tbdl
