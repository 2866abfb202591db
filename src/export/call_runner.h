#pragma once
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "common/event_pump.h"

namespace tavrolin {

// How long a rejected call is retried and how long one attempt may take, in seconds.
struct CallBounds {
  double busyRetrySeconds = 60;
  double callSeconds = 120;
};

// A monotonic clock in seconds that any thread may read.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double Now() = 0;
};

// Starts the thread that makes the automation calls (on Windows, one of COM's multithreaded
// apartment). The thread runs `body` and ends when it returns.
class CallThreadStarter {
 public:
  virtual ~CallThreadStarter() = default;
  virtual void Start(std::function<void()> body) = 0;
};

// When the attempt in hand began on a call thread; read by the waiting UI thread.
class AttemptClock {
 public:
  explicit AttemptClock(std::shared_ptr<Clock> clock) : clock_(std::move(clock)) {}
  void Start() { started_ = clock_->Now(); }
  void Stop() { started_ = -1; }
  bool Overdue(double seconds) const {
    const double started = started_;
    return started >= 0 && clock_->Now() - started >= seconds;
  }
  double Now() const { return clock_->Now(); }
  // The caller gave up on this thread's call: what it would still start (a second try) is not.
  void GiveUp() { givenUp_ = true; }
  bool GivenUp() const { return givenUp_; }

 private:
  std::shared_ptr<Clock> clock_;
  std::atomic<double> started_{-1};
  std::atomic<bool> givenUp_{false};
};

// Repeats an attempt while the server refuses it as busy, for `bounds.busyRetrySeconds` in all,
// pausing `pauseSeconds` between tries. `attempt` gives true when it was refused as busy; each
// attempt is timed on `clock` for the call bound. Gives false when the server stayed busy.
bool RetryWhileBusy(const CallBounds& bounds, AttemptClock& clock, const std::function<bool()>& attempt,
                    const std::function<void(double)>& pause, double pauseSeconds = 0.25);

// Thrown by CallRunner::Run when the caller gave up on a call that had not returned.
class CallAbandoned : public std::exception {
 public:
  enum class Why { NoAnswer, Stopped };
  CallAbandoned(std::wstring member, Why why, double seconds)
      : member_(std::move(member)), why_(why), seconds_(seconds) {}
  const char* what() const noexcept override { return "call abandoned"; }
  const std::wstring& member() const { return member_; }
  Why why() const { return why_; }
  double seconds() const { return seconds_; }

 private:
  std::wstring member_;
  Why why_;
  double seconds_;
};

struct CallThread;

// Makes the automation calls on a call thread while the UI thread waits for them processing its
// window events, so a Word that hangs cannot freeze the window. A call is given up (CallAbandoned)
// when its attempt has not returned after `callSeconds`, or when the run's stop rises (the user's
// stop, then the program told to end); the calls after it go to a fresh thread. What a given-up call hands back
// later is dropped on its own thread. The runner never ends a process: the caller, who knows
// which Word the call went to, does.
class CallRunner : public std::enable_shared_from_this<CallRunner> {
 public:
  struct Ports {
    std::shared_ptr<CallThreadStarter> threads;
    std::shared_ptr<Clock> clock;
    EventPump* pump = nullptr;
    const RunStop* stop = nullptr;  // may be null
  };

  static std::shared_ptr<CallRunner> Create(Ports ports, CallBounds bounds);
  ~CallRunner();
  CallRunner(const CallRunner&) = delete;
  CallRunner& operator=(const CallRunner&) = delete;

  const CallBounds& bounds() const { return bounds_; }
  const std::shared_ptr<Clock>& clock() const { return ports_.clock; }

  // Runs `task` on the call thread and waits for it, processing window events meanwhile. What
  // the task throws is rethrown here. The task may outlive the wait, so it must own everything
  // it touches; its result, when nobody waits for it any more, is destroyed on the call thread.
  template <typename R>
  R Run(const std::wstring& member, const CallBounds& bounds, std::function<R(AttemptClock&)> task) {
    return RunAlongside<R>(member, bounds, std::move(task), nullptr);
  }
  // The same, running `meanwhile` on this thread while the call is under way. It is given a
  // test that turns true once the call has failed or is to be given up. The call's own failure
  // is thrown before anything `meanwhile` threw.
  using Meanwhile = std::function<void(const std::function<bool()>&)>;
  template <typename R>
  R RunAlongside(const std::wstring& member, const CallBounds& bounds, std::function<R(AttemptClock&)> task,
                 const Meanwhile& meanwhile) {
    auto slot = std::make_shared<std::optional<R>>();
    RunErased(
        member, bounds,
        [slot, task = std::move(task)](AttemptClock& clock, const std::function<bool(std::function<void()>)>& deliver) {
          R value = task(clock);
          deliver([&] { slot->emplace(std::move(value)); });
        },
        meanwhile);
    return std::move(**slot);
  }
  template <typename R>
  R Run(const std::wstring& member, std::function<R(AttemptClock&)> task) {
    return Run<R>(member, bounds_, std::move(task));
  }

  // Lets go of something on the call thread, later; never waits. Bounded like a call, since
  // letting go of a server that hangs may hang too.
  void Release(std::function<void()> release);

  // True while a call is being waited for.
  bool InCall() const;

 private:
  CallRunner(Ports ports, CallBounds bounds);
  using Work = std::function<void(AttemptClock&, const std::function<bool(std::function<void()>)>&)>;
  void RunErased(const std::wstring& member, const CallBounds& bounds, Work work, const Meanwhile& meanwhile);
  std::shared_ptr<CallThread> Current();
  void LeaveThread(const std::shared_ptr<CallThread>& thread);

  Ports ports_;
  CallBounds bounds_;
  int inCall_ = 0;
  // While `meanwhile` runs: whether its call has returned (it is then no longer in hand).
  std::function<bool()> callReturned_;
  // References may be let go of on a call thread too (by the last task that held them).
  std::mutex threadMutex_;
  std::shared_ptr<CallThread> thread_;
};

}  // namespace tavrolin
