#pragma once
#include <windows.h>

#include <optional>

#include "common/box_time.h"
#include "common/event_pump.h"

namespace tavrolin::win {

// The window whose keyboard navigation (Tab, arrows, Space) the pumps route through
// IsDialogMessage.
void SetNavigationWindow(HWND window);

// Translates and dispatches one message the way the main loop does. WM_QUIT is only recorded:
// a pumped wait that sees it returns as from a stop, the operation in hand unwinds, and the
// main loop then returns.
void HandleMessage(MSG& msg);

// The exit code of the WM_QUIT some pump has seen; nothing while none was seen.
std::optional<int> QuitCode();

// The main message loop; returns the exit code of WM_QUIT, also of one a nested wait took.
int RunMessageLoop();

// Seconds on the performance counter, boxes included.
double MonotonicSeconds();

// Held around every box the program shows on the UI thread, so that no wait counts its time.
class OwnBox {
 public:
  OwnBox() { OwnBoxTime().Opened(MonotonicSeconds()); }
  ~OwnBox() { OwnBoxTime().Closed(MonotonicSeconds()); }
  OwnBox(const OwnBox&) = delete;
  OwnBox& operator=(const OwnBox&) = delete;
};

class Win32Pump final : public EventPump {
 public:
  void DoEvents() override;
  void Idle(double maxSeconds) override;
  std::function<void()> Waker() override;
  // Without the time the program's own boxes held the thread.
  double Now() override;
  bool QuitSeen() override { return QuitCode().has_value(); }
};

// The pump of the UI thread.
Win32Pump& UiPump();

}  // namespace tavrolin::win
