// Test helper: a fixed time zone for the duration of a test, so that results
// that go through local time do not depend on the machine's zone.
#pragma once
#include <cstdlib>
#include <ctime>
#include <string>

class ScopedZone {
 public:
  // The default is five hours behind UTC without daylight saving, so that a
  // conversion between local time and UTC shows.
  explicit ScopedZone(const char* zone = "EST5") {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedZone() {
    if (had_) setenv("TZ", old_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  ScopedZone(const ScopedZone&) = delete;
  ScopedZone& operator=(const ScopedZone&) = delete;

 private:
  bool had_;
  std::string old_;
};
