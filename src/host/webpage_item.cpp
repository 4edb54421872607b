// WEBPAGE items on the toolbar: a page host over an indeterminate button,
// navigated to the item's address and following the current page when the
// address depends on it.
#include <algorithm>

#include "host/item_behaviour.h"
#include "host/toolbar_ctrl.h"
#include "settings/settings.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/toolbar.h"

namespace qv {

namespace {

// The button cx field is 16 bits wide.
constexpr int kMaxButtonWidth = 32767;

}  // namespace

void WebPageBehaviour::CreateWindows(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& base) const {
  auto& item = static_cast<tbdl::TBDLWebPageItem&>(base);
  ToolbarSurface& control = toolbar.Control();
  TBWToolBarCtrl::ItemState* state = toolbar.StateOf(item.Index());
  if (!state) return;
  if (!state->window) {
    Rect r;
    control.GetRect(ButtonId(item), &r);
    state->window =
        control.CreateChild(ChildSpec{ChildKind::kWebPage, kWsChild | kWsVisible, 0, r});
    if (!state->window) return;
  }
  std::string url;
  if (toolbar.Hooks().pages->PageAddress(toolbar, item, &state->lastDomain, &url))
    control.NavigateWebPage(state->window, url);
}

void WebPageBehaviour::Update(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& base) const {
  auto& item = static_cast<tbdl::TBDLWebPageItem&>(base);
  ToolbarSurface& control = toolbar.Control();
  const int id = ButtonId(item);
  const int width = item.CurrentWidth() != 0 ? item.CurrentWidth() : item.Width();
  Rect r;
  control.GetRect(id, &r);
  r.bottom += 20;
  r.right = r.left + width;
  if (item.Border() != 0) r.bottom = 22;
  const bool hidden = GetSettingDword("ItemHidden_" + item.GetName(), 0) != 0;
  ButtonInfo info;
  info.mask = kTbifState | kTbifStyle | kTbifSize;
  info.state = kTbstateIndeterminate;
  info.style = kBtnsButton;
  info.cx = hidden ? 0 : std::clamp(width, 0, kMaxButtonWidth);
  control.SetButtonInfo(id, info);
  if (const WindowId window = toolbar.ItemWindow(item.Index())) {
    control.MoveChild(window, r);
    control.ShowChild(window, !hidden);
  }
  toolbar.ApplyItemVisibility(item.Index(), item.GetName());
}

void WebPageBehaviour::OnDocumentComplete(TBWToolBarCtrl& toolbar, tbdl::TBDLWebPageItem& item,
                                          bool hasBody, int scrollWidth) {
  TBWToolBarCtrl::ItemState* state = toolbar.StateOf(item.Index());
  if (!state || !hasBody) return;
  state->webPageLoaded = true;
  if (!item.AutoSize()) return;
  item.SetCurrentWidth(scrollWidth);
  toolbar.UpdateAllItems();
}

bool WebPageBehaviour::OnBeforeNavigate(TBWToolBarCtrl& toolbar, tbdl::TBDLWebPageItem& item,
                                        const std::string& url) {
  if (!toolbar.WebPageLoaded(item.Index())) return false;
  if (!item.RelayNavigation() || url.find("autorefresh") != std::string::npos) return false;
  toolbar.Hooks().owner->NavigateBrowser(url);
  return true;
}

}  // namespace qv
