#include "host/standard_features.h"

#include <memory>

#include "host/alert_check_feature.h"
#include "host/mail_feature.h"
#include "host/popup_indicator_feature.h"
#include "host/toolbar_ctrl.h"

namespace qv {

void AttachStandardFeatures(TBWToolBarCtrl& toolbar) {
  toolbar.AttachFeature(std::make_unique<MailFeature>(toolbar));
  toolbar.AttachFeature(std::make_unique<PopupIndicatorFeature>(toolbar));
  toolbar.AttachFeature(std::make_unique<AlertCheckFeature>(toolbar));
}

}  // namespace qv
