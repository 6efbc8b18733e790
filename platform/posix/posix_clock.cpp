#include <time.h>

#include "platform/clock.h"

namespace act {
namespace {

class PosixClock : public Clock {
 public:
  LocalTime Now() const override {
    const time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
  }
};

}  // namespace

const Clock& SystemClock() {
  static const PosixClock clock;
  return clock;
}

}  // namespace act
