// The alert script reader and the window's movement on any bytes: never a
// crash or a hang; a text is a script only when it begins with the magic;
// a page is shown only for an http or https address; and the window of any
// script stays inside the work area at every tick of its cycle, with its
// bottom edge fixed and its height never above the full one.
//
// Input: the script text. Its first two bytes also choose a work area.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "alerts/alert_animation.h"
#include "alerts/alert_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qv::alerts;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  AlertParameters params{240, 120, "", 500, 500, true, 5000};
  const bool script = ApplyAlertScript(text, &params);
  if (script != (text.substr(0, kAlertScriptMagic.size()) == kAlertScriptMagic)) std::abort();
  if (!script && params != (AlertParameters{240, 120, "", 500, 500, true, 5000})) std::abort();
  if (IsShowableAlertUrl(params.url)) {
    std::string scheme = params.url.substr(0, 8);
    for (char& c : scheme) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (scheme.rfind("http://", 0) != 0 && scheme.rfind("https://", 0) != 0) std::abort();
  }

  const int w = size > 0 ? data[0] * 8 : 1024;
  const int h = size > 1 ? data[1] * 4 : 738;
  const AlertRect work{-20, 10, -20 + w, 10 + h};
  // Long waits are cut: the check is on the rectangles, not the length.
  bool truncated = false;
  const auto frames = SimulateAlertCycle(params, work, 400, &truncated);
  if (frames.empty()) std::abort();
  const int bottom = frames[0].rect.bottom;
  int full = -1;
  for (const AlertFrame& f : frames) {
    if (f.phase == AlertPhase::kFinished) break;
    const AlertRect& r = f.rect;
    if (w > 1 && h > 1 &&
        (r.left < work.left || r.right > work.right || r.top < work.top || r.bottom > work.bottom ||
         r.Width() <= 0))
      std::abort();
    if (r.bottom != bottom || r.Height() < 0) std::abort();
    if (f.timer == kSlideInTimerId && f.phase != AlertPhase::kSlidingIn) full = r.Height();
    if (full >= 0 && r.Height() > full) std::abort();
  }
  return 0;
}
