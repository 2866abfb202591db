#pragma once
#include <functional>

namespace tavrolin {

// The one UI thread's view of time and of its window events. Every long wait goes through it so
// that the window stays responsive and a test can run scripted events in the middle of a wait.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Processes the window events that are pending, then returns; never blocks.
  virtual void DoEvents() = 0;
  // Blocks until a window event arrives, the pump's Waker is called or `maxSeconds` pass,
  // whichever comes first.
  virtual void Idle(double maxSeconds) = 0;
  // What ends the Idle in progress, or the next one, at once: callable from any thread, also
  // after the pump is gone. A worker whose result the UI thread waits for calls it, so that the
  // wait does not last until its next poll. None by default: the poll then notices.
  virtual std::function<void()> Waker() { return {}; }
  // Seconds on a monotonic clock.
  virtual double Now() = 0;
  // Whether the program was told to end (its window closed) while events were processed. From
  // then on every pumped wait returns by the way a stop takes, and nothing more is shown.
  virtual bool QuitSeen() { return false; }
};

// The one stop of a run: the user's Yes to stopping it, or the program told to end. Given once
// to everything that waits during the run; each wait observes it.
class RunStop {
 public:
  // Ordered: a quit outranks the user's stop, and ends also the steps that put things right.
  enum class Level { None, Asked, Quitting };
  explicit RunStop(EventPump& pump) : pump_(pump) {}
  RunStop(const RunStop&) = delete;
  RunStop& operator=(const RunStop&) = delete;

  void Ask() { asked_ = true; }
  // A new run: the user's stop of the last one is forgotten; a quit is not.
  void Clear() { asked_ = false; }
  Level level() const { return pump_.QuitSeen() ? Level::Quitting : asked_ ? Level::Asked : Level::None; }
  bool Requested() const { return level() != Level::None; }
  bool Quitting() const { return level() == Level::Quitting; }
  // For the waits that take a test.
  std::function<bool()> Test() const {
    return [this] { return Requested(); };
  }

 private:
  EventPump& pump_;
  bool asked_ = false;
};

// How long an idle poll blocks between two tests of its condition.
inline constexpr double kPollSeconds = 0.01;

// Waits `seconds` while processing window events; the fixed pauses of the export (the second
// after each PDF, the pause before typing into the printer's dialog). `cutShort`, when given, ends
// the wait early as soon as it gives true, so that a stop is not held up by a pause. 0 or less
// returns at once without processing any event. Measured on the monotonic clock, so a wait
// across midnight ends on time.
void WaitSeconds(EventPump& pump, double seconds, const std::function<bool()>& cutShort = {});

// Processes events until `done` gives true or `timeoutSeconds` pass. Returns whether `done` was
// met. `done` is tested first, so a condition that already holds processes no event.
bool WaitUntil(EventPump& pump, const std::function<bool()>& done, double timeoutSeconds);

}  // namespace tavrolin
