// Resize blocking: the move/size state of a browser frame window, followed
// through its messages, and the rule that stops a script from moving or
// resizing the window while no move or size of the user's is under way.
// Message, command and flag numbers keep their Windows values.
#pragma once

#include <cstdint>

namespace qv {

inline constexpr uint32_t kWmWindowPosChanging = 0x0046;
inline constexpr uint32_t kWmWindowPosChanged = 0x0047;
inline constexpr uint32_t kWmSysCommand = 0x0112;
inline constexpr uint32_t kWmCaptureChanged = 0x0215;
inline constexpr uint32_t kWmEnterSizeMove = 0x0231;
inline constexpr uint32_t kWmExitSizeMove = 0x0232;
inline constexpr uintptr_t kScMinimize = 0xF020;
inline constexpr uintptr_t kScMaximize = 0xF030;
inline constexpr uintptr_t kScRestore = 0xF120;
inline constexpr uint32_t kSwpNoSize = 0x0001;
inline constexpr uint32_t kSwpNoMove = 0x0002;
inline constexpr uint32_t kSwpFrameChanged = 0x0020;

class ResizeTracker {
 public:
  void OnMessage(uint32_t message, uintptr_t wParam);
  // Conditions 3 to 5 of the rule: the window has been placed, nothing of
  // the user's is under way, and the frame is not being changed. The caller
  // adds the blocker's own (active, BlockResize, page not allowed).
  bool ScriptChange(uint32_t positionFlags) const;

  bool captureChanged = false;
  bool userSizing = false;
  bool systemSizing = false;
  bool windowPlaced = false;
};

}  // namespace qv
