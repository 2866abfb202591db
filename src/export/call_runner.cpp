#include "export/call_runner.h"

#include <condition_variable>
#include <deque>

#include "common/trace.h"

namespace tavrolin {

bool RetryWhileBusy(const CallBounds& bounds, AttemptClock& clock, const std::function<bool()>& attempt,
                    const std::function<void(double)>& pause, double pauseSeconds) {
  const double start = clock.Now();
  for (;;) {
    clock.Start();
    const bool busy = attempt();
    clock.Stop();
    if (!busy) return true;
    // Retries of a busy server never count against the call bound, only against their own.
    if (clock.Now() - start + pauseSeconds > bounds.busyRetrySeconds) return false;
    pause(pauseSeconds);
  }
}

// One call thread and its queue of work. The thread owns a share of it, so a thread that was
// left behind can still finish the call it is stuck in and then end.
struct CallThread {
  struct Item {
    std::function<void(AttemptClock&)> work;
    bool release = false;
  };

  explicit CallThread(std::shared_ptr<Clock> clock) : clock(std::move(clock)) {}

  void Push(Item item) {
    {
      std::lock_guard lock(mutex);
      queue.push_back(std::move(item));
    }
    wake.notify_one();
  }

  // No more work after what is queued. A thread left behind skips the calls still queued (their
  // callers have given up on them) and only lets go of references.
  void Finish(bool leave) {
    {
      std::lock_guard lock(mutex);
      quit = true;
      if (leave) left = true;
    }
    wake.notify_one();
  }

  bool Left() {
    std::lock_guard lock(mutex);
    return left;
  }

  void Loop() {
    for (;;) {
      Item item;
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return quit || !queue.empty(); });
        if (queue.empty()) break;
        item = std::move(queue.front());
        queue.pop_front();
        if (left && !item.release) continue;
      }
      item.work(clock);
      clock.Stop();
    }
  }

  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Item> queue;
  bool quit = false;
  bool left = false;
  AttemptClock clock;
};

namespace {

// What one call came to. Delivery and abandonment exclude each other: a result that comes after
// the caller gave up is not handed over, so it is destroyed where it was made.
class Outcome {
 public:
  bool Deliver(const std::function<void()>& store) {
    std::lock_guard lock(mutex_);
    if (abandoned_) return false;
    store();
    done_ = true;
    return true;
  }
  void Fail(std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    if (abandoned_) return;
    error_ = std::move(error);
    done_ = true;
  }
  // False when the outcome came first.
  bool Abandon() {
    std::lock_guard lock(mutex_);
    if (done_) return false;
    abandoned_ = true;
    return true;
  }
  bool Done() {
    std::lock_guard lock(mutex_);
    return done_;
  }
  std::exception_ptr Error() {
    std::lock_guard lock(mutex_);
    return error_;
  }

 private:
  std::mutex mutex_;
  bool done_ = false;
  bool abandoned_ = false;
  std::exception_ptr error_;
};

// The call as its thread runs it: the outcome delivered or its error kept, the caller woken.
template <typename Work, typename Wake>
std::function<void(AttemptClock&)> QueuedCall(std::shared_ptr<Outcome> outcome, Work work, std::wstring member,
                                              Wake wake) {
  return [outcome, work = std::move(work), member, wake](AttemptClock& clock) mutable {
    trace::Mark(L"call", member);
    try {
      work(clock, [&](const std::function<void()>& store) { return outcome->Deliver(store); });
    } catch (...) {
      outcome->Fail(std::current_exception());
    }
    trace::Mark(L"called", member);
    // What the task holds goes before its caller goes on.
    work = nullptr;
    // The caller waits pumping: it goes on now, not at its next poll.
    if (wake) wake();
  };
}

}  // namespace

std::shared_ptr<CallRunner> CallRunner::Create(Ports ports, CallBounds bounds) {
  return std::shared_ptr<CallRunner>(new CallRunner(std::move(ports), bounds));
}

CallRunner::CallRunner(Ports ports, CallBounds bounds) : ports_(std::move(ports)), bounds_(bounds) {}

CallRunner::~CallRunner() {
  std::lock_guard lock(threadMutex_);
  if (thread_) thread_->Finish(false);
}

std::shared_ptr<CallThread> CallRunner::Current() {
  std::lock_guard lock(threadMutex_);
  if (!thread_) {
    thread_ = std::make_shared<CallThread>(ports_.clock);
    ports_.threads->Start([thread = thread_] { thread->Loop(); });
  }
  return thread_;
}

void CallRunner::LeaveThread(const std::shared_ptr<CallThread>& thread) {
  thread->clock.GiveUp();
  thread->Finish(true);
  std::lock_guard lock(threadMutex_);
  if (thread_ == thread) thread_.reset();
}

bool CallRunner::InCall() const { return inCall_ > 0 && !(callReturned_ && callReturned_()); }

void CallRunner::RunErased(const std::wstring& member, const CallBounds& bounds, Work work,
                           const Meanwhile& meanwhile) {
  auto outcome = std::make_shared<Outcome>();
  auto thread = Current();
  thread->Push({QueuedCall(outcome, std::move(work), member, ports_.pump->Waker()), false});

  struct InCallScope {
    int& count;
    explicit InCallScope(int& c) : count(c) { ++count; }
    ~InCallScope() { --count; }
  } inCall{inCall_};
  const auto level = [&] { return ports_.stop ? ports_.stop->level() : RunStop::Level::None; };
  // A stop gives up the call it finds in hand; the calls that put things right after it are
  // made as usual, until the program is told to end.
  const RunStop::Level levelBefore = level();
  const auto stopNow = [&] { return level() > levelBefore; };
  std::exception_ptr meanwhileError;
  if (meanwhile) {
    callReturned_ = [outcome] { return outcome->Done(); };
    const auto callFailed = [&] {
      return (outcome->Done() && outcome->Error()) || thread->clock.Overdue(bounds.callSeconds);
    };
    try {
      meanwhile(callFailed);
    } catch (...) {
      meanwhileError = std::current_exception();
    }
    callReturned_ = nullptr;
    trace::Mark(L"awaiting-call", member);
  }
  // Busy retries never count against the call bound; this only catches a queue that never moves.
  const double backstop = bounds.busyRetrySeconds + 2 * bounds.callSeconds + 1;
  WaitUntil(
      *ports_.pump,
      [&] {
        return outcome->Done() || thread->clock.Overdue(bounds.callSeconds) || stopNow();
      },
      backstop);

  if (outcome->Done() || !outcome->Abandon()) {
    if (auto error = outcome->Error()) std::rethrow_exception(error);
    if (meanwhileError) std::rethrow_exception(meanwhileError);
    return;
  }
  const bool wasStopped = stopNow();
  // The thread is stuck in a call that may never return: leave it, and use a new one.
  LeaveThread(thread);
  throw CallAbandoned(member, wasStopped ? CallAbandoned::Why::Stopped : CallAbandoned::Why::NoAnswer,
                      bounds.callSeconds);
}

void CallRunner::Release(std::function<void()> release) {
  if (!release) return;
  Current()->Push({[release = std::move(release)](AttemptClock& clock) {
                     clock.Start();
                     release();
                   },
                   true});
}

}  // namespace tavrolin
