#include "driver/export_driver.h"

#include <windows.h>
#include <commctrl.h>

namespace e2e {
namespace {

constexpr int kFileNameCombo = 0x47c;  // cmb13 of the explorer-style dialog
constexpr int kFileNameEdit = 0x480;   // edt1 of the older template

HWND FileNameBox(HWND dialog) {
  if (HWND combo = GetDlgItem(dialog, kFileNameCombo)) {
    if (HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr)) return edit;
    return combo;
  }
  return GetDlgItem(dialog, kFileNameEdit);
}

}  // namespace

bool AddThroughOpenDialog(const App& app, const std::wstring& fileName, double seconds) {
  HWND list = app.Control(tavrolin::kIdListView1);
  const auto before = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
  PressButton(app.Control(tavrolin::kIdCheck1));
  HWND dialog = WaitForTopLevel(app.Pid(), L"#32770", kAddFilesTitle, seconds);
  if (!dialog) return false;
  HWND box = nullptr;
  if (!WaitFor([&] { return (box = FileNameBox(dialog)) != nullptr; }, seconds)) return false;
  SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fileName.c_str()));
  HWND open = GetDlgItem(dialog, IDOK);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(open));
  if (!WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, seconds)) return false;
  return WaitFor([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) > before; }, seconds);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace e2e
