#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/event_pump.h"

namespace tavrolin {

// A window handle as a number; 0 is no window.
using WindowId = std::uintptr_t;

// Window-system numbers the driver uses, as the platform defines them.
inline constexpr unsigned kWmChar = 0x102;
inline constexpr unsigned kWmLButtonDown = 0x201;
inline constexpr unsigned kWmLButtonUp = 0x202;
inline constexpr unsigned kMkLButton = 1;
// The class of dialog boxes: the name of the system's atom 0x8002.
inline constexpr wchar_t kDialogClass[] = L"#32770";

// What the dialog driver needs of the window system; the Win32 side implements it, tests fake it.
class WindowLayer {
 public:
  virtual ~WindowLayer() = default;
  // The next direct child of `parent` (0: the top-level windows) after `after` in z-order
  // (0: from the first) with the class `className` and, when `text` is given, that text.
  // 0 when there is none.
  virtual WindowId FindWindowAfter(WindowId parent, WindowId after, const std::wstring& className,
                                   const std::wstring* text) = 0;
  // The character's one-byte code in the ANSI code page; nothing when the code page lacks it.
  virtual std::optional<unsigned char> AnsiCode(wchar_t character) = 0;
  // Queues a message for the window's thread through the ANSI or the Unicode form of the post.
  // Failures are not reported: a dialog that closes meanwhile simply gets nothing.
  virtual void PostNarrow(WindowId window, unsigned message, std::intptr_t wParam,
                          std::intptr_t lParam) = 0;
  virtual void PostWide(WindowId window, unsigned message, std::uintptr_t wParam,
                        std::intptr_t lParam) = 0;
};

// Bounds of the driver's waits, in seconds; tests shorten them.
struct DialogBounds {
  double dialogSeconds = 120;      // from the start of printing to the "Save As" dialog
  double editBoxSeconds = 10;      // from finding the dialog to finding its file-name box
  double typingPauseSeconds = 0.4; // the dialog takes input this long after its box exists
};

// The "Save As" dialogs already open when printing starts, and when it started. Such a dialog
// belongs to someone else and is never typed into or clicked.
struct DialogSnapshot {
  std::vector<WindowId> existing;
  double takenAt = 0;
};

// Taken right before the print call.
DialogSnapshot SnapshotSaveAsDialogs(WindowLayer& windows, EventPump& pump);

// Waits for a new "Save As" dialog (one not in `before`), types `outputPath` into its first
// "Edit" child as posted WM_CHAR messages and clicks its "&Save" button with a posted press and
// release. Returns the dialog once the last message is posted; it does not wait for the dialog
// to close. No "&Save" after the edit box: nothing is clicked and it still returns normally.
// Throws AutomationError when the dialog or its edit box does not appear within the bounds, and
// StopRequested when `stopRequested` gives true during a wait; a dialog it found and then gave
// up on is cancelled first, so it does not stay on the screen.
WindowId CompleteSaveAsDialog(const std::wstring& outputPath, const DialogSnapshot& before,
                          WindowLayer& windows, EventPump& pump,
                          const std::function<bool()>& stopRequested,
                          const DialogBounds& bounds = {});

// Clicks "Cancel" on `dialog` if it is still an open "Save As" dialog; nothing else is touched.
void CancelSaveAsDialog(WindowId dialog, WindowLayer& windows, EventPump& pump);

}  // namespace tavrolin
