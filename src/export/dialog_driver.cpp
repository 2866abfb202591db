#include "export/dialog_driver.h"

#include <algorithm>

#include "common/message_params.h"
#include "common/text.h"
#include "export/word.h"

namespace tavrolin {
namespace {

constexpr wchar_t kDialogTitle[] = L"Save As";
constexpr wchar_t kEditClass[] = L"Edit";
constexpr wchar_t kButtonClass[] = L"Button";
constexpr wchar_t kSaveText[] = L"&Save";
constexpr wchar_t kCancelText[] = L"Cancel";
constexpr wchar_t kStep[] = L"\"Save As\" dialog";

// Every top-level "Save As" dialog, in z-order.
template <typename Visit>
void ForEachSaveAsDialog(WindowLayer& windows, Visit visit) {
  const std::wstring title = kDialogTitle;
  WindowId window = 0;
  for (;;) {
    const WindowId next = windows.FindWindowAfter(0, window, kDialogClass, &title);
    // A search that does not move on would never end.
    if (next == 0 || next == window) return;
    if (visit(next)) return;
    window = next;
  }
}

WindowId FindNewDialog(WindowLayer& windows, const DialogSnapshot& before) {
  WindowId found = 0;
  ForEachSaveAsDialog(windows, [&](WindowId dialog) {
    if (std::find(before.existing.begin(), before.existing.end(), dialog) != before.existing.end()) {
      return false;
    }
    found = dialog;
    return true;
  });
  return found;
}

}  // namespace

DialogSnapshot SnapshotSaveAsDialogs(WindowLayer& windows, EventPump& pump) {
  DialogSnapshot snapshot;
  ForEachSaveAsDialog(windows, [&](WindowId dialog) {
    snapshot.existing.push_back(dialog);
    return false;
  });
  snapshot.takenAt = pump.Now();
  return snapshot;
}

namespace {

void ClickButton(WindowLayer& windows, EventPump& pump, WindowId button) {
  windows.PostNarrow(button, kWmLButtonDown, kMkLButton, MakeLong(0, 0));
  pump.DoEvents();
  windows.PostNarrow(button, kWmLButtonUp, kMkLButton, MakeLong(0, 0));
  pump.DoEvents();
}

// Finds the dialog and its edit box; the dialog is handed out as soon as it is found.
WindowId FindEditBox(const DialogSnapshot& before, WindowLayer& windows, EventPump& pump,
                     const std::function<void()>& checkStop, const DialogBounds& bounds, WindowId& dialog) {
  // The bound counts from the print call, not from here.
  const double dialogLeft = bounds.dialogSeconds - (pump.Now() - before.takenAt);
  const bool dialogFound = WaitUntil(
      pump,
      [&] {
        checkStop();
        dialog = FindNewDialog(windows, before);
        return dialog != 0;
      },
      std::max(0.0, dialogLeft));
  if (!dialogFound) {
    throw AutomationError(kStep, L"The printer's \"Save As\" dialog did not appear within " +
                                     SecondsText(bounds.dialogSeconds) + L".");
  }

  WindowId edit = 0;
  const bool editFound = WaitUntil(
      pump,
      [&] {
        checkStop();
        edit = windows.FindWindowAfter(dialog, 0, kEditClass, nullptr);
        return edit != 0;
      },
      bounds.editBoxSeconds);
  if (!editFound) {
    throw AutomationError(kStep, L"The printer's \"Save As\" dialog showed no file name box within " +
                                     SecondsText(bounds.editBoxSeconds) + L".");
  }
  return edit;
}

}  // namespace

void CancelSaveAsDialog(WindowId dialog, WindowLayer& windows, EventPump& pump) {
  if (dialog == 0) return;
  bool open = false;
  ForEachSaveAsDialog(windows, [&](WindowId each) { return open = each == dialog; });
  if (!open) return;
  const std::wstring cancelText = kCancelText;
  if (const WindowId cancel = windows.FindWindowAfter(dialog, 0, kButtonClass, &cancelText)) {
    ClickButton(windows, pump, cancel);
  }
}

WindowId CompleteSaveAsDialog(const std::wstring& outputPath, const DialogSnapshot& before,
                              WindowLayer& windows, EventPump& pump,
                              const std::function<bool()>& stopRequested, const DialogBounds& bounds) {
  const auto checkStop = [&] {
    if (stopRequested && stopRequested()) throw StopRequested();
  };
  WindowId dialog = 0;
  WindowId edit = 0;
  try {
    edit = FindEditBox(before, windows, pump, checkStop, bounds, dialog);

    // The dialog takes input only a moment after its box exists.
    WaitSeconds(pump, bounds.typingPauseSeconds, stopRequested);
    checkStop();
  } catch (...) {
    CancelSaveAsDialog(dialog, windows, pump);
    throw;
  }

  // Repeat count 1, scan code 0x30, no flags.
  const std::int32_t keyData = MakeLong(1, 48);
  for (const wchar_t character : outputPath) {
    pump.DoEvents();
    if (const auto code = windows.AnsiCode(character)) {
      windows.PostNarrow(edit, kWmChar, static_cast<std::intptr_t>(*code), keyData);
    } else {
      // The ANSI form would turn it into "?"; the Unicode form keeps the path whole.
      windows.PostWide(edit, kWmChar, static_cast<std::uintptr_t>(character), keyData);
    }
  }
  pump.DoEvents();

  const std::wstring saveText = kSaveText;
  const WindowId save = windows.FindWindowAfter(dialog, edit, kButtonClass, &saveText);
  pump.DoEvents();
  if (save != 0) ClickButton(windows, pump, save);
  return dialog;
}

}  // namespace tavrolin
