#include "export/dialog_driver.h"

#include <algorithm>
#include <cwctype>

#include "common/message_params.h"
#include "common/text.h"
#include "common/trace.h"
#include "export/word.h"

namespace tavrolin {
namespace {

constexpr wchar_t kEditClass[] = L"Edit";
constexpr wchar_t kButtonClass[] = L"Button";
constexpr wchar_t kSaveText[] = L"&Save";
constexpr wchar_t kStep[] = L"printer's save dialog";
// No desktop has more dialog boxes, hidden ones included; a list that does is not read further.
constexpr int kMaxDialogsListed = 4096;

// Every top-level dialog box, in z-order, whatever its title.
template <typename Visit>
void ForEachDialog(WindowLayer& windows, Visit visit) {
  WindowId window = 0;
  for (int n = 0; n < kMaxDialogsListed; ++n) {
    const WindowId next = windows.FindWindowAfter(0, window, kDialogClass, nullptr);
    // A search that does not move on would never end.
    if (next == 0 || next == window) return;
    if (visit(next)) return;
    window = next;
  }
}

}  // namespace

DialogSnapshot SnapshotSaveAsDialogs(WindowLayer& windows, EventPump& pump) {
  DialogSnapshot snapshot;
  // Only those on the screen: a hidden one that a printer shows later is its dialog.
  ForEachDialog(windows, [&](WindowId dialog) {
    if (windows.Shown(dialog)) snapshot.existing.push_back(dialog);
    return false;
  });
  snapshot.takenAt = pump.Now();
  return snapshot;
}

namespace {

bool SameText(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

bool IsClass(WindowLayer& windows, WindowId window, const wchar_t* className) {
  return SameText(windows.ClassName(window), className);
}

// The newer dialog's address bar keeps an edit box of its own, also inside a combo box.
constexpr wchar_t kAddressBarClass[] = L"Address Band Root";
// No dialog has more; a window tree that does is not searched further.
constexpr int kMaxWindowsSearched = 4000;

// The first window under `root` (depth first, in z-order) for which `match` holds, leaving out
// the address bar. `budget` bounds the search.
template <typename Match>
WindowId FindBelow(WindowLayer& windows, WindowId root, Match match, int& budget) {
  for (const WindowId child : windows.Children(root)) {
    if (--budget < 0) return 0;
    if (IsClass(windows, child, kAddressBarClass)) continue;
    if (match(child)) return child;
    if (const WindowId found = FindBelow(windows, child, match, budget)) return found;
  }
  return 0;
}

}  // namespace

WindowId FindFileNameBox(WindowLayer& windows, WindowId dialog) {
  // Only a box the user could see: a common dialog keeps the file name box it does not use
  // hidden beside the one it does, and a dialog still starting up is not shown yet.
  const auto isEdit = [&](WindowId w) { return IsClass(windows, w, kEditClass) && windows.Shown(w); };
  const std::vector<WindowId> children = windows.Children(dialog);
  for (const WindowId child : children) {
    if (isEdit(child)) return child;
  }
  int budget = kMaxWindowsSearched;
  for (const WindowId child : children) {
    if (windows.ControlId(child) != kFileNameComboId) continue;
    if (const WindowId edit = FindBelow(windows, child, isEdit, budget)) return edit;
  }
  const auto isComboEdit = [&](WindowId w) {
    return windows.ControlId(w) == kComboEditId && isEdit(w) && IsClass(windows, windows.Parent(w), L"ComboBox");
  };
  return FindBelow(windows, dialog, isComboEdit, budget);
}

WindowId FindSaveButton(WindowLayer& windows, WindowId dialog, WindowId box) {
  // The box's own branch: its ancestor that is a direct child of the dialog.
  WindowId branch = box;
  for (int depth = 0; branch != 0 && depth < 64; ++depth) {
    const WindowId parent = windows.Parent(branch);
    if (parent == dialog) break;
    branch = parent;
  }
  const std::vector<WindowId> children = windows.Children(dialog);
  auto at = std::find(children.begin(), children.end(), branch);
  if (at != children.end()) {
    for (auto it = at + 1; it != children.end(); ++it) {
      if (IsClass(windows, *it, kButtonClass) && SameText(windows.Caption(*it), kSaveText)) return *it;
    }
  }
  for (const WindowId child : children) {
    if (windows.ControlId(child) == kIdOk && IsClass(windows, child, kButtonClass)) return child;
  }
  return 0;
}

bool IsSaveDialog(WindowLayer& windows, WindowId dialog) {
  if (!windows.Shown(dialog) || windows.OfThisProcess(dialog) || !IsClass(windows, dialog, kDialogClass)) return false;
  const WindowId box = FindFileNameBox(windows, dialog);
  return box != 0 && FindSaveButton(windows, dialog, box) != 0;
}

namespace {

// The printer's dialog among the dialog boxes that are new since `before`: the one titled
// "Save As" when there is one, else the first in z-order. 0 while there is none.
WindowId FindNewDialog(WindowLayer& windows, const DialogSnapshot& before) {
  WindowId found = 0;
  ForEachDialog(windows, [&](WindowId dialog) {
    if (std::find(before.existing.begin(), before.existing.end(), dialog) != before.existing.end()) return false;
    if (!IsSaveDialog(windows, dialog)) return false;
    if (found == 0) found = dialog;
    if (windows.Caption(dialog) != kSaveAsTitle) return false;
    found = dialog;
    return true;
  });
  return found;
}

// How messages name the dialog: with its title, in whatever language it is.
std::wstring DialogName(WindowLayer& windows, WindowId dialog) {
  const std::wstring title = windows.Caption(dialog);
  return title.empty() ? L"printer's save dialog" : L"printer's save dialog \"" + title + L"\"";
}
std::wstring TheDialog(WindowLayer& windows, WindowId dialog) { return L"The " + DialogName(windows, dialog); }

constexpr wchar_t kRefusedPost[] =
    L"Windows refused a message to the printer's save dialog; it may run with higher rights than Tavrolin.";

// A post the system refused is an error, unless the window has simply gone.
bool Posted(WindowLayer& windows, WindowId window, bool ok) {
  if (ok) return true;
  if (windows.Exists(window)) throw AutomationError(kStep, kRefusedPost);
  return false;
}

void ClickButton(WindowLayer& windows, EventPump& pump, WindowId button) {
  Posted(windows, button, windows.PostNarrow(button, kWmLButtonDown, kMkLButton, MakeLong(0, 0)));
  pump.DoEvents();
  Posted(windows, button, windows.PostNarrow(button, kWmLButtonUp, kMkLButton, MakeLong(0, 0)));
  pump.DoEvents();
}

// A command from one of the dialog's buttons, as the button itself would send it.
bool PostCommand(WindowLayer& windows, WindowId dialog, int id, WindowId button) {
  return windows.PostNarrow(dialog, kWmCommand, MakeLong(static_cast<std::uint16_t>(id), kBnClicked),
                            static_cast<std::intptr_t>(button));
}

bool IsOpen(WindowLayer& windows, WindowId dialog) { return windows.Shown(dialog); }

// The messages (dialog boxes, such as message boxes) the dialog shows; not its drop-down lists.
std::vector<WindowId> MessagesOf(WindowLayer& windows, WindowId dialog) {
  std::vector<WindowId> messages;
  for (const WindowId owned : windows.OwnedWindows(dialog)) {
    if (IsClass(windows, owned, kDialogClass)) messages.push_back(owned);
  }
  return messages;
}

// The text of a message box: its labels, joined.
std::wstring MessageText(WindowLayer& windows, WindowId box) {
  std::wstring text;
  for (const WindowId child : windows.Children(box)) {
    if (!IsClass(windows, child, L"Static")) continue;
    const std::wstring caption = windows.Caption(child);
    if (caption.empty()) continue;
    if (!text.empty()) text += L' ';
    text += caption;
  }
  return text;
}

// Closes a message box with its Cancel, else No, else OK button.
void CloseMessage(WindowLayer& windows, WindowId box) {
  const auto children = windows.Children(box);
  for (const int id : {kIdCancel, kIdNo, kIdOk}) {
    for (const WindowId child : children) {
      if (windows.ControlId(child) == id && IsClass(windows, child, kButtonClass)) {
        PostCommand(windows, box, id, child);
        return;
      }
    }
  }
}

// Finds the dialog and its file name box; the dialog is handed out as soon as it is found.
WindowId FindEditBox(const DialogSnapshot& before, WindowLayer& windows, EventPump& pump,
                     const std::function<void()>& checkStop, const std::function<bool()>& printFailed,
                     const DialogBounds& bounds, WindowId& dialog) {
  // The bound counts from the print call, not from here.
  const double dialogLeft = bounds.dialogSeconds - (pump.Now() - before.takenAt);
  bool failed = false;
  const bool dialogFound = WaitUntil(
      pump,
      [&] {
        checkStop();
        dialog = FindNewDialog(windows, before);
        if (dialog == 0 && printFailed && printFailed()) failed = true;
        return dialog != 0 || failed;
      },
      std::max(0.0, dialogLeft));
  if (failed) throw AutomationError(kStep, L"Printing failed before the printer's save dialog appeared.");
  if (!dialogFound) {
    throw AutomationError(kStep, L"The printer's save dialog did not appear within " +
                                     SecondsText(bounds.dialogSeconds) + L".");
  }
  return FindFileNameBox(windows, dialog);
}

constexpr double kSettleSeconds = 0.25;

// The test a pumped wait takes, from the check that throws on a stop.
std::function<bool()> StopSaid(const std::function<void()>& checkStop) {
  return [&checkStop] {
    try {
      checkStop();
    } catch (const StopRequested&) {
      return true;
    }
    return false;
  };
}

// The longest gap between two reads of a box still taking its characters.
constexpr double kMaxReadGapSeconds = 0.1;

// True once the box holds exactly `path`; the typed characters may still be on their way.
// A read is a sent message, which the dialog answers before the characters still queued: read
// at every poll, a busy dialog takes one character per read. So the box is read again only when
// the characters left should have arrived at the pace seen since `typedFrom`.
bool BoxHolds(WindowLayer& windows, EventPump& pump, WindowId edit, const std::wstring& path, double seconds,
              const std::function<void()>& checkStop, std::optional<std::wstring>& text, double typedFrom) {
  const double start = pump.Now();
  double gap = kPollSeconds;
  for (;;) {
    checkStop();
    // One character more than the path: a longer text shows as one.
    text = windows.ReadTextUpTo(edit, path.size() + 1);
    if (text && *text == path) return true;
    const double now = pump.Now();
    if (now - start >= seconds) return false;
    const bool arriving = text && !text->empty() && text->size() < path.size() && path.compare(0, text->size(), *text) == 0;
    if (arriving) {
      const double perCharacter = (now - typedFrom) / static_cast<double>(text->size());
      gap = perCharacter * static_cast<double>(path.size() - text->size());
    } else {
      gap *= 2;
    }
    gap = std::clamp(gap, kPollSeconds, kMaxReadGapSeconds);
    // A stop ends the gap; the check at the top of the loop throws it.
    WaitSeconds(pump, std::min(gap, seconds - (now - start)), StopSaid(checkStop));
  }
}

// A read or a set the dialog's thread did not take within its short bound is tried again,
// pumping in between, for this long.
constexpr double kAnswerSeconds = 1;

void CheckTyped(WindowLayer& windows, EventPump& pump, WindowId dialog, WindowId edit, const std::wstring& path,
                const std::function<void()>& checkStop, const DialogBounds& bounds, double typedFrom) {
  const auto stopSaid = StopSaid(checkStop);
  std::optional<std::wstring> text;
  if (BoxHolds(windows, pump, edit, path, bounds.readBackSeconds, checkStop, text, typedFrom)) return;
  if (!IsOpen(windows, dialog)) {
    throw AutomationError(kStep, L"The printer's save dialog closed before the file name was typed in.");
  }
  // A dialog busy elsewhere (a network folder, a long path on a loaded machine) still has
  // characters queued: they would land after WM_SETTEXT and change the name again. The box is
  // set only once it answers the same twice.
  const double settleFrom = pump.Now();
  for (;;) {
    const auto earlier = text;
    WaitSeconds(pump, kSettleSeconds, stopSaid);
    checkStop();
    text = windows.ReadText(edit);
    if (text && *text == path) return;
    if ((text && text == earlier) || pump.Now() - settleFrom >= bounds.busySeconds) break;
  }
  // Once more, whole: an autocompletion or a lost character must not change the file name.
  WaitUntil(pump, [&] { return checkStop(), windows.SetText(edit, path); }, kAnswerSeconds);
  WaitUntil(pump, [&] { return checkStop(), (text = windows.ReadText(edit)).has_value(); }, kAnswerSeconds);
  if (text && *text == path) return;
  throw AutomationError(kStep, text ? TheDialog(windows, dialog) + L" did not take the file name; its box holds \"" +
                                          *text + L"\"."
                                    : TheDialog(windows, dialog) + L" did not answer.");
}

// After the click: the dialog must close. A click it ignored (a button of a dialog that is not
// the active window may) is given once more as the command the button would send.
void WatchClose(WindowLayer& windows, EventPump& pump, WindowId dialog, WindowId save,
                const std::function<void()>& checkStop, const DialogBounds& bounds) {
  const auto closed = [&] {
    checkStop();
    return !IsOpen(windows, dialog);
  };
  const auto refusedWith = [&](const std::vector<WindowId>& messages) {
    std::wstring reason = TheDialog(windows, dialog) + L" refused the file name";
    const std::wstring said = MessageText(windows, messages.front());
    return AutomationError(kStep, reason + (said.empty() ? L"." : L": \"" + said + L"\""));
  };
  // A dialog still busy with the path (a network share, a synced folder) is given longer: only
  // one that answers again and is still open has ignored the click or refused the path.
  const auto settles = [&] {
    const double since = pump.Now();
    return WaitUntil(
        pump, [&] { return closed() || (pump.Now() - since >= bounds.closeSeconds && windows.Responds(dialog)); },
        bounds.busySeconds) && !IsOpen(windows, dialog);
  };
  if (settles()) return;
  if (const auto messages = MessagesOf(windows, dialog); !messages.empty()) throw refusedWith(messages);
  if (!Posted(windows, dialog, PostCommand(windows, dialog, kIdOk, save))) return;
  if (settles()) return;
  if (const auto messages = MessagesOf(windows, dialog); !messages.empty()) throw refusedWith(messages);
  throw AutomationError(kStep, TheDialog(windows, dialog) +
                                   L" stayed open after Save was pressed twice; it did not accept the file name.");
}

}  // namespace

void CancelSaveAsDialog(WindowId dialog, WindowLayer& windows, EventPump& pump, double seconds) {
  if (dialog == 0 || !IsOpen(windows, dialog)) return;
  // Its own message first: while one is shown, the dialog takes no input.
  for (const WindowId message : MessagesOf(windows, dialog)) CloseMessage(windows, message);
  if (!MessagesOf(windows, dialog).empty()) {
    WaitUntil(pump, [&] { return MessagesOf(windows, dialog).empty(); }, seconds);
  }
  // By its ID: its text is in the dialog's language.
  WindowId cancel = 0;
  for (const WindowId child : windows.Children(dialog)) {
    if (windows.ControlId(child) == kIdCancel && IsClass(windows, child, kButtonClass)) {
      cancel = child;
      break;
    }
  }
  const auto closed = [&] { return !IsOpen(windows, dialog); };
  if (cancel != 0) {
    const bool pressed = windows.PostNarrow(cancel, kWmLButtonDown, kMkLButton, MakeLong(0, 0));
    pump.DoEvents();
    // A dialog out of reach (higher rights) is not waited for.
    if (!pressed) return;
    windows.PostNarrow(cancel, kWmLButtonUp, kMkLButton, MakeLong(0, 0));
    pump.DoEvents();
    if (WaitUntil(pump, closed, seconds)) return;
  }
  if (PostCommand(windows, dialog, kIdCancel, cancel)) WaitUntil(pump, closed, seconds);
}

WindowId CompleteSaveAsDialog(const std::wstring& outputPath, const DialogSnapshot& before,
                              WindowLayer& windows, EventPump& pump,
                              const std::function<bool()>& stopRequested, const DialogBounds& bounds,
                              const std::function<bool()>& printFailed) {
  const auto checkStop = [&] {
    if (stopRequested && stopRequested()) throw StopRequested();
  };
  WindowId dialog = 0;
  try {
    const WindowId edit = FindEditBox(before, windows, pump, checkStop, printFailed, bounds, dialog);
    trace::Mark(L"dialog-found");
    const WindowId save = FindSaveButton(windows, dialog, edit);
    if (save == 0) throw AutomationError(kStep, TheDialog(windows, dialog) + L" has no Save button.");

    // The dialog takes input only a moment after its box exists.
    trace::Mark(L"pause");
    WaitSeconds(pump, bounds.typingPauseSeconds, stopRequested);
    trace::Mark(L"paused");
    checkStop();

    // A suggested name is replaced, not added to.
    Posted(windows, edit, windows.PostNarrow(edit, kEmSetSel, 0, -1));
    // Repeat count 1, scan code 0x30, no flags.
    const std::int32_t keyData = MakeLong(1, 48);
    const double typedFrom = pump.Now();
    for (const wchar_t character : outputPath) {
      pump.DoEvents();
      // A stop or a close said while typing: the rest is not typed, Save is not clicked.
      checkStop();
      if (const auto code = windows.AnsiCode(character)) {
        Posted(windows, edit, windows.PostNarrow(edit, kWmChar, static_cast<std::intptr_t>(*code), keyData));
      } else {
        // The ANSI form would turn it into "?"; the Unicode form keeps the path whole.
        Posted(windows, edit, windows.PostWide(edit, kWmChar, static_cast<std::uintptr_t>(character), keyData));
      }
    }
    pump.DoEvents();
    checkStop();
    trace::Mark(L"typed");
    // Its last read is the last look at the box: Save follows at once.
    CheckTyped(windows, pump, dialog, edit, outputPath, checkStop, bounds, typedFrom);
    trace::Mark(L"read-back");
    checkStop();
    trace::Mark(L"save");
    ClickButton(windows, pump, save);
    WatchClose(windows, pump, dialog, save, checkStop, bounds);
    trace::Mark(L"dialog-gone");
  } catch (...) {
    CancelSaveAsDialog(dialog, windows, pump);
    throw;
  }
  return dialog;
}

}  // namespace tavrolin
