#include "options/options_sheet.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "platform/services.h"
#include "platform/shared_memory.h"
#include "platform/user_messages.h"
#include "popup/blocker_state.h"
#include "tbdl/toolbar.h"

namespace qv::options {
namespace {

// A Windows mutex lets the thread that holds it in again, so the system
// mutex alone would let a second sheet open on the same thread.
std::atomic<bool> g_sheetOpen{false};

class SheetFlag {
 public:
  SheetFlag() : owns_(!g_sheetOpen.exchange(true)) {}
  ~SheetFlag() {
    if (owns_) g_sheetOpen = false;
  }
  bool owns() const { return owns_; }

 private:
  bool owns_;
};

void Tell(const std::string& text) {
  GetUserMessages().ShowMessage(text, kOptionsCaption, kMbOk);
}

}  // namespace

std::string SharedDataBusyText() {
  return std::string("quorvane") + " is performing operations please try again";
}

std::string NotStoredText() {
  return "The options were not saved: " + SharedDataBusyText();
}

std::vector<OptionsPageIndex> EnabledPages(const tbdl::TBDLToolbar& model, bool blocker) {
  std::vector<OptionsPageIndex> pages;
  if (model.GetProperty("ItemOptionsPageVisible", "0") == "1") pages.push_back(kItemsPage);
  if (blocker && model.GetProperty("PopupBlockerOptionsPageVisible", "0") == "1")
    pages.push_back(kPopupPage);
  if (model.GetProperty("POP3OptionsPageVisible", "0") == "1") pages.push_back(kPop3Page);
  return pages;
}

OptionsResult ShowOptions(const OptionsContext& context, int page) {
  if (!context.model || !context.ui) return OptionsResult::kPageNotOffered;
  std::unique_ptr<SharedMutex> optionsMutex = GetSharedMemory().OpenMutex(context.optionsMutexName);
  std::unique_ptr<SharedMutex> dataMutex = GetSharedMemory().OpenMutex(context.sharedDataMutexName);
  if (!optionsMutex || !dataMutex) return OptionsResult::kNoMutex;

  SheetFlag flag;
  if (!flag.owns()) {
    Tell(kOptionsBusyText);
    return OptionsResult::kOpenElsewhere;
  }
  SharedLock sheetLock(*optionsMutex, 0);
  if (!sheetLock.owns()) {
    Tell(kOptionsBusyText);
    return OptionsResult::kOpenElsewhere;
  }

  ItemsPage items(*context.model);
  PopupPage popup;
  Pop3Page pop3;
  OptionsSheet sheet;
  {
    SharedLock dataLock(*dataMutex, kOpenWaitMs);
    if (!dataLock.owns()) {
      Tell(SharedDataBusyText());
      return OptionsResult::kSharedDataBusy;
    }
    sheet.pages = EnabledPages(*context.model, context.blocker != nullptr);
    const auto wanted = std::find(sheet.pages.begin(), sheet.pages.end(), page);
    if (wanted == sheet.pages.end()) return OptionsResult::kPageNotOffered;
    sheet.startPage = static_cast<int>(wanted - sheet.pages.begin());
    items.Load();
    pop3.LoadAccounts();
    if (context.blocker) popup.Load(*context.blocker);
    sheet.items = &items;
    sheet.popup = context.blocker ? &popup : nullptr;
    sheet.pop3 = &pop3;
    sheet.blocker = context.blocker;
  }

  OptionsResult result = OptionsResult::kCancelled;
  if (context.ui->RunSheet(sheet)) {
    SharedLock dataLock(*dataMutex, kStoreWaitMs);
    if (dataLock.owns()) {
      if (context.blocker) popup.Store(*context.blocker);
      pop3.SaveAccounts();
      items.Store();
      if (context.updateItems) context.updateItems();
      result = OptionsResult::kStored;
    } else {
      result = OptionsResult::kNotStored;
    }
  }
  if (context.clearStatusText) context.clearStatusText();
  // Told once the sheet and its hold on the options are gone.
  if (result == OptionsResult::kNotStored) Tell(NotStoredText());
  return result;
}

}  // namespace qv::options
