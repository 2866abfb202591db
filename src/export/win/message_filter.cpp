#include "export/win/message_filter.h"

#include <chrono>

namespace tavrolin::win {
namespace {

constexpr DWORD kRetryDelayMs = 250;
constexpr auto kWakeInterval = std::chrono::milliseconds(200);

class BoundedFilter final : public IMessageFilter {
 public:
  BoundedFilter(EventPump& pump, double busyRetrySeconds, double callSeconds)
      : pump_(pump),
        retryMs_(static_cast<DWORD>(busyRetrySeconds * 1000)),
        callMs_(static_cast<DWORD>(callSeconds * 1000)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
      *out = static_cast<IMessageFilter*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }

  // Incoming calls: this program serves none of its own, so whatever comes is let through.
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    return SERVERCALL_ISHANDLED;
  }

  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType) override {
    if (rejectType != SERVERCALL_RETRYLATER) return static_cast<DWORD>(-1);
    if (elapsedMs >= retryMs_) return static_cast<DWORD>(-1);
    return kRetryDelayMs;
  }

  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD elapsedMs, DWORD) override {
    if (elapsedMs >= callMs_) return PENDINGMSG_CANCELCALL;
    // The window stays alive while Word works; closing it ends the program here too.
    pump_.DoEvents();
    return PENDINGMSG_WAITNOPROCESS;
  }

 private:
  ~BoundedFilter() = default;
  LONG refs_ = 1;
  EventPump& pump_;
  DWORD retryMs_;
  DWORD callMs_;
};

}  // namespace

MessageFilterRegistration::MessageFilterRegistration(EventPump& pump, double busyRetrySeconds,
                                                     double callSeconds)
    : filter_(new BoundedFilter(pump, busyRetrySeconds, callSeconds)) {
  registered_ = SUCCEEDED(CoRegisterMessageFilter(filter_.get(), previous_.Out()));
}

MessageFilterRegistration::~MessageFilterRegistration() {
  if (!registered_) return;
  ComPtr<IMessageFilter> ours;
  CoRegisterMessageFilter(previous_.get(), ours.Out());
}

CallWatch::CallWatch() {
  const DWORD thread = GetCurrentThreadId();
  waker_ = std::thread([this, thread] {
    std::unique_lock lock(mutex_);
    while (!done_.wait_for(lock, kWakeInterval, [this] { return finished_; })) {
      PostThreadMessageW(thread, WM_NULL, 0, 0);
    }
  });
}

CallWatch::~CallWatch() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  done_.notify_one();
  waker_.join();
}

}  // namespace tavrolin::win
