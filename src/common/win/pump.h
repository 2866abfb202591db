#pragma once
#include <windows.h>

#include <functional>

#include "common/event_pump.h"

namespace tavrolin::win {

// The window whose keyboard navigation (Tab, arrows, Space) the pumps route through
// IsDialogMessage.
void SetNavigationWindow(HWND window);

// Translates and dispatches one message the way the main loop does. On WM_QUIT the program
// ends at once: closing the window ends it also in the middle of a pumped wait, after the
// ending handler (if one is set) has put right what the operation in hand holds.
void HandleMessage(MSG& msg);

// What must happen before the program ends in the middle of an operation; empty for nothing.
// It runs once, on the UI thread, after the window is gone, and must be bounded.
void SetEndingHandler(std::function<void()> handler);

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
