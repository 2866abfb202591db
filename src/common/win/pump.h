#pragma once
#include <windows.h>

#include <optional>

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

class Win32Pump final : public EventPump {
 public:
  void DoEvents() override;
  void Idle(double maxSeconds) override;
  double Now() override;
  bool QuitSeen() override { return QuitCode().has_value(); }
};

// The pump of the UI thread.
Win32Pump& UiPump();

}  // namespace tavrolin::win
