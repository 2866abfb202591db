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
inline constexpr unsigned kWmCommand = 0x111;
inline constexpr unsigned kWmLButtonDown = 0x201;
inline constexpr unsigned kWmLButtonUp = 0x202;
inline constexpr unsigned kEmSetSel = 0xB1;
inline constexpr unsigned kMkLButton = 1;
inline constexpr unsigned kBnClicked = 0;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdNo = 7;
// The title a dialog gets first choice for when more than one new one qualifies.
inline constexpr wchar_t kSaveAsTitle[] = L"Save As";
// The common file dialog's file name combo box (cmb13), and the ID every combo box gives its edit.
inline constexpr int kFileNameComboId = 1148;
inline constexpr int kComboEditId = 1001;
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
  // The direct children of `parent`, in z-order.
  virtual std::vector<WindowId> Children(WindowId parent) = 0;
  // The window a child belongs to (0 for a top-level window).
  virtual WindowId Parent(WindowId window) = 0;
  virtual std::wstring ClassName(WindowId window) = 0;
  // The control ID a child window was given.
  virtual int ControlId(WindowId window) = 0;
  // The window's caption (a button's or label's text), read without sending it a message.
  virtual std::wstring Caption(WindowId window) = 0;
  // False once the window is gone.
  virtual bool Exists(WindowId window) = 0;
  // True while it exists and is shown.
  virtual bool Shown(WindowId window) = 0;
  // True for a window of Tavrolin's own process: never the printer's.
  virtual bool OfThisProcess(WindowId window) = 0;
  // The shown top-level windows that `owner` owns: the messages a dialog shows.
  virtual std::vector<WindowId> OwnedWindows(WindowId owner) = 0;
  // An edit box's content, asked with sent messages that wait about 50 ms in all, so that the
  // caller's window keeps answering; nothing when it does not answer in that time (the caller
  // tries again after pumping).
  virtual std::optional<std::wstring> ReadText(WindowId window) = 0;
  // Its first `count` characters at most, with one sent message (about 25 ms at most): enough to
  // tell whether it holds a text of `count` - 1 characters.
  virtual std::optional<std::wstring> ReadTextUpTo(WindowId window, std::size_t count) {
    auto text = ReadText(window);
    if (text && text->size() > count) text->resize(count);
    return text;
  }
  // Replaces an edit box's content the same way; false when it does not answer.
  virtual bool SetText(WindowId window, const std::wstring& text) = 0;
  // True when the window's thread takes a sent message within about 50 ms; false while it is busy.
  virtual bool Responds(WindowId window) = 0;
  // The character's one-byte code in the ANSI code page; nothing when the code page lacks it.
  virtual std::optional<unsigned char> AnsiCode(wchar_t character) = 0;
  // Queues a message for the window's thread through the ANSI or the Unicode form of the post.
  // False when the system refused it (the window is gone, or runs with higher rights).
  virtual bool PostNarrow(WindowId window, unsigned message, std::intptr_t wParam, std::intptr_t lParam) = 0;
  virtual bool PostWide(WindowId window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// Where a save dialog keeps its file name box: a direct "Edit" child; else the "Edit"
// inside its control 1148 (the classic common dialog); else the "Edit" 1001 of a combo box
// anywhere in it (the newer dialog), never one in its address bar. 0 when there is none.
WindowId FindFileNameBox(WindowLayer& windows, WindowId dialog);
// Its Save button: the "&Save" button among the dialog's direct children after the one that
// holds `box`; else its default button IDOK when that is a button. 0 when there is neither.
WindowId FindSaveButton(WindowLayer& windows, WindowId dialog, WindowId box);

// Whether `dialog` is a save dialog the printer may have shown, in any language and under any
// title: a shown top-level dialog box of another process with a file name box and a Save button.
bool IsSaveDialog(WindowLayer& windows, WindowId dialog);

// Bounds of the driver's waits, in seconds; tests shorten them.
struct DialogBounds {
  double dialogSeconds = 120;      // from the start of printing to the printer's save dialog
  double typingPauseSeconds = 0.4; // the dialog takes input this long after its box exists
  double readBackSeconds = 2;      // for the typed characters to arrive in the box
  double closeSeconds = 2.5;       // for the dialog to close after the click, and again after IDOK
  double busySeconds = 15;         // the same, and for typing to settle, while the dialog is busy
};

// The top-level dialog boxes already shown when printing starts, and when it started. Such a
// dialog belongs to someone else (another program's own save dialog, in any language) and is
// never typed into or clicked.
struct DialogSnapshot {
  std::vector<WindowId> existing;
  double takenAt = 0;
};

// Taken right before the print call.
DialogSnapshot SnapshotSaveAsDialogs(WindowLayer& windows, EventPump& pump);

// Waits for the printer's save dialog: a new dialog box (one not in `before`) for which
// IsSaveDialog holds, the one titled "Save As" first when several are; windows without a file
// name box (a printer's progress window, a message box) get nothing and the search goes on.
// It selects the whole text of its file
// name box and types `outputPath` there as posted WM_CHAR messages, reads the box back (setting
// it once more when it differs), clicks its Save button with a posted press and release, and
// watches the dialog close: a dialog still open without a message of its own gets its default
// button pressed once more through WM_COMMAND. Returns the dialog once it has closed.
// Throws AutomationError when no such dialog appears, the box does not hold the path, a post is refused, or the dialog stays open (it refused the path); and
// StopRequested when `stopRequested` gives true during a wait, between typed characters or
// while the box is read back (nothing is clicked after that). A dialog it found and then gave
// up on is cancelled first, with any message it shows, so nothing stays on the screen.
// `printFailed`, when given, tells that the print call has failed or must be given up: the
// search for the dialog then ends at once.
WindowId CompleteSaveAsDialog(const std::wstring& outputPath, const DialogSnapshot& before,
                              WindowLayer& windows, EventPump& pump,
                              const std::function<bool()>& stopRequested,
                              const DialogBounds& bounds = {},
                              const std::function<bool()>& printFailed = {});

// Cancels `dialog` if it is still open: closes any message it shows, clicks its Cancel button
// (found by its ID IDCANCEL, whatever its text), and when that does not close it within `seconds`, sends it IDCANCEL. Nothing else
// is touched.
void CancelSaveAsDialog(WindowId dialog, WindowLayer& windows, EventPump& pump, double seconds = 1.5);

}  // namespace tavrolin
