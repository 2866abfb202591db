#pragma once
#include <functional>
#include <map>
#include <vector>

#include "common/event_pump.h"

namespace tavrolin::testing {

// A pump on a fake clock: Idle advances the clock, DoEvents runs scripted events. Scripted
// events run at the first DoEvents at or after their time, in the order given.
class FakePump : public EventPump {
 public:
  void DoEvents() override {
    ++doEventsCalls;
    while (!events_.empty() && events_.begin()->first <= now) {
      auto event = std::move(events_.begin()->second);
      events_.erase(events_.begin());
      event();
    }
    if (onDoEvents) onDoEvents();
  }
  void Idle(double maxSeconds) override {
    ++idleCalls;
    // A real wait blocks at least a millisecond; so does this one, or a tiny remainder would
    // vanish in the clock's rounding and the wait would never end.
    now += maxSeconds > 0.001 ? maxSeconds : 0.001;
  }
  double Now() override { return now; }
  bool QuitSeen() override { return quit; }

  // Runs `event` at the first DoEvents at or after `at` seconds.
  void At(double at, std::function<void()> event) { events_.emplace(at, std::move(event)); }

  double now = 0;
  int doEventsCalls = 0;
  int idleCalls = 0;
  bool quit = false;  // as if the window had been closed
  std::function<void()> onDoEvents;

 private:
  std::multimap<double, std::function<void()>> events_;
};

}  // namespace tavrolin::testing
