// The options sheet: one modal sheet in the whole system, with the pages
// the definition enables, working on copies that are stored only when the
// user confirms with OK. The rules live here; the windows are the UI's
// (options/win32 on Windows).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "options/items_page.h"
#include "options/pop3_page.h"
#include "options/popup_page.h"

namespace qv {
class BlockerState;
}  // namespace qv
namespace qv::tbdl {
class TBDLToolbar;
}  // namespace qv::tbdl

namespace qv::options {

enum OptionsPageIndex { kItemsPage = 0, kPopupPage = 1, kPop3Page = 2 };

inline constexpr char kOptionsBusyText[] =
    "Another toolbar instance has already invoked options dialog";
inline constexpr char kOptionsCaption[] = "quorvane";
inline constexpr char kSheetTitle[] = "Toolbar options";
// How long the sheet waits for the shared data when it opens and when it
// stores.
inline constexpr uint32_t kOpenWaitMs = 5000;
inline constexpr uint32_t kStoreWaitMs = 10000;

// "quorvane" followed directly by " is performing operations please try again".
std::string SharedDataBusyText();
// Told when OK could not store the changes.
std::string NotStoredText();

// What one run of the sheet works on.
struct OptionsSheet {
  ItemsPage* items = nullptr;
  PopupPage* popup = nullptr;
  Pop3Page* pop3 = nullptr;
  BlockerState* blocker = nullptr;
  std::vector<OptionsPageIndex> pages;  // the pages shown, in order
  int startPage = 0;                    // a position in pages
};

// The sheet's windows: shows the pages modally and answers whether the
// user ended with OK.
class OptionsUi {
 public:
  virtual ~OptionsUi() = default;
  virtual bool RunSheet(OptionsSheet& sheet) = 0;
};

struct OptionsContext {
  const tbdl::TBDLToolbar* model = nullptr;
  BlockerState* blocker = nullptr;  // null: no pop-up blocker page
  OptionsUi* ui = nullptr;
  std::string optionsMutexName;
  std::string sharedDataMutexName;
  // After a stored OK: every toolbar item updates itself.
  std::function<void()> updateItems;
  // When the sheet is gone: the page's default status text emptied.
  std::function<void()> clearStatusText;
};

enum class OptionsResult {
  kOpenElsewhere,   // another sheet is open: told so
  kSharedDataBusy,  // told so
  kNoMutex,         // a named mutex could not be made
  kPageNotOffered,  // the page asked for is not enabled: nothing shown
  kCancelled,
  kStored,
  kNotStored,  // OK, but the shared data stayed busy: told so
};

// The pages the definition enables, in sheet order.
std::vector<OptionsPageIndex> EnabledPages(const tbdl::TBDLToolbar& model, bool blocker);

OptionsResult ShowOptions(const OptionsContext& context, int page);

}  // namespace qv::options
