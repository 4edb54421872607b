// TBWToolBarCtrl: the toolbar window object. Turns the toolbar model into
// buttons and child controls on the toolbar-control seam, keeps the band's
// widths, routes clicks, drop-downs and menu commands, runs the timers and
// the keyboard and drag-and-drop rules of the input controls. The Win32
// window procedure decodes messages and calls the handlers below.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/menu_painter.h"
#include "host/toolbar_hooks.h"
#include "platform/menu_canvas.h"
#include "platform/toolbar_surface.h"
#include "tbdl/identifiers.h"

namespace qv {
class ResourceLookup;
class ToolbarCommandHost;
class ToolbarMailHost;
}  // namespace qv

namespace qv::mail {
class MailChecker;
class Pop3Client;
}  // namespace qv::mail

namespace qv::tbdl {
class TBDLToolbar;
class TBDLItem;
class TBDLComboItem;
class TBDLIndicatorItem;
class TBDLWebPageItem;
}  // namespace qv::tbdl

namespace qv {

// Constants of the toolbar window.
inline constexpr int kSeparatorButtonWidth = 8;
inline constexpr uint32_t kHotTextColour = 0x00C80000;  // RGB(0, 0, 200)
// Browser events the toolbar follows (DISPIDs).
inline constexpr int kDispidDownloadBegin = 106;
inline constexpr int kDispidNavigateComplete2 = 252;
inline constexpr int kDispidDocumentComplete = 259;
// Drag-and-drop answers.
inline constexpr uint32_t kDropEffectNone = 0;
inline constexpr uint32_t kDropEffectCopy = 1;
inline constexpr long kEFail = static_cast<long>(0x80004005L);
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

// A combo box or edit field of an input item, in the keyboard controls list.
class InputControl {
 public:
  InputControl(TBWToolBarCtrl& toolbar, int itemIndex, WindowId window, WindowId edit)
      : toolbar_(&toolbar), itemIndex_(itemIndex), window_(window), edit_(edit) {}

  int ItemIndex() const { return itemIndex_; }
  WindowId Window() const { return window_; }
  WindowId EditWindow() const { return edit_; }

  // The window is the control or its edit part.
  bool ContainsFocus(WindowId window) const;
  void Focus();
  void FocusFirst();
  // kSOk when the key was consumed, kSFalse when the browser handles it.
  long TranslateKey(const Message& message);

  // Text dropped on the control (OLE drag-and-drop, as logic).
  uint32_t DragEnter(bool offersText);
  uint32_t DragOver() const { return dragAccepted_ ? kDropEffectCopy : kDropEffectNone; }
  void DragLeave() { dragAccepted_ = false; }
  // kSOk with *effect = copy, or kEFail when nothing was accepted.
  long Drop(const std::string& text, uint32_t* effect);

 private:
  TBWToolBarCtrl* toolbar_;
  int itemIndex_;
  WindowId window_;
  WindowId edit_;
  bool dragAccepted_ = false;
};

class TBWToolBarCtrl {
 public:
  TBWToolBarCtrl(ToolbarSurface& control, ResourceLookup& lookup,
                 ToolbarHooks hooks = ToolbarHooks::Defaults());
  ~TBWToolBarCtrl();
  TBWToolBarCtrl(const TBWToolBarCtrl&) = delete;
  TBWToolBarCtrl& operator=(const TBWToolBarCtrl&) = delete;

  // --- building
  // Builds or rebuilds the whole toolbar; false when the definition or its
  // image lists could not be loaded (the previous buttons then stay and
  // the model is empty).
  bool BuildToolbar(bool load);
  void Stop();
  void ApplyItemVisibility(int index, const std::string& name);
  void UpdateWidths();
  void StartPeriodicTimers();

  // --- the items' operations on their buttons and controls
  void UpdateItem(tbdl::TBDLItem& item);
  void SetupItem(tbdl::TBDLItem& item);
  void BuildItemMenu(tbdl::TBDLItem& item, PopupMenu& menu, bool sidebarMode);
  // The indicator's image for its current state (may change its state,
  // blink count and tooltip).
  int IndicatorImage(tbdl::TBDLIndicatorItem& item);
  // One blink step of a flagged indicator.
  void BlinkStep(tbdl::TBDLIndicatorItem& item);
  // Every indicator updates; the blink timer runs while one blinks.
  void RefreshIndicators();
  // Every item updates (the end of a mail check pass); true when an
  // indicator now has blink steps to run.
  bool UpdateAllItems();
  // The toolbar's own timers (43690 to 43694); the ids of running ones
  // are kept so that Stop kills them.
  void SetTimerId(unsigned id, unsigned period);
  void KillTimerId(unsigned id);
  // The mail checks over the toolbar's POP3 client, made on first use.
  mail::MailChecker& MailChecker();
  // A popup was blocked (state 1) or a download began (state 0): the first
  // POPUP indicator shows it.
  void SetPopupIndicatorState(int state);
  // The first POPUP indicator updates itself.
  void RefreshPopupIndicator();

