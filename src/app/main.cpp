#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <optional>

#include "app/form1.h"
#include "app/form1_command_line.h"
#include "app/form1_unattended.h"
#include "common/win/pump.h"
#include "common/win/trace_file.h"

namespace {

// A closed console, a logoff or a shutdown end the process as soon as this returns: the run is
// closed as closing its window does (Word dealt with, the old PDF back, the report's last lines)
// and this returns once it has unwound, or when the few seconds Windows allows are nearly gone.
// Ctrl+C and Ctrl+Break leave the process alone: it ends by itself once the run has unwound.
BOOL WINAPI OnConsoleControl(DWORD type) {
  tavrolin::RunEnd::Close();
  if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
    tavrolin::RunEnd::AwaitUnwound();
  }
  return TRUE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  tavrolin::win::StartTraceIfAsked();
  tavrolin::win::ParentConsole console;
  tavrolin::win::ReportWriter report(console);
  const tavrolin::StartRequest start = tavrolin::ReadStartRequest(console, report);
  if (start.exitCode >= 0) ExitProcess(static_cast<UINT>(start.exitCode));
  const bool unattended = start.line.exportMode;
  // One window per desktop: a plain start hands its paths to the open one. An unattended run
  // never does; that window would not end with the run's exit code.
  std::optional<tavrolin::OneWindowLock> oneWindow;
  if (!unattended) {
    oneWindow.emplace();
    if (tavrolin::HandToOpenWindow(start.paths)) ExitProcess(0);
  }

  INITCOMMONCONTROLSEX controls{sizeof(controls),
                                ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES |
                                    ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  auto form = tavrolin::Form1::Create(instance);
  if (!form) return unattended ? tavrolin::kExitStopped : 1;
  tavrolin::win::SetNavigationWindow(form->hwnd());
  form->Unattended().AddStartPaths(start.paths);
  form->Show(showCommand);
  if (oneWindow) oneWindow->Release();
  // OLE (the list's drop target, the automation of Word) comes only after the window shows:
  // its DLLs are delay-loaded, so the window does not wait for them. No input is handled
  // before the message loop runs, so no drop can come too early.
  if (FAILED(OleInitialize(nullptr))) return unattended ? tavrolin::kExitPrerequisiteMissing : 1;
  form->OleReady();
  if (unattended) {
    form->Unattended().Start(report, start);
    if (console.Attached()) SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  }
  // Returns once the window is closed; a run in hand has unwound by then.
  int code = tavrolin::win::RunMessageLoop();
  if (const auto ran = form->Unattended().ExitCode()) code = *ran;
  form.reset();
  OleUninitialize();
  // The one way out: a call thread still stuck in a Word that hangs cannot hold the process.
  ExitProcess(static_cast<UINT>(code));
}
