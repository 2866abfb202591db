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
  // OLE for the list's drop target and the automation of Word, on the one UI thread.
  if (FAILED(OleInitialize(nullptr))) return 1;

  auto form = tavrolin::Form1::Create(instance);
  if (!form) return 1;
  tavrolin::win::SetNavigationWindow(form->hwnd());
  form->Show(showCommand);
  const int code = tavrolin::win::RunMessageLoop();
  form.reset();
  OleUninitialize();
  return code;
}
