#include "common/event_pump.h"

#include <algorithm>

namespace tavrolin {

void WaitSeconds(EventPump& pump, double seconds) {
  if (!(seconds > 0)) return;
  const double start = pump.Now();
  for (;;) {
    const double elapsed = pump.Now() - start;
    if (elapsed >= seconds) return;
    pump.DoEvents();
    const double left = seconds - (pump.Now() - start);
    if (left > 0) pump.Idle(std::min(kPollSeconds, left));
  }
}

bool WaitUntil(EventPump& pump, const std::function<bool()>& done, double timeoutSeconds) {
  const double start = pump.Now();
  for (;;) {
    if (done()) return true;
    const double elapsed = pump.Now() - start;
    if (elapsed >= timeoutSeconds) return false;
    pump.DoEvents();
    if (done()) return true;
    pump.Idle(std::min(kPollSeconds, timeoutSeconds - elapsed));
  }
}

}  // namespace tavrolin
