// The clock service: the one door to the system's time of day, so that what
// the program stamps with the time (the catalog dates of a table it
// creates) can be checked against a clock of a test's own.
#pragma once

namespace act {

// A moment as the local calendar and the user's clock show it.
struct LocalTime {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;    // 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // The time now in the local time zone, daylight saving time applied.
  virtual LocalTime Now() const = 0;
};

// The clock of this build's system: win32 on Windows, posix elsewhere. It
// lives as long as the program.
const Clock& SystemClock();

}  // namespace act
