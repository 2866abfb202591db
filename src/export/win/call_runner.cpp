#include "export/win/call_runner.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "export/win/late_binding.h"
#include "export/word.h"

namespace tavrolin::win {

// One thread of the multithreaded apartment and its queue of work. The thread owns a share of
// it, so an abandoned thread can still finish the call it is stuck in and then end.
struct CallThread {
  struct Item {
    std::function<void(AttemptClock&)> work;
    bool release = false;
  };

  static std::shared_ptr<CallThread> Start() {
    auto thread = std::make_shared<CallThread>();
    std::thread([thread] { thread->Loop(); }).detach();
    return thread;
  }

  void Push(Item item) {
    {
      std::lock_guard lock(mutex);
      queue.push_back(std::move(item));
    }
    wake.notify_one();
  }

  // No more work after what is queued. An abandoned thread skips the calls still queued (their
  // callers have given up on them) and only lets go of references.
  void Finish(bool abandon) {
    {
      std::lock_guard lock(mutex);
      quit = true;
      abandoned = abandoned || abandon;
    }
    wake.notify_one();
  }

  void Loop() {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    for (;;) {
      Item item;
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return quit || !queue.empty(); });
        if (queue.empty()) break;
        item = std::move(queue.front());
        queue.pop_front();
        if (abandoned && !item.release) continue;
      }
      item.work(clock);
      clock.Stop();
    }
    if (SUCCEEDED(init)) CoUninitialize();
  }

  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Item> queue;
  bool quit = false;
  bool abandoned = false;
  AttemptClock clock;
};

namespace {

struct Outcome {
  std::atomic<bool> done{false};
  std::exception_ptr error;
};

}  // namespace

std::shared_ptr<CallRunner> CallRunner::Create(EventPump& pump, CallBounds bounds) {
  return std::shared_ptr<CallRunner>(new CallRunner(pump, bounds));
}

CallRunner::CallRunner(EventPump& pump, CallBounds bounds) : pump_(pump), bounds_(bounds) {}

CallRunner::~CallRunner() {
  std::lock_guard lock(threadMutex_);
  if (thread_) thread_->Finish(false);
}

std::shared_ptr<CallThread> CallRunner::Current() {
  std::lock_guard lock(threadMutex_);
  if (!thread_) thread_ = CallThread::Start();
  return thread_;
}

void CallRunner::RunErased(const std::wstring& member, std::function<void(AttemptClock&)> task) {
  auto outcome = std::make_shared<Outcome>();
  auto thread = Current();
  thread->Push({[outcome, task = std::move(task)](AttemptClock& clock) mutable {
                  try {
                    task(clock);
                  } catch (...) {
                    outcome->error = std::current_exception();
                  }
                  // What the task holds goes before its caller goes on.
                  task = nullptr;
                  outcome->done = true;
                },
                false});
  // Retries of a busy server never count against the call bound; this only catches a queue
  // that never moves.
  const double backstop = bounds_.busyRetrySeconds + 2 * bounds_.callSeconds;
  WaitUntil(
      pump_, [&] { return outcome->done || thread->clock.Overdue(bounds_.callSeconds); }, backstop);
  if (outcome->done) {
    if (outcome->error) std::rethrow_exception(outcome->error);
    return;
  }
  // The thread is stuck in a call that may never return: leave it, and use a new one.
  thread->Finish(true);
  {
    std::lock_guard lock(threadMutex_);
    if (thread_ == thread) thread_.reset();
  }
  throw AutomationError(member, DescribeFailure(RPC_E_CALL_CANCELED, L"", bounds_));
}

void CallRunner::Release(IUnknown* object) {
  if (!object) return;
  Current()->Push({[object](AttemptClock& clock) {
                     // Letting go of a server that hangs may hang too; it is bounded like a call.
                     clock.Start();
                     object->Release();
                   },
                   true});
}

}  // namespace tavrolin::win
