#pragma once
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "common/event_pump.h"

namespace tavrolin::win {

// How long a rejected call is retried and how long one call may take, in seconds.
struct CallBounds {
  double busyRetrySeconds = 60;
  double callSeconds = 120;
};

// When the attempt in hand began on a call thread; read by the waiting UI thread.
class AttemptClock {
 public:
  void Start() { startedMs_ = NowMs(); }
  void Stop() { startedMs_ = 0; }
  bool Overdue(double seconds) const {
    const std::int64_t started = startedMs_;
    return started != 0 && static_cast<double>(NowMs() - started) >= seconds * 1000;
  }
  static std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
               .count() + 1;
  }

 private:
  std::atomic<std::int64_t> startedMs_{0};
};

struct CallThread;

// Makes the automation calls on a thread of COM's multithreaded apartment while the UI thread
// waits for them processing its window events, so a Word that hangs cannot freeze the window:
// a call whose attempt has not returned after `callSeconds` is abandoned with an error, and the
// calls after it go to a fresh thread. (An apartment-threaded caller cannot do this: its wait
// inside COM is not left before the answer comes.) Objects of the multithreaded apartment may
// be used from any of its threads, so nothing is lost when the thread changes.
class CallRunner : public std::enable_shared_from_this<CallRunner> {
 public:
  static std::shared_ptr<CallRunner> Create(EventPump& pump, CallBounds bounds);
  ~CallRunner();
  CallRunner(const CallRunner&) = delete;
  CallRunner& operator=(const CallRunner&) = delete;

  const CallBounds& bounds() const { return bounds_; }

  // Runs `task` on the call thread and waits for it, processing window events meanwhile.
  // What the task throws is rethrown here. The task may outlive the wait (when it is
  // abandoned), so it must own everything it touches.
  template <typename R>
  R Run(const std::wstring& member, std::function<R(AttemptClock&)> task) {
    auto result = std::make_shared<R>();
    RunErased(member, [result, task = std::move(task)](AttemptClock& clock) { *result = task(clock); });
    return std::move(*result);
  }

  // Releases a reference on the call thread, later; never waits.
  void Release(IUnknown* object);

 private:
  CallRunner(EventPump& pump, CallBounds bounds);
  void RunErased(const std::wstring& member, std::function<void(AttemptClock&)> task);
  std::shared_ptr<CallThread> Current();

  EventPump& pump_;
  CallBounds bounds_;
  // References may be let go of on a call thread too (by the last task that held them).
  std::mutex threadMutex_;
  std::shared_ptr<CallThread> thread_;
};

}  // namespace tavrolin::win
