#pragma once
#include <mutex>

namespace tavrolin {

// How long the program's own boxes (a message, the open dialog, the folder picker, the input
// box) held the UI thread. A run's waits do not count that time: nothing of the run could look
// while a box held its stack, so a call or a dialog in hand is not taken as hung for it.
class BoxTime {
 public:
  // A box opened or closed at `now` on a monotonic clock; boxes may nest.
  void Opened(double now);
  void Closed(double now);
  // Seconds boxes held so far, one open at `now` included.
  double Held(double now) const;

 private:
  mutable std::mutex mutex_;  // the call threads read it too
  int depth_ = 0;
  double openedAt_ = 0;
  double held_ = 0;
};

// The process's one account, kept by every box the program shows.
BoxTime& OwnBoxTime();

// A monotonic time less what the program's boxes held: the clock of every wait.
inline double RunSeconds(double monotonic) { return monotonic - OwnBoxTime().Held(monotonic); }

}  // namespace tavrolin