  // --- message handling
  // WM_COMMAND: reflected from this control (buttons) or from a menu.
  void OnCommand(unsigned id, bool fromMenu);
  void OnButtonClick(int id);
  void OnMenuCommand(unsigned id);
  void OnDropDown(int id);
  // Mouse messages over buttons: true when consumed.
  bool OnMouseMessage(unsigned message, Point client);
  // A key-down forwarded to the control: true when handled (Tab).
  bool OnForwardedKeyDown(unsigned key);
  void OnTimer(unsigned id);
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
  long TranslateAccelerator(const Message& message);
  void NotifyFocusChange(bool gotFocus);
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
  tbdl::TBDLItem* ItemAt(int index);
  int ButtonsWidth() const { return buttonsWidth_; }
  int VisibleWidth() const { return visibleWidth_; }
  int MinimumWidth() const { return minimumWidth_; }
  int LastClickedItem() const { return lastClicked_; }
  int MenuStyle() const { return menuStyle_; }
  // The side of one image-list cell; 0 without image lists.
  int ImageSize() const { return imageSize_; }
  std::vector<InputControl>& KeyboardControls() { return keyboardControls_; }
  // The child window of an item (combo box, edit field, page host, menu
  // bitmap button); 0 when it has none.
  WindowId ItemWindow(int index) const;
  WindowId ItemBitmapWindow(int index) const;
  // The item shown by a child window, or -1.
  int ItemOfWindow(WindowId window) const;
  // While set, changes in the input controls were not typed (keys passed
  // on by the keyboard rules); autocompletion leaves them alone.
  bool AutoCompleteSuspended() const { return autoCompleteSuspended_; }
  void SetAutoCompleteSuspended(bool on) { autoCompleteSuspended_ = on; }
  bool WebPageLoaded(int index) const;
  unsigned RunningTimer(unsigned id) const;

  // Runs command index of the model: Reset when pressed, else Execute with
  // parameter. Unknown indices do nothing.
  void ExecuteCommand(int commandIndex, bool pressed, const std::string& parameter = {});

 private:
  struct ItemState {
    WindowId window = 0;        // combo box, edit field or page host
    WindowId bitmapButton = 0;  // a menu bitmap over the button
    bool webPageLoaded = false;
    uint32_t popupTotal = 0;  // the POPUP indicator's copy of the total
    std::string lastDomain;   // the domain a web page last showed
  };

  ItemState* StateOf(int index);
  void DestroyItemWindows();
  bool AnyIndicatorBlinking();
  bool AnyIndicatorFlagged();
  std::string ButtonText(tbdl::TBDLItem& item, const std::string& text);
  void SetTextAndImage(tbdl::TBDLItem& item, const std::string& text, int image);
  void MoveMenuBitmap(tbdl::TBDLItem& item);
  void SetupButtonLike(tbdl::TBDLItem& item, bool indicator);
  void UpdateButtonItem(tbdl::TBDLItem& item);
  void UpdateIndicator(tbdl::TBDLIndicatorItem& item);
  void SetupCombo(tbdl::TBDLComboItem& item);
  void UpdateCombo(tbdl::TBDLComboItem& item);
  void SetupWebPage(tbdl::TBDLWebPageItem& item);
  void UpdateWebPage(tbdl::TBDLWebPageItem& item);
  void RelayoutLaterCombos(int index);
  bool TabNavigation();
  InputControl* ControlWithFocus();
  bool LoadImageLists();
  tbdl::TBDLIndicatorItem* FirstPopupIndicator();

  ToolbarSurface& control_;
  ResourceLookup& lookup_;
  ToolbarHooks hooks_;
  std::unique_ptr<ToolbarCommandHost> commandHost_;
  std::unique_ptr<mail::Pop3Client> mailClient_;
  std::unique_ptr<ToolbarMailHost> mailHost_;
  std::unique_ptr<mail::MailChecker> mailChecker_;
  std::unique_ptr<tbdl::TBDLToolbar> model_;
  // The model was replaced since the item states and child windows were
  // made: they belong to items that are gone.
  bool statesStale_ = true;
  std::vector<ItemState> states_;
  std::vector<InputControl> keyboardControls_;
  int stringCounter_ = 0;
  int buttonsWidth_ = 0;
  int visibleWidth_ = 0;
  int minimumWidth_ = 0;
  int lastClicked_ = -1;
  int imageSize_ = 0;
  unsigned blinkTimer_ = 0;
  unsigned mailTimer_ = 0;
  unsigned popupTimer_ = 0;
  unsigned alertTimer_ = 0;
  const int menuStyle_ = 2;
  bool autoCompleteSuspended_ = false;
};

}  // namespace qv
