// The alert window's movement as arithmetic: where the window goes when it
// starts showing and at each tick of its slide-in, wait and slide-out
// timers, from the parameters, the work area and the milliseconds elapsed.
// The Windows side only reads the clock and moves the window; the
// definition tool runs the same steps on an ideal clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "alerts/alert_script.h"
#include "platform/toolbar_surface.h"

namespace qv::alerts {

inline constexpr unsigned kSlideInTimerId = 100;
inline constexpr unsigned kWaitTimerId = 101;
inline constexpr unsigned kSlideOutTimerId = 102;
inline constexpr unsigned kAlertTickMs = 100;

// The smallest side a window is given, so that a zero or negative size
// from a script still shows something (within the work area).
inline constexpr int kMinimumAlertSide = 32;

// The window's rectangle in screen pixels: the platform's one rectangle.
using AlertRect = qv::Rect;

enum class AlertPhase {
  kNone,        // not showing yet
  kSlidingIn,   // timer 100
  kWaiting,     // timer 101, before sliding out by itself
  kShown,       // fully up until it is closed
  kSlidingOut,  // timer 102
  kFinished,    // the window is to be destroyed
};
const char* PhaseName(AlertPhase phase);

// The window's size kept inside the work area below its corner (right - 1,
// bottom - 1), and at least kMinimumAlertSide where the area allows.
void FitAlertSize(const AlertRect& workArea, int* width, int* height);

// What one tick asks of the window.
struct AlertStep {
  bool move = false;  // move the top edge to top; the bottom edge stays
  int top = 0;
  unsigned killTimer = 0;   // 0: none
  unsigned startTimer = 0;  // 0: none; else every kAlertTickMs
  bool destroy = false;     // the cycle is over
};

class AlertAnimation {
 public:
  // Starts a showing at nowMs: the window's first rectangle (its full
  // width, no height, on the work area's bottom edge at the right) and
  // timer 100 to start.
  AlertRect Start(const AlertParameters& params, const AlertRect& workArea, int64_t nowMs);
  // One tick of timer id at nowMs for the window now at `window`. A tick of
  // a timer the current phase does not run asks for nothing.
  AlertStep OnTimer(unsigned id, int64_t nowMs, const AlertRect& window);

  AlertPhase Phase() const { return phase_; }
  int TargetHeight() const { return targetHeight_; }

 private:
  int64_t Elapsed(int64_t nowMs) const;
  void Begin(AlertPhase phase, int durationMs, int64_t nowMs);

  AlertPhase phase_ = AlertPhase::kNone;
  int64_t phaseStart_ = 0;
  int phaseDuration_ = 0;
  int targetHeight_ = 0;
  bool hideAutomatically_ = false;
  int waitTime_ = 0;
  int hideTime_ = 0;
};

// One position of the window in a simulated cycle.
struct AlertFrame {
  int64_t ms = 0;                        // since the showing started
  unsigned timer = 0;                    // the tick that placed it; 0 for the start
  AlertPhase phase = AlertPhase::kNone;  // after the tick
  AlertRect rect;
};

// The whole cycle on an ideal clock: the start, then every tick of the
// running timer, each kAlertTickMs after the one before, until the window
// is destroyed or stays up. At most maxFrames frames; *truncated tells
// whether the cycle went on beyond them.
std::vector<AlertFrame> SimulateAlertCycle(const AlertParameters& params, const AlertRect& workArea,
                                           size_t maxFrames, bool* truncated);

}  // namespace qv::alerts
