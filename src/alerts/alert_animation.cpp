#include "alerts/alert_animation.h"

#include <algorithm>

namespace qv::alerts {

const char* PhaseName(AlertPhase phase) {
  switch (phase) {
    case AlertPhase::kNone:
      return "none";
    case AlertPhase::kSlidingIn:
      return "sliding in";
    case AlertPhase::kWaiting:
      return "waiting";
    case AlertPhase::kShown:
      return "shown";
    case AlertPhase::kSlidingOut:
      return "sliding out";
    case AlertPhase::kFinished:
      return "finished";
  }
  return "";
}

void FitAlertSize(const AlertRect& workArea, int* width, int* height) {
  // The window hangs from the corner pixel (right - 1, bottom - 1).
  const int roomX = std::max(0, workArea.right - 1 - workArea.left);
  const int roomY = std::max(0, workArea.bottom - 1 - workArea.top);
  *width = std::clamp(*width, std::min(kMinimumAlertSide, roomX), roomX);
  *height = std::clamp(*height, std::min(kMinimumAlertSide, roomY), roomY);
}

AlertRect AlertAnimation::Start(const AlertParameters& params, const AlertRect& workArea,
                                int64_t nowMs) {
  int width = params.width;
  int height = params.height;
  FitAlertSize(workArea, &width, &height);
  const int cornerRight = workArea.right - 1;
  const int cornerBottom = workArea.bottom - 1;
  hideAutomatically_ = params.hideAutomatically;
  waitTime_ = params.waitTime;
  hideTime_ = params.hideTime;
  targetHeight_ = height;
  Begin(AlertPhase::kSlidingIn, params.showTime, nowMs);
  const int x = cornerRight - width;
  return AlertRect{x, cornerBottom, x + width, cornerBottom};
}

void AlertAnimation::Begin(AlertPhase phase, int durationMs, int64_t nowMs) {
  phase_ = phase;
  phaseStart_ = nowMs;
  phaseDuration_ = durationMs;
}

int64_t AlertAnimation::Elapsed(int64_t nowMs) const {
  // A clock set back counts as no time passed, never as negative time.
  return std::max<int64_t>(0, nowMs - phaseStart_);
}

AlertStep AlertAnimation::OnTimer(unsigned id, int64_t nowMs, const AlertRect& window) {
  AlertStep step;
  const int64_t elapsed = Elapsed(nowMs);
  // 64-bit products: a tall window times a long phase overflows an int.
  const int64_t target = targetHeight_;
  if (id == kSlideInTimerId && phase_ == AlertPhase::kSlidingIn) {
    step.move = true;
    if (elapsed >= phaseDuration_) {
      step.top = window.bottom - targetHeight_;
      step.killTimer = kSlideInTimerId;
      if (hideAutomatically_) {
        Begin(AlertPhase::kWaiting, waitTime_, nowMs);
        step.startTimer = kWaitTimerId;
      } else {
        Begin(AlertPhase::kShown, 0, nowMs);
      }
    } else {
      step.top = window.bottom - static_cast<int>(target * elapsed / phaseDuration_);
    }
  } else if (id == kWaitTimerId && phase_ == AlertPhase::kWaiting) {
    if (elapsed > phaseDuration_) {
      step.killTimer = kWaitTimerId;
      Begin(AlertPhase::kSlidingOut, hideTime_, nowMs);
      step.startTimer = kSlideOutTimerId;
    }
  } else if (id == kSlideOutTimerId && phase_ == AlertPhase::kSlidingOut) {
    if (elapsed >= phaseDuration_) {
      step.killTimer = kSlideOutTimerId;
      step.destroy = true;
      phase_ = AlertPhase::kFinished;
    } else {
      step.move = true;
      step.top =
          window.bottom - static_cast<int>((phaseDuration_ - elapsed) * target / phaseDuration_);
    }
  }
  return step;
}

std::vector<AlertFrame> SimulateAlertCycle(const AlertParameters& params, const AlertRect& workArea,
                                           size_t maxFrames, bool* truncated) {
  std::vector<AlertFrame> frames;
  AlertAnimation animation;
  int64_t now = 0;
  AlertRect rect = animation.Start(params, workArea, now);
  frames.push_back(AlertFrame{now, 0, animation.Phase(), rect});
  unsigned timer = kSlideInTimerId;
  *truncated = false;
  while (timer != 0) {
    if (frames.size() >= maxFrames) {
      *truncated = true;
      break;
    }
    now += kAlertTickMs;
    const unsigned ticked = timer;
    const AlertStep step = animation.OnTimer(ticked, now, rect);
    if (step.move) rect.top = step.top;
    if (step.killTimer == timer) timer = 0;
    if (step.startTimer) timer = step.startTimer;
    if (step.destroy) rect = AlertRect{};
    frames.push_back(AlertFrame{now, ticked, animation.Phase(), rect});
  }
  return frames;
}

}  // namespace qv::alerts
