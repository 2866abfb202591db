#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "app/form1.h"
#include "common/win/pump.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{sizeof(controls),
                                ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES |
                                    ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  auto form = tavrolin::Form1::Create(instance);
  if (!form) return 1;
  tavrolin::win::SetNavigationWindow(form->hwnd());
  form->Show(showCommand);
  // OLE (the list's drop target, the automation of Word) comes only after the window shows:
  // its DLLs are delay-loaded, so the window does not wait for them. No input is handled
  // before the message loop runs, so no drop can come too early.
  if (FAILED(OleInitialize(nullptr))) return 1;
  form->OleReady();
  // Returns once the window is closed; a run in hand has unwound by then.
  const int code = tavrolin::win::RunMessageLoop();
  form.reset();
  OleUninitialize();
  // The one way out: a call thread still stuck in a Word that hangs cannot hold the process.
  ExitProcess(static_cast<UINT>(code));
}
