// INDICATOR items on the toolbar: a button-like item whose caption and
// image come from the feature that shows its type ("POP3", "POPUP").
#include "host/item_behaviour.h"
#include "host/toolbar_ctrl.h"

namespace qv {

void IndicatorBehaviour::Setup(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const {
  ButtonBehaviour::SetupButtonLike(toolbar, item, true);
}

void IndicatorBehaviour::CreateWindows(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const {
  ButtonBehaviour::CreateMenuBitmap(toolbar, item);
}

void IndicatorBehaviour::Update(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const {
  const IndicatorLook look = toolbar.LookOfIndicator(static_cast<tbdl::TBDLIndicatorItem&>(item));
  SetTextAndImage(toolbar.Control(), item, ButtonText(item, look.text), look.image);
  toolbar.ApplyItemVisibility(item.Index(), item.GetName());
  ButtonBehaviour::MoveMenuBitmap(toolbar, item);
  // The indicator's width may have changed.
  toolbar.RelayoutLaterCombos(item.Index());
}

}  // namespace qv
