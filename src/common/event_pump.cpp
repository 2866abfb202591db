#include "common/event_pump.h"

#include <algorithm>

namespace tavrolin {

void WaitSeconds(EventPump& pump, double seconds, const std::function<bool()>& cutShort) {
  if (!(seconds > 0)) return;
  WaitUntil(pump, [&] { return cutShort && cutShort(); }, seconds);
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
