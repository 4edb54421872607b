// The INDICATOR items: the image of each state, the "POP3" and "POPUP"
// texts, and the blink step.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "host/mail_accounts_view.h"
#include "host/toolbar_window.h"
#include "settings/settings.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/part.h"
#include "tbdl/toolbar.h"

namespace qv {

using tbdl::TBDLIndicatorItem;

namespace {

constexpr char kNoAccounts[] = "No POP3 accounts configured";
constexpr char kNoNewMessages[] = "You do not have new messages";
constexpr char kNewMessages[] = "You have %n new messages";

const std::string& QuietHint(const TBDLIndicatorItem& item) {
  static const std::string fallback = kNoNewMessages;
  return item.Param(1).empty() ? fallback : item.Param(1);
}

int BlinkSteps(const TBDLIndicatorItem& item) {
  const int64_t steps = 2 * static_cast<int64_t>(tbdl::ParseIntValue(item.Param(2)));
  return static_cast<int>(std::clamp<int64_t>(steps, INT32_MIN, INT32_MAX));
}

}  // namespace

// The count goes where the first "%n" stands and "%%" gives one percent
// sign; any other percent sequence is kept as written, so a definition's
// text is never used as a format.
std::string FormatNewMessagesHint(const std::string& text, uint64_t count) {
  std::string out;
  bool countPlaced = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      if (text[i + 1] == 'n' && !countPlaced) {
        out += std::to_string(count);
        countPlaced = true;
        ++i;
        continue;
      }
      if (text[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

void TBWToolBarCtrl::SetIndicatorHint(TBDLIndicatorItem& item, const std::string& hint) {
  if (ItemState* state = StateOf(item.Index())) {
    state->hintOverride = true;
    state->hint = hint;
  }
}

int TBWToolBarCtrl::IndicatorImage(TBDLIndicatorItem& item) {
  const std::string& type = item.Type();
  if (type == "POPUP") {
    if (!hooks_.popup->IsBlockerEnabled()) return item.AddImage(3);
    if (item.state == 1) return item.AddImage(2);
    if (item.state == 0) return item.AddImage(1);
    return item.AddImage(3);
  }
  if (type != "POP3") return item.AddImage(1);

  const MailAccountsView accounts = ReadMailAccountsView();
  if (accounts.count == 0) {
    SetIndicatorHint(item, kNoAccounts);
    item.flagged = true;
    item.state = 2;
    return item.AddImage(2);
  }
  if (accounts.anyError) {
    item.flagged = true;
    item.state = 2;
    item.blinkCount = BlinkSteps(item);
    return item.AddImage(2);
  }
  if (accounts.newMessages == 0) {
    SetIndicatorHint(item, QuietHint(item));
    item.flagged = false;
    item.state = 0;
    item.blinkCount = 0;
    return item.AddImage(1);
  }
  const std::string format = item.Param(3).empty() ? kNewMessages : item.Param(3);
  SetIndicatorHint(item, FormatNewMessagesHint(format, accounts.newMessages));
  item.flagged = true;
  item.state = 1;
  item.blinkCount = BlinkSteps(item);
  return item.AddImage(3);
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
  const int before = item.state;
  item.state = -before;
  const int image = before < 0 ? (before == -1 ? item.AddImage(3) : item.AddImage(2)) : -1;
  if (item.blinkCount > 0) {
    --item.blinkCount;
  } else if (before != -2) {
    // The blinking is over: the messages count as seen.
    item.flagged = false;
    item.state = 0;
    ResetMailAccountCounts();
    SetIndicatorHint(item, QuietHint(item));
    if (!AnyIndicatorFlagged()) KillTimerId(kBlinkTimer);
    return;
  }
  SetTextAndImage(item, ButtonText(item, item.GetCaption()), image);
}

}  // namespace qv
