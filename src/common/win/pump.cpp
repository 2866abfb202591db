#include "common/win/pump.h"

#include <cmath>

namespace tavrolin::win {
namespace {
HWND navigationWindow = nullptr;
std::optional<int> quitCode;
}  // namespace

void SetNavigationWindow(HWND window) { navigationWindow = window; }

std::optional<int> QuitCode() { return quitCode; }

void HandleMessage(MSG& msg) {
  if (msg.message == WM_QUIT) {
    if (!quitCode) quitCode = static_cast<int>(msg.wParam);
    return;
  }
  if (navigationWindow && IsWindow(navigationWindow) &&
      IsDialogMessageW(navigationWindow, &msg)) {
    return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

int RunMessageLoop() {
  MSG msg;
  // A nested wait may have taken the WM_QUIT already; it is not posted again.
  while (!quitCode) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) return 1;
    HandleMessage(msg);
  }
  return *quitCode;
}

void Win32Pump::DoEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) HandleMessage(msg);
}

namespace {
// Set by the Waker; auto-reset, so one wake ends one Idle.
HANDLE WakeEvent() {
  static const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  return event;
}
}  // namespace

void Win32Pump::Idle(double maxSeconds) {
  if (!(maxSeconds > 0)) return;
  const auto ms = static_cast<DWORD>(std::ceil(maxSeconds * 1000.0));
  HANDLE wake = WakeEvent();
  MsgWaitForMultipleObjectsEx(wake ? 1 : 0, wake ? &wake : nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

std::function<void()> Win32Pump::Waker() {
  return [] {
    if (HANDLE wake = WakeEvent()) SetEvent(wake);
  };
}

double MonotonicSeconds() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / frequency;
}

double Win32Pump::Now() { return RunSeconds(MonotonicSeconds()); }

Win32Pump& UiPump() {
  static Win32Pump pump;
  return pump;
}

}  // namespace tavrolin::win
