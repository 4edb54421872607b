#include "host/options_services.h"

#include <memory>

#include "commands/command_host.h"
#include "host/toolbar_command_host.h"
#include "host/toolbar_ctrl.h"
#include "platform/document.h"

namespace qv {

void OptionsServices::OpenOptionsPage(int page) {
  options::OptionsContext context;
  context.model = toolbar_.Model();
  context.blocker = blocker_;
  context.ui = &ui_;
  context.optionsMutexName = optionsMutexName_;
  context.sharedDataMutexName = sharedDataMutexName_;
  context.updateItems = [this] { toolbar_.UpdateAllItems(); };
  context.clearStatusText = [this] {
    if (std::shared_ptr<Document> document = commands::CurrentDocument(toolbar_.CommandHost()))
      document->SetDefaultStatus("");
  };
  last_ = options::ShowOptions(context, page);
}

}  // namespace qv
