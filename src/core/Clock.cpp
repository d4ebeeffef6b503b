#include "core/Clock.h"

namespace {

class CSteadyClock : public CClock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
};

}  // namespace

const CClock& SteadyClock() {
  static const CSteadyClock clock;
  return clock;
}
