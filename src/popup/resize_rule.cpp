#include "popup/resize_rule.h"

namespace qv {

void ResizeTracker::OnMessage(uint32_t message, uintptr_t wParam) {
  switch (message) {
    case kWmCaptureChanged:
      captureChanged = true;
      break;
    case kWmEnterSizeMove:
      userSizing = true;
      break;
    case kWmExitSizeMove:
      userSizing = false;
      captureChanged = false;
      break;
    case kWmSysCommand: {
      // The low four bits belong to the system: a double click on the
      // caption maximizes with SC_MAXIMIZE | 2.
      const uintptr_t command = wParam & 0xFFF0;
      if (command == kScMinimize || command == kScMaximize || command == kScRestore)
        systemSizing = true;
      break;
    }
    case kWmWindowPosChanged:
      windowPlaced = true;
      systemSizing = false;
      captureChanged = false;
      break;
    default:
      break;
  }
}

bool ResizeTracker::ScriptChange(uint32_t positionFlags) const {
  return windowPlaced && !systemSizing && !captureChanged && !userSizing &&
         (positionFlags & kSwpFrameChanged) == 0;
}

}  // namespace qv
