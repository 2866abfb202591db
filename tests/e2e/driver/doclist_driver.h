#pragma once
// Driving the document list of the running program: the open-file dialog as a user fills it in,
// rows of the list on the screen, clicks and the list's selection.
#include <windows.h>

#include <string>
#include <vector>

#include "driver/driver.h"

namespace e2e {

// The open-file dialog of "Add Word File(s)", once it is shown (null after `seconds`).
HWND WaitForOpenDialog(DWORD pid, double seconds = 30);
// The dialog's file name box.
HWND FileNameBox(HWND dialog);
// Types each text into the file name box and presses Open; every text but the last is expected
// to keep the dialog open (a folder to go into). Waits for the dialog to close.
bool FillOpenDialog(HWND dialog, const std::vector<std::wstring>& typed);
// Presses "Add Word File(s)" and completes the dialog with `typed`.
bool AddFilesThroughDialog(const App& app, const std::vector<std::wstring>& typed);

// The selected row (from 0), or -1.
int ListViewSelection(HWND list);
// The screen point in the middle of a row's text.
POINT ListViewRowPoint(HWND list, int index);
bool WaitForListTexts(HWND list, const std::vector<std::wstring>& expected, double seconds = 10);

// Mouse clicks with real input at the pointer's current place.
void Click(bool right = false);
void DoubleClick();

}  // namespace e2e
