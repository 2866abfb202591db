#pragma once
#include <functional>
#include <memory>

#include "export/call_runner.h"

namespace tavrolin::win {

// Call threads of COM's multithreaded apartment. An apartment-threaded caller could not give up
// a call: its wait inside COM is not left before the answer comes. Objects of the multithreaded
// apartment may be used from any of its threads, so nothing is lost when the thread changes.
class MtaThreads final : public CallThreadStarter {
 public:
  void Start(std::function<void()> body) override;
};

// The performance counter, readable from any thread.
class SystemClock final : public Clock {
 public:
  double Now() override;
};

// The ports of a call runner on the UI thread.
CallRunner::Ports CallPorts(EventPump& pump, const RunStop* stop = nullptr);

}  // namespace tavrolin::win
