#include "host/toolbar_command_host.h"

#include "host/mail_feature.h"
#include "host/popup_indicator_feature.h"
#include "host/toolbar_ctrl.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/toolbar.h"

namespace qv {

ToolbarButtons* ToolbarCommandHost::GetButtons() {
  return &toolbar_.Control();
}

tbdl::TBDLToolbar* ToolbarCommandHost::Model() {
  return toolbar_.Model();
}

commands::InputField* ToolbarCommandHost::AddField(const tbdl::TBDLComboItem& item,
                                                   WindowId window) {
  fields_.push_back(commands::MakeInputField(item, &toolbar_.Control(), window));
  fieldItems_.push_back(item.Index());
  return &fields_.back();
}

commands::InputField* ToolbarCommandHost::FieldOf(int itemIndex) {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (fieldItems_[i] == itemIndex) return &fields_[i];
  }
  return nullptr;
}

void ToolbarCommandHost::RefreshWebPageItems(const std::string& name) {
  tbdl::TBDLToolbar* model = Model();
  if (!model) return;
  for (size_t i = 0; i < model->Items().size(); ++i) {
    tbdl::TBDLItem* item = model->Item(static_cast<int32_t>(i));
    if (!item || item->GetKind() != tbdl::kItemWebButton || item->GetName() != name) continue;
    toolbar_.SetupItem(*item);
    toolbar_.UpdateItem(*item);
  }
}

void ToolbarCommandHost::RefreshPopupIndicator() {
  if (auto* popup = toolbar_.FindFeature<PopupIndicatorFeature>()) popup->Refresh();
}

void ToolbarCommandHost::OpenOptionsPage(int page) {
  services_->OpenOptionsPage(page);
  toolbar_.StartPeriodicTimers();
}

void ToolbarCommandHost::CheckMailNow() {
  if (auto* mail = toolbar_.FindFeature<MailFeature>()) mail->CheckMailNow();
}

void ToolbarCommandHost::RebuildToolbar() {
  toolbar_.BuildToolbar(true);
}

}  // namespace qv
