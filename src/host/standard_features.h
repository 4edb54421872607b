// The features every toolbar of the product carries, in the order they
// hear of events: the mail checker, the POPUP indicator and the desktop
// alert check.
#pragma once

namespace qv {

class TBWToolBarCtrl;

void AttachStandardFeatures(TBWToolBarCtrl& toolbar);

}  // namespace qv
