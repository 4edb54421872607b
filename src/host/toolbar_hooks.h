// What the toolbar window asks of the band that owns it and of the
// subsystems around it. Each interface is named after what the toolbar
// needs. The search and page-address defaults run the commands layer; the
// others do nothing observable until their subsystem is wired in, so that
// a toolbar runs in the definition tool and in tests. Subsystems with
// timers or menu commands of their own attach as features instead
// (toolbar_feature.h).
#pragma once

#include <cstdint>
#include <string>

namespace qv::tbdl {
class TBDLComboItem;
class TBDLWebPageItem;
}  // namespace qv::tbdl

namespace qv {

class TBWToolBarCtrl;

// The band object and its browser, as far as the toolbar window uses them.
class ToolbarOwner {
 public:
  virtual ~ToolbarOwner() = default;
  // The rebar band's ideal width follows the visible width.
  virtual void SetBandIdealWidth(int /*width*/) {}
  // IInputObjectSite::OnFocusChangeIS; nothing without an input-object site.
  virtual void OnFocusChange(bool /*gotFocus*/) {}
  // The browser's status bar text.
  virtual void SetStatusText(const std::string& /*text*/) {}
  // Sends the browser window that hosts the toolbar to url (Navigate2 with
  // the URL only).
  virtual void NavigateBrowser(const std::string& /*url*/) {}
};

// The automatic update's rule, run before the definition is loaded, and the
// definition to fall back on when a fetched one does not load. The default
// does nothing: toolbars of tests and of the tool fetch nothing unless
// they ask to.
class ToolbarUpdater {
 public:
  virtual ~ToolbarUpdater() = default;
  virtual void ApplyUpdateRule() {}
  // The definition at path has just loaded.
  virtual void DefinitionLoaded(const std::string& /*path*/) {}
  // The definition to load instead of one at path that failed to load;
  // false when there is none.
  virtual bool FallbackDefinition(const std::string& /*path*/, std::string* /*fallback*/) {
    return false;
  }
};

// The product's: the period rule of the settings store, and the copy of
// the definition that loaded last as the fallback.
class AutomaticUpdater : public ToolbarUpdater {
 public:
  void ApplyUpdateRule() override;
  void DefinitionLoaded(const std::string& path) override;
  bool FallbackDefinition(const std::string& path, std::string* fallback) override;
};

// The periodic desktop alert check.
class AlertCheck {
 public:
  virtual ~AlertCheck() = default;
  virtual void RunAlertCheck(TBWToolBarCtrl& /*toolbar*/) {}
};

// What the POPUP indicator and the whitelist menu entry show. The default
// reads the blocker's stored switch and counter and knows no whitelist.
class PopupBlockerView {
 public:
  virtual ~PopupBlockerView() = default;
  // The current page's site passes the whitelist check.
  virtual bool IsCurrentSiteWhitelisted() { return false; }
  virtual bool IsBlockerEnabled();
  virtual uint32_t TotalBlockedPopups();
};

// The search side of the input controls and the highlight button.
class SearchActions {
 public:
  virtual ~SearchActions() = default;
  // Fills a newly made input control: its history or choices, its text.
  virtual void FillInputControl(TBWToolBarCtrl& toolbar, tbdl::TBDLComboItem& item);
  // The search started from an input item (Enter, list choice, drop).
  virtual void RunComboSearch(TBWToolBarCtrl& toolbar, tbdl::TBDLComboItem& item);
  // The highlight button's state follows the input values.
  virtual void UpdateHighlightButton(TBWToolBarCtrl& toolbar);
  // Reflected combo-box notifications: CBN_EDITUPDATE (autocompletion)
  // and CBN_SELENDOK (a list choice).
  virtual void OnEditUpdate(TBWToolBarCtrl& toolbar, tbdl::TBDLComboItem& item);
  virtual void OnSelEndOk(TBWToolBarCtrl& toolbar, tbdl::TBDLComboItem& item);
};

// The address a web-page item shows: its template expanded, or the page a
// GOTOURL command sent it to. lastDomain is the item's own memory of the
// domain it used. False: the item keeps its current page.
class PageAddresses {
 public:
  virtual ~PageAddresses() = default;
  virtual bool PageAddress(TBWToolBarCtrl& toolbar, const tbdl::TBDLWebPageItem& item,
                           std::string* lastDomain, std::string* url);
};

// The set the toolbar window uses; every member is always set.
struct ToolbarHooks {
  ToolbarOwner* owner;
  ToolbarUpdater* updater;
  AlertCheck* alerts;
  PopupBlockerView* popup;
  SearchActions* search;
  PageAddresses* pages;

  // Every member at its default.
  static ToolbarHooks Defaults();
};

}  // namespace qv
