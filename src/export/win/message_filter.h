#pragma once
#include <windows.h>
#include <objbase.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/event_pump.h"
#include "export/win/com_types.h"

namespace tavrolin::win {

// Keeps the UI thread's outgoing automation calls bounded and the window alive while they run:
// a call the server rejects as busy is retried for up to `busyRetrySeconds` in all; while a call
// waits for its answer, the window's events are processed; a call that has not returned after
// `callSeconds` is cancelled. Registered on the calling thread for the object's lifetime (the
// filter that was there before comes back afterwards).
class MessageFilterRegistration {
 public:
  MessageFilterRegistration(EventPump& pump, double busyRetrySeconds, double callSeconds);
  ~MessageFilterRegistration();
  MessageFilterRegistration(const MessageFilterRegistration&) = delete;
  MessageFilterRegistration& operator=(const MessageFilterRegistration&) = delete;

 private:
  ComPtr<IMessageFilter> filter_;
  ComPtr<IMessageFilter> previous_;
  bool registered_ = false;
};

// While one call is under way: wakes the calling thread's COM wait a few times a second, so the
// filter can cancel a call even when no window event arrives.
class CallWatch {
 public:
  CallWatch();
  ~CallWatch();
  CallWatch(const CallWatch&) = delete;
  CallWatch& operator=(const CallWatch&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread waker_;
};

}  // namespace tavrolin::win
