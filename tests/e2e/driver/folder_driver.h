#pragma once
// Driving the input box and the shell's folder picker of " Add All Word Files In Folder".
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace e2e {

// Keyboard input as a user types it, to whatever window has the focus.
void PressKey(WORD virtualKey);
void TypeText(const std::wstring& text);

// The first visible dialog (class "#32770") of the process that holds a child with `text`,
// within `seconds`.
HWND WaitForDialogWithText(DWORD pid, const std::wstring& text, double seconds);

// Tree view items of the folder picker, read across processes.
std::wstring TreeItemText(HWND tree, HTREEITEM item);
std::wstring TreeSelectedText(HWND tree);
// The texts of the visible items, expanded ones followed by their children (for messages).
std::vector<std::wstring> TreeVisibleTexts(HWND tree);

// Steps found by the tree's structure rather than by names in the system's language: the tree's
// root (the desktop), and among its children the one that holds drive C: (the computer).
inline const std::wstring kTreeRoot = L"<the tree's root>";
inline const std::wstring kDrivesItem = L"<the item that holds the drives>";
// The steps to `folders` (each inside the one before) at the root of drive C:.
std::vector<std::wstring> StepsOnDriveC(const std::vector<std::wstring>& folders);

// Walks the picker's tree with the keyboard: the first step is looked for among the current
// item and the siblings after it (Down); each further step expands the current item (Right),
// goes to its first child (Right) and on (Down) to the child whose text holds the step (or that
// is the step's item, for kTreeRoot and kDrivesItem). Gives
// whether every step arrived; `trace` tells where it went.
bool PickByKeyboard(HWND tree, const std::vector<std::wstring>& steps, std::wstring& trace);
// The picker's tree, once it shows items, walked by PickByKeyboard; then Return chooses.
bool PickInPicker(HWND picker, const std::vector<std::wstring>& steps, std::wstring& trace);

}  // namespace e2e
