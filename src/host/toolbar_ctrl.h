// TBWToolBarCtrl: the toolbar window object. Owns the toolbar model and
// turns it into buttons and child controls on the toolbar surface (each
// item kind through its behaviour), keeps the band's widths, and routes
// clicks, drop-downs, menu commands, timer ticks, keys and browser events
// to the items, the keyboard controls and the attached features. The Win32
// window procedure decodes messages and calls the handlers below.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/keyboard_focus.h"
#include "host/menu_painter.h"
#include "host/timer_table.h"
#include "host/toolbar_feature.h"
#include "host/toolbar_hooks.h"
#include "platform/menu_canvas.h"
#include "platform/toolbar_surface.h"
#include "tbdl/identifiers.h"

namespace qv {
class ResourceLookup;
class ToolbarCommandHost;
}  // namespace qv

namespace qv::tbdl {
class TBDLToolbar;
class TBDLItem;
}  // namespace qv::tbdl

namespace qv {

// Constants of the toolbar window.
inline constexpr int kSeparatorButtonWidth = 8;
inline constexpr uint32_t kHotTextColour = 0x00C80000;  // RGB(0, 0, 200)
// Browser events the toolbar follows (DISPIDs).
inline constexpr int kDispidDownloadBegin = 106;
inline constexpr int kDispidNavigateComplete2 = 252;
inline constexpr int kDispidDocumentComplete = 259;
// Custom-draw stages and answers (CDDS_*, CDIS_*, CDRF_*).
inline constexpr uint32_t kCddsPrepaint = 0x1;
inline constexpr uint32_t kCddsItemPrepaint = 0x10001;
inline constexpr uint32_t kCdisSelected = 0x1;
inline constexpr uint32_t kCdisHot = 0x40;
inline constexpr uint32_t kCdrfDoDefault = 0x0;
inline constexpr uint32_t kCdrfNotifyItemDraw = 0x20;

// One custom-draw request for a button (NMTBCUSTOMDRAW, as far as used).
struct CustomDrawInfo {
  uint32_t stage = 0;
  int command = 0;
  uint32_t itemState = 0;
  uint32_t textColour = 0;
};

class TBWToolBarCtrl {
 public:
  // What the toolbar keeps of each item besides the model: its windows and
  // the web page's run-time state.
  struct ItemState {
    WindowId window = 0;        // combo box, edit field or page host
    WindowId bitmapButton = 0;  // a menu bitmap over the button
    std::string menuBitmap;     // its file, found when the button was set up
    bool webPageLoaded = false;
    std::string lastDomain;  // the domain a web page last showed
  };

  TBWToolBarCtrl(ToolbarSurface& control, ResourceLookup& lookup,
                 ToolbarHooks hooks = ToolbarHooks::Defaults());
  ~TBWToolBarCtrl();
  TBWToolBarCtrl(const TBWToolBarCtrl&) = delete;
  TBWToolBarCtrl& operator=(const TBWToolBarCtrl&) = delete;

  // --- features
  // Attaches a feature and registers its timers. False, and the feature
  // is dropped, when one of its timer ids is already taken.
  bool AttachFeature(std::unique_ptr<ToolbarFeature> feature);
  // The attached feature of that class, or null.
  template <typename Feature>
  Feature* FindFeature() {
    for (const auto& f : features_) {
      if (auto* found = dynamic_cast<Feature*>(f.get())) return found;
    }
    return nullptr;
  }
  TimerTable& Timers() { return timers_; }

  // --- building
  // Builds or rebuilds the whole toolbar; false when the definition or its
  // image lists could not be loaded (the previous buttons then stay and
  // the model is empty).
  bool BuildToolbar(bool load);
  // The next builds leave the items' child windows for
  // CreatePendingItemWindows: a band being put into a browser window shows
  // its buttons first and makes the controls once it is on screen.
  void DeferItemWindows() { deferWindows_ = true; }
  bool ItemWindowsPending() const { return windowsPending_; }
  // Makes the child windows a deferred build left out and places them;
  // later builds make their windows at once. Nothing to do otherwise.
  void CreatePendingItemWindows();
  void Stop();
  void ApplyItemVisibility(int index, const std::string& name);
  void UpdateWidths();
  // Every feature (re)starts its periodic timers.
  void StartPeriodicTimers();

  // --- the items' operations on their buttons and controls, by kind
  void UpdateItem(tbdl::TBDLItem& item);
  void SetupItem(tbdl::TBDLItem& item);
  void BuildItemMenu(tbdl::TBDLItem& item, PopupMenu& menu, bool sidebarMode);
  // Every item updates; the combos after index follow moved buttons.
  void UpdateAllItems();
  void RelayoutLaterCombos(int index);
  // The look of an INDICATOR: the first feature that shows its type, or
  // its caption and first image.
  IndicatorLook LookOfIndicator(tbdl::TBDLIndicatorItem& item);

