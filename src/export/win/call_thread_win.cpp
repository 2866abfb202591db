#include "export/win/call_thread_win.h"

#include "common/win/pump.h"

#include <windows.h>
#include <objbase.h>

#include <thread>

namespace tavrolin::win {

void MtaThreads::Start(std::function<void()> body) {
  // Detached: a thread stuck in a call that never returns must not hold up anyone.
  std::thread([body = std::move(body)] {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    body();
    if (SUCCEEDED(init)) CoUninitialize();
  }).detach();
}

// The pump's clock: the performance counter, which any thread may read.
double SystemClock::Now() { return UiPump().Now(); }

CallRunner::Ports CallPorts(EventPump& pump, const RunStop* stop) {
  return {std::make_shared<MtaThreads>(), std::make_shared<SystemClock>(), &pump, stop};
}

}  // namespace tavrolin::win
