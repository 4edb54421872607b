#include "alerts/alert_animation.h"

#include <gtest/gtest.h>

#include "alerts/alert_test_print.h"

#include <climits>
#include <vector>

namespace qv::alerts {
namespace {

// A 1024 x 768 screen with a 40-pixel taskbar below the work area.
constexpr AlertRect kWork{0, 0, 1024, 728};

AlertParameters Params(int width, int height, int show, int hide, bool autoHide, int wait) {
  return AlertParameters{width, height, "http://a.example/", show, hide, autoHide, wait};
}

std::vector<AlertFrame> Cycle(const AlertParameters& p, const AlertRect& work = kWork) {
  bool truncated = true;
  std::vector<AlertFrame> frames = SimulateAlertCycle(p, work, 1000, &truncated);
  EXPECT_FALSE(truncated);
  return frames;
}

std::vector<int> Heights(const std::vector<AlertFrame>& frames) {
  std::vector<int> heights;
  for (const AlertFrame& f : frames) heights.push_back(f.rect.Height());
  return heights;
}

TEST(AlertAnimation, GrowsToItsHeightInHalfASecond) {
  const std::vector<AlertFrame> frames = Cycle(Params(300, 200, 500, 0, false, 0));
  // Bottom right, hanging from the corner pixel (1023, 727), full width at once.
  ASSERT_EQ(frames.size(), 6u);
  EXPECT_EQ(frames[0].rect, (AlertRect{723, 727, 1023, 727}));
  EXPECT_EQ(Heights(frames), (std::vector<int>{0, 40, 80, 120, 160, 200}));
  for (const AlertFrame& f : frames) {
    EXPECT_EQ(f.rect.left, 723);
    EXPECT_EQ(f.rect.right, 1023);
    EXPECT_EQ(f.rect.bottom, 727);  // only the top moves
  }
  EXPECT_EQ(frames.back().ms, 500);
  EXPECT_EQ(frames.back().phase, AlertPhase::kShown);  // stays up until closed
}

TEST(AlertAnimation, HidesAfterTheWaitTimeThenSlidesOut) {
  // Hide mode on and no AutoHideDelay: the definition's wait time rules.
  const std::vector<AlertFrame> frames = Cycle(Params(300, 200, 0, 200, true, 300));
  std::vector<unsigned> timers;
  for (const AlertFrame& f : frames) timers.push_back(f.timer);
  // Slide-in of 0 ends at its first tick; the wait ends when strictly
  // more than 300 ms passed; the slide-out halves, then the window goes.
  EXPECT_EQ(timers, (std::vector<unsigned>{0, 100, 101, 101, 101, 101, 102, 102}));
  EXPECT_EQ(Heights(frames), (std::vector<int>{0, 200, 200, 200, 200, 200, 100, 0}));
  EXPECT_EQ(frames[5].phase, AlertPhase::kSlidingOut);
  EXPECT_EQ(frames[5].ms, 500);
  EXPECT_EQ(frames.back().phase, AlertPhase::kFinished);
  EXPECT_EQ(frames.back().rect, AlertRect{});
}

TEST(AlertAnimation, ZeroAndNegativeDurationsEndAtTheFirstTick) {
  for (int d : {0, -1, INT_MIN}) {
    const std::vector<AlertFrame> frames = Cycle(Params(100, 50, d, d, true, d));
    ASSERT_EQ(frames.size(), 4u) << d;
    EXPECT_EQ(Heights(frames), (std::vector<int>{0, 50, 50, 0})) << d;
  }
}

TEST(AlertAnimation, SizesStayWithinTheWorkArea) {
  const struct {
    int width, height;
    AlertRect work;
    AlertRect full;
  } cases[] = {
      {300, 200, kWork, {723, 527, 1023, 727}},
      {0, 0, kWork, {991, 695, 1023, 727}},  // the smallest side
      {-500, -1, kWork, {991, 695, 1023, 727}},
      {INT_MAX, INT_MAX, kWork, {0, 0, 1023, 727}},            // the whole area, no more
      {5000, 100, {100, 50, 900, 650}, {100, 549, 899, 649}},  // an area off the origin
      {300, 200, {0, 0, 20, 10}, {0, 0, 19, 9}},               // a tiny area
      {300, 200, {0, 0, 0, 0}, {-1, -1, -1, -1}},              // no area at all
  };
  for (const auto& c : cases) {
    const std::vector<AlertFrame> frames = Cycle(Params(c.width, c.height, 0, 0, false, 0), c.work);
    EXPECT_EQ(frames.back().rect, c.full) << c.width << "x" << c.height;
  }
}

TEST(AlertAnimation, ClockOddities) {
  AlertAnimation a;
  AlertRect r = a.Start(Params(100, 100, 1000, 1000, true, 0), kWork, 50000);
  // A clock set back shows nothing yet rather than a negative height.
  AlertStep s = a.OnTimer(kSlideInTimerId, 40000, r);
  EXPECT_TRUE(s.move);
  EXPECT_EQ(s.top, r.bottom);
  // A tick of a timer this phase does not run asks for nothing.
  s = a.OnTimer(kSlideOutTimerId, 50500, r);
  EXPECT_FALSE(s.move || s.destroy || s.killTimer || s.startTimer);
  EXPECT_EQ(a.Phase(), AlertPhase::kSlidingIn);
  // A long phase on a tall window does not overflow.
  AlertAnimation b;
  r = b.Start(Params(100, 700, INT_MAX, 0, false, 0), kWork, 0);
  s = b.OnTimer(kSlideInTimerId, INT_MAX - 1, r);
  EXPECT_EQ(r.bottom - s.top, 699);
}

TEST(AlertAnimation, CycleIsCutAtMaxFrames) {
  bool truncated = false;
  const auto frames =
      SimulateAlertCycle(Params(100, 100, 0, 0, true, 3600000), kWork, 50, &truncated);
  EXPECT_TRUE(truncated);
  EXPECT_EQ(frames.size(), 50u);
}

}  // namespace
}  // namespace qv::alerts