  // --- message handling
  // WM_COMMAND: reflected from this control (buttons) or from a menu.
  void OnCommand(unsigned id, bool fromMenu);
  void OnButtonClick(int id);
  void OnMenuCommand(unsigned id);
  void OnDropDown(int id);
  // Mouse messages over buttons: true when consumed.
  bool OnMouseMessage(unsigned message, Point client);
  // A key-down forwarded to the control: true when handled (Tab).
  bool OnForwardedKeyDown(unsigned key) { return keyboard_.OnForwardedKeyDown(key); }
  long TranslateAccelerator(const Message& message) {
    return keyboard_.TranslateAccelerator(message);
  }
  // WM_TIMER: the registered timer's work; ids no feature owns are ignored.
  void OnTimer(unsigned id) { timers_.Dispatch(id); }
  void OnMenuSelect(unsigned id, unsigned flags);
  std::optional<std::string> ToolTipText(int id);
  // WM_MEASUREITEM and WM_DRAWITEM of the owner-drawn drop-down menu
  // entries, with the toolbar's images.
  Size MeasureMenuEntry(MenuCanvas& canvas, unsigned id, const MenuItemData& data);
  void DrawMenuEntry(MenuCanvas& canvas, const MenuEntryDrawing& entry);
  // A click on a menu bitmap that replaces an item's button: a whole
  // drop-down shows the menu, any other button runs the item's command.
  void OnBitmapButtonClick(WindowId button);
  uint32_t OnCustomDraw(CustomDrawInfo& draw);
  // Reflected CBN_EDITUPDATE / CBN_SELENDOK / CBN_SETFOCUS of a control.
  void OnComboNotification(WindowId control, unsigned code);
  void OnBrowserEvent(int dispid);
  // The web-page control's events: the document of page completed (with
  // a body of that scroll width, or without body), and a navigation
  // starts in it (true: cancelled and relayed to the browser).
  void OnWebPageDocumentComplete(WindowId page, bool hasBody, int scrollWidth);
  bool OnWebPageBeforeNavigate(WindowId page, const std::string& url);

  // --- state
  ToolbarSurface& Control() { return control_; }
  ResourceLookup& Lookup() { return lookup_; }
  const ToolbarHooks& Hooks() const { return hooks_; }
  void SetHooks(const ToolbarHooks& hooks) { hooks_ = hooks; }
  tbdl::TBDLToolbar* Model() { return model_.get(); }
  // The toolbar as the commands see it.
  ToolbarCommandHost& CommandHost() { return *commandHost_; }
  KeyboardFocus& Keyboard() { return keyboard_; }
  tbdl::TBDLItem* ItemAt(int index);
  ItemState* StateOf(int index);
  int ButtonsWidth() const { return buttonsWidth_; }
  int VisibleWidth() const { return visibleWidth_; }
  int MinimumWidth() const { return minimumWidth_; }
  int LastClickedItem() const { return lastClicked_; }
  int MenuStyle() const { return menuStyle_; }
  // The side of one image-list cell; 0 without image lists.
  int ImageSize() const { return imageSize_; }
  // The child window of an item (combo box, edit field, page host, menu
  // bitmap button); 0 when it has none.
  WindowId ItemWindow(int index) const;
  WindowId ItemBitmapWindow(int index) const;
  // The item shown by a child window, or -1.
  int ItemOfWindow(WindowId window) const;
  bool WebPageLoaded(int index) const;

  // Runs the command at commandIndex of the model for a click or a menu
  // choice; unknown indices do nothing.
  void ExecuteCommand(int commandIndex, bool pressed);
  // Runs the first command of that name with a parameter; false when the
  // model has none.
  bool RunNamedCommand(const std::string& name, const std::string& parameter);

 private:
  void DestroyItemWindows();
  bool LoadImageLists();
  void RunSearchOf(int itemIndex);

  ToolbarSurface& control_;
  ResourceLookup& lookup_;
  ToolbarHooks hooks_;
  std::unique_ptr<ToolbarCommandHost> commandHost_;
  KeyboardFocus keyboard_;
  TimerTable timers_;
  std::unique_ptr<tbdl::TBDLToolbar> model_;
  // The model was replaced since the item states and child windows were
  // made: they belong to items that are gone.
  bool statesStale_ = true;
  bool relayingOut_ = false;  // RelayoutLaterCombos is running
  bool deferWindows_ = false;
  bool windowsPending_ = false;  // a deferred build left child windows out
  std::vector<ItemState> states_;
  int stringCounter_ = 0;
  int buttonsWidth_ = 0;
  int visibleWidth_ = 0;
  int minimumWidth_ = 0;
  int lastClicked_ = -1;
  int imageSize_ = 0;
  const int menuStyle_ = 2;
  // Last: features are destroyed first, while the table and model they
  // refer to are still there.
  std::vector<std::unique_ptr<ToolbarFeature>> features_;
};

}  // namespace qv
