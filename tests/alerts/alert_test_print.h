// Readable failure messages for alert parameters.
#pragma once

#include <ostream>

#include "alerts/alert_animation.h"

namespace qv::alerts {

inline void PrintTo(const AlertParameters& p, std::ostream* os) {
  *os << "{" << p.width << "x" << p.height << " url=\"" << p.url << "\" show=" << p.showTime
      << " hide=" << p.hideTime << " auto=" << p.hideAutomatically << " wait=" << p.waitTime << "}";
}

inline void PrintTo(const AlertRect& r, std::ostream* os) {
  *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

}  // namespace qv::alerts
