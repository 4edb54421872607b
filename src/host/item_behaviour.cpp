#include "host/item_behaviour.h"

#include "host/item_menu.h"
#include "host/toolbar_ctrl.h"
#include "settings/settings.h"

namespace qv {

void ItemBehaviour::BuildMenu(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item, PopupMenu& menu,
                              bool sidebarMode) const {
  BuildEntriesMenu(item, sidebarMode, *toolbar.Hooks().popup, menu);
}

uint32_t ItemBehaviour::CustomDraw(tbdl::TBDLItem& /*item*/, CustomDrawInfo& draw) const {
  if (draw.itemState & (kCdisHot | kCdisSelected)) draw.textColour = kHotTextColour;
  return kCdrfDoDefault;
}

const ItemBehaviour& BehaviourOf(tbdl::ItemKind kind) {
  static const ButtonBehaviour button;
  static const SeparatorBehaviour separator;
  static const IndicatorBehaviour indicator;
  static const ComboBehaviour combo;
  static const WebPageBehaviour webPage;
  switch (kind) {
    case tbdl::kItemCombo:
      return combo;
    case tbdl::kItemWebButton:
      return webPage;
    case tbdl::kItemSeparator:
      return separator;
    case tbdl::kItemIndicator:
      return indicator;
    case tbdl::kItemButton:
    case tbdl::kItemText:
      break;
  }
  return button;
}

int ButtonId(const tbdl::TBDLItem& item) {
  return kButtonIdBase + item.Index();
}

std::string ButtonText(const tbdl::TBDLItem& item, const std::string& text) {
  if (GetSettingDword("ItemIconOnly_" + item.GetName(), 0) != 0) return {};
  return text;
}

void SetTextAndImage(ToolbarButtons& buttons, const tbdl::TBDLItem& item, const std::string& text,
                     int image) {
  ButtonInfo info;
  info.mask = kTbifText | kTbifImage;
  info.text = text;
  info.image = image;
  buttons.SetButtonInfo(ButtonId(item), info);
}

}  // namespace qv
