#include "driver/doclist_driver.h"

#include <commctrl.h>

#include "doclist/add_files.h"

namespace e2e {

HWND WaitForOpenDialog(DWORD pid, double seconds) {
  return WaitForTopLevel(pid, L"#32770", tavrolin::kOpenDialogTitle, seconds);
}

HWND FileNameBox(HWND dialog) {
  // Explorer-style dialogs keep the name in the edit of combo box cmb13, older ones in edt1.
  if (HWND combo = GetDlgItem(dialog, 0x47C)) {
    if (HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr)) return edit;
    return combo;
  }
  return GetDlgItem(dialog, 0x480);
}

bool FillOpenDialog(HWND dialog, const std::vector<std::wstring>& typed) {
  HWND box = nullptr;
  if (!WaitFor([&] { return (box = FileNameBox(dialog)) != nullptr; }, 10)) return false;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed[i].c_str()));
    if (i + 1 < typed.size()) {
      // Going into a folder keeps the dialog, so the press can wait for its handling.
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(dialog, WM_COMMAND, IDOK, 0, SMTO_NORMAL, 10000, &ignored);
    } else {
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
  }
  return WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 20);
}

bool AddFilesThroughDialog(const App& app, const std::vector<std::wstring>& typed) {
  PressButton(app.Control(tavrolin::kIdCheck1));
  HWND dialog = WaitForOpenDialog(app.Pid());
  return dialog && FillOpenDialog(dialog, typed);
}

int ListViewSelection(HWND list) {
  return static_cast<int>(
      SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

POINT ListViewRowPoint(HWND list, int index) {
  // LVM_GETITEMRECT needs memory in the list's process.
  POINT at{-1, -1};
  RemoteMemory remote(list, sizeof(RECT));
  RECT rect{LVIR_LABEL, 0, 0, 0};
  if (remote.address() && remote.Write(&rect, sizeof(rect)) &&
      SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(remote.address())) &&
      remote.Read(&rect, sizeof(rect))) {
    at = {rect.left + 20, (rect.top + rect.bottom) / 2};
    ClientToScreen(list, &at);
  }
  return at;
}

bool WaitForListTexts(HWND list, const std::vector<std::wstring>& expected, double seconds) {
  return WaitFor([&] { return ListViewTexts(list) == expected; }, seconds);
}

void Click(bool right) {
  MouseButton(true, right);
  MouseButton(false, right);
}

void DoubleClick() {
  Click();
  Click();
}

}  // namespace e2e
