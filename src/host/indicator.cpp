// The INDICATOR items on the toolbar: the image of each state, the "POP3"
// and "POPUP" texts, and the blink step. The mail indicator's rules are the
// mail checker's.
#include <string>

#include "host/toolbar_ctrl.h"
#include "mail/indicator.h"
#include "settings/settings.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/toolbar.h"

namespace qv {

using tbdl::TBDLIndicatorItem;

int TBWToolBarCtrl::IndicatorImage(TBDLIndicatorItem& item) {
  const std::string& type = item.Type();
  if (type == "POPUP") {
    if (!hooks_.popup->IsBlockerEnabled()) return item.AddImage(3);
    if (item.state == 1) return item.AddImage(2);
    if (item.state == 0) return item.AddImage(1);
    return item.AddImage(3);
  }
  if (type == "POP3") return mail::Pop3IndicatorImage(item);
  return item.AddImage(1);
}

void TBWToolBarCtrl::UpdateIndicator(TBDLIndicatorItem& item) {
  std::string text = item.GetCaption();
  if (item.Type() == "POPUP") {
    const uint32_t total = hooks_.popup->TotalBlockedPopups();
    if (ItemState* state = StateOf(item.Index())) state->popupTotal = total;
    if (hooks_.popup->IsCurrentSiteWhitelisted() && hooks_.popup->IsBlockerEnabled()) {
      text = item.Param(2);
      item.state = 0;
    } else if (total != 0) {
      text = item.Param(1);
      ReplaceAll(text, "%n", std::to_string(total));
    } else {
      item.state = 0;
      text = item.Param(3);
    }
  }
  const int image = IndicatorImage(item);
  SetTextAndImage(item, ButtonText(item, text), image);
  ApplyItemVisibility(item.Index(), item.GetName());
  MoveMenuBitmap(item);
  // The indicator's width may have changed.
  RelayoutLaterCombos(item.Index());
}

void TBWToolBarCtrl::BlinkStep(TBDLIndicatorItem& item) {
  const mail::BlinkStep step = mail::RunBlinkStep(item);
  if (step.updateButton) {
    SetTextAndImage(item, ButtonText(item, item.GetCaption()), step.image);
  } else if (!AnyIndicatorFlagged()) {
    KillTimerId(kBlinkTimerId);
  }
}

}  // namespace qv
