#pragma once
#include <windows.h>

#include "common/event_pump.h"

namespace tavrolin::win {

// The window whose keyboard navigation (Tab, arrows, Space) the pumps route through
// IsDialogMessage.
void SetNavigationWindow(HWND window);

// Translates and dispatches one message the way the main loop does. On WM_QUIT the program
// ends at once: closing the window ends it also in the middle of a pumped wait.
void HandleMessage(MSG& msg);

// The main message loop; returns the exit code of WM_QUIT.
int RunMessageLoop();

class Win32Pump final : public EventPump {
 public:
  void DoEvents() override;
  void Idle(double maxSeconds) override;
  double Now() override;
};

// The pump of the UI thread.
Win32Pump& UiPump();

}  // namespace tavrolin::win
