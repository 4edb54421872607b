// What the commands need of the toolbar they run in: its browser, its
// control, its input items and the parts of the model they reach. The
// toolbar window implements it; tests and the tool implement it too.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "commands/input_field.h"
#include "commands/toolbar_services.h"

namespace qv {
class Browser;
class Document;
class ToolbarButtons;
}  // namespace qv

namespace qv::commands {

class CommandHost {
 public:
  virtual ~CommandHost() = default;

  // The browser window that hosts the toolbar; null when there is none.
  virtual Browser* GetBrowser() = 0;
  // The toolbar's buttons (the highlight button's state); null without a
  // toolbar.
  virtual ToolbarButtons* GetButtons() = 0;
  // The input items in toolbar order.
  virtual std::vector<InputField>& InputFields() = 0;

  // The model: items in toolbar order are known by their index (their
  // button is 1024 + index).
  virtual int ItemCount() = 0;
  // The `command` property of item index (empty when it has none).
  virtual std::string ItemCommandName(int index) = 0;

  // Commands of the model, by name (exact, case-sensitive; the first one).
  virtual bool HasCommand(const std::string& name) = 0;
  virtual bool IsSearchCommand(const std::string& name) = 0;
  // Execute (or, when pressed, Reset) of the first command of that name.
  virtual void RunCommand(const std::string& name, bool pressed) = 0;

  // Web-page items named name: set up again and laid out again.
  virtual void RefreshWebPageItems(const std::string& name) = 0;
  // The first indicator item of type "POPUP" updates itself.
  virtual void RefreshPopupIndicator() = 0;

  // The other subsystems' side of the service commands.
  virtual ToolbarServices& Services() = 0;

  // The encoded address of the current page as the toolbar's last expansion
  // read it; kept while a later one finds no document. Each toolbar has its
  // own: one browser window's page must not stand in for another's.
  std::string& CurrentPageAddress() { return pageAddress_; }

 private:
  std::string pageAddress_;
};

// The current document: the hosting browser's top-level HTML document, or
// null.
std::shared_ptr<Document> CurrentDocument(CommandHost& host);

}  // namespace qv::commands
