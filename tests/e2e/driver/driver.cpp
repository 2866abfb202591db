#include "driver/driver.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <vector>

namespace e2e {
namespace {

std::wstring Parent(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

void PumpOwnMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}



}  // namespace

RemoteMemory::RemoteMemory(HWND window, std::size_t size) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
}

RemoteMemory::~RemoteMemory() {
  if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
}

bool RemoteMemory::Write(const void* data, std::size_t n, std::size_t offset) {
  SIZE_T done = 0;
  return WriteProcessMemory(process_, address() + offset, data, n, &done);
}

bool RemoteMemory::Read(void* data, std::size_t n, std::size_t offset) {
  SIZE_T done = 0;
  return ReadProcessMemory(process_, address() + offset, data, n, &done);
}

std::wstring BinDir() {
  wchar_t path[MAX_PATH * 4];
  GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  return Parent(path);
}

std::wstring MakeWorkDir(const std::wstring& name) {
  const std::wstring root = Parent(BinDir()) + L"\\e2e-work";
  CreateDirectoryW(root.c_str(), nullptr);
  const std::wstring dir = root + L"\\" + name;
  RemoveTree(dir);
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

std::wstring ScreenshotDir() {
  const std::wstring dir = Parent(BinDir()) + L"\\screenshots";
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

bool WaitFor(const std::function<bool()>& done, double seconds) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= deadline) return done();
    PumpOwnMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

std::wstring WindowText(HWND window) {
  const auto n = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

RECT WindowRectOnScreen(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

RECT ClientRectOnScreen(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

RECT RectInParent(HWND child) {
  RECT r = WindowRectOnScreen(child);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const wchar_t* className, const wchar_t* title) {
  struct Query {
    DWORD pid;
    const wchar_t* className;
    const wchar_t* title;
    std::vector<HWND> found;
  } query{pid, className, title, {}};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* q = reinterpret_cast<Query*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (q->pid && owner != q->pid) return TRUE;
        if (!IsWindowVisible(window)) return TRUE;
        if (q->className && ClassName(window) != q->className) return TRUE;
        if (q->title && WindowText(window) != q->title) return TRUE;
        q->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&query));
  return query.found;
}

HWND WaitForTopLevel(DWORD pid, const wchar_t* className, const wchar_t* title, double seconds) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        auto windows = TopLevelWindows(pid, className, title);
        found = windows.empty() ? nullptr : windows.front();
        return found != nullptr;
      },
      seconds);
  return found;
}

std::vector<HWND> HiddenWindows(DWORD pid, const wchar_t* className) {
  std::vector<HWND> found;
  for (HWND window = FindWindowExW(nullptr, nullptr, className, nullptr); window;
       window = FindWindowExW(nullptr, window, className, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid) found.push_back(window);
  }
  return found;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> result;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    result.push_back(child);
  }
  return result;
}

HWND ChildWithText(HWND parent, const wchar_t* className, const std::wstring& text) {
  for (HWND child : Children(parent)) {
    if (ClassName(child) == className && WindowText(child) == text) return child;
  }
  return nullptr;
}

MessageBoxView ReadMessageBox(HWND box) {
  MessageBoxView view;
  view.window = box;
  view.caption = WindowText(box);
  for (HWND child : Children(box)) {
    const std::wstring cls = ClassName(child);
    if (cls == L"Button") {
      view.buttons.push_back(WindowText(child));
    } else if (cls == L"Static") {
      const LONG style = GetWindowLongW(child, GWL_STYLE);
      if ((style & SS_TYPEMASK) == SS_ICON) {
        if (IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0)) view.hasIcon = true;
      } else if (!WindowText(child).empty()) {
        view.text = WindowText(child);
      }
    }
  }
  return view;
}

std::optional<MessageBoxView> WaitForMessageBox(DWORD pid, double seconds) {
  HWND box = WaitForTopLevel(pid, L"#32770", nullptr, seconds);
  if (!box) return std::nullopt;
  // The box is complete once its buttons exist.
  WaitFor([&] { return !Children(box).empty(); }, 5);
  return ReadMessageBox(box);
}

bool AnswerMessageBox(const MessageBoxView& box, int buttonId) {
  HWND button = nullptr;
  for (HWND child : Children(box.window)) {
    if (ClassName(child) == L"Button" && GetDlgCtrlID(child) == buttonId) button = child;
  }
  if (!button) return false;
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return WaitFor([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }, 10);
}

bool AnswerMessageBox(const MessageBoxView& box, const std::wstring& buttonCaption) {
  // The English caption names the button; it is pressed by its ID, whatever the box's language.
  const std::pair<const wchar_t*, int> kIds[] = {{L"OK", IDOK}, {L"&Yes", IDYES}, {L"&No", IDNO}, {L"Cancel", IDCANCEL}};
  for (const auto& [caption, id] : kIds) {
    if (buttonCaption == caption) return AnswerMessageBox(box, id);
  }
  HWND button = ChildWithText(box.window, L"Button", buttonCaption);
  if (!button) return false;
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  return WaitFor([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }, 10);
}

void PressButton(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

int ButtonValue(HWND button) {
  return static_cast<int>(SendMessageW(button, BM_GETCHECK, 0, 0));
}

void MoveMouseTo(int x, int y) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  // Absolute input is in 0..65535 over the screen; round up so the pixel is the one asked for.
  input.mi.dx = static_cast<LONG>((x * 65535LL + width - 2) / (width - 1));
  input.mi.dy = static_cast<LONG>((y * 65535LL + height - 2) / (height - 1));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof(input));
  POINT at{};
  GetCursorPos(&at);
  if (at.x != x || at.y != y) SetCursorPos(x, y);
}

bool MovePointerTo(POINT p) {
  MoveMouseTo(p.x, p.y);
  return WaitFor(
      [&] {
        POINT at{};
        GetCursorPos(&at);
        return at.x == p.x && at.y == p.y;
      },
      10);
}

bool HoverUntil(POINT at, const std::function<bool()>& taken) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (attempt > 0) MoveMouseTo(at.x + 1, at.y);
    if (!MovePointerTo(at)) return false;
    if (WaitFor(taken, 0.5)) return true;
  }
  return false;
}

void MouseButton(bool down, bool right) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = right ? (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP)
                           : (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
  SendInput(1, &input, sizeof(input));
}

HCURSOR CurrentCursor() {
  CURSORINFO info{sizeof(info)};
  if (!GetCursorInfo(&info)) return nullptr;
  return info.hCursor;
}

int MousePointerOf(HWND form) {
  return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(form, tavrolin::kMousePointerProperty)));
}

std::vector<std::wstring> ListViewTexts(HWND list) {
  std::vector<std::wstring> texts;
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  constexpr int kChars = 4096;
  RemoteMemory remote(list, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
  if (!remote.address()) return texts;
  for (int i = 0; i < count; ++i) {
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote.address()) + sizeof(LVITEMW));
    item.cchTextMax = kChars;
    remote.Write(&item, sizeof(item));
    const auto n = SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote.address()));
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    if (n > 0) remote.Read(text.data(), n * sizeof(wchar_t), sizeof(LVITEMW));
    texts.push_back(text);
  }
  return texts;
}

std::vector<std::pair<std::wstring, int>> ListViewColumns(HWND list) {
  std::vector<std::pair<std::wstring, int>> columns;
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int count = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  constexpr int kChars = 256;
  RemoteMemory remote(list, sizeof(LVCOLUMNW) + kChars * sizeof(wchar_t));
  for (int i = 0; i < count; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText =
        reinterpret_cast<wchar_t*>(static_cast<char*>(remote.address()) + sizeof(LVCOLUMNW));
    column.cchTextMax = kChars;
    remote.Write(&column, sizeof(column));
    SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(remote.address()));
    LVCOLUMNW back{};
    remote.Read(&back, sizeof(back));
    std::wstring text(kChars, L'\0');
    remote.Read(text.data(), kChars * sizeof(wchar_t), sizeof(LVCOLUMNW));
    text.resize(wcslen(text.c_str()));
    columns.emplace_back(text, back.cx);
  }
  return columns;
}

bool SaveScreenshot(HWND window, const std::wstring& path) {
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window) r = WindowRectOnScreen(window);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  const DWORD stride = ((width * 3 + 3) / 4) * 4;
  const DWORD imageSize = stride * height;
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + imageSize), 0, 0,
                        sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  bool saved = false;
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out) {
    saved = fwrite(&file, sizeof(file), 1, out) == 1 &&
            fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 &&
            fwrite(bits, imageSize, 1, out) == 1;
    fclose(out);
  }
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return saved;
}

std::wstring LookName() {
  wchar_t value[64] = {};
  const DWORD n = GetEnvironmentVariableW(L"TAVROLIN_E2E_LOOK", value, 64);
  return n > 0 && n < 64 ? std::wstring(value, n) : std::wstring();
}

std::wstring LookSuffix() {
  const std::wstring look = LookName();
  return look.empty() ? L"" : L"_" + look;
}

namespace {
constexpr wchar_t kThemeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";

std::optional<std::wstring> ReadThemeValue(HKEY key, const wchar_t* name) {
  wchar_t data[512] = {};
  DWORD size = sizeof(data) - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  return std::wstring(data);
}

void WriteThemeValue(HKEY key, const std::wstring& name, const std::optional<std::wstring>& value) {
  if (!value) {
    RegDeleteValueW(key, name.c_str());
    return;
  }
  RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                 static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
}
}  // namespace

LookScope::LookScope(const std::wstring& look) {
  if (look != L"light" && look != L"classic") return;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kThemeKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  const std::pair<const wchar_t*, const wchar_t*> values[] = {
      {L"DllName", L"C:\\windows\\resources\\themes\\light\\light.msstyles"},
      {L"ColorName", L"Blue"},
      {L"SizeName", L"NormalSize"},
      {L"ThemeActive", look == L"light" ? L"1" : L"0"},
  };
  for (const auto& [name, value] : values) {
    saved_.emplace_back(name, ReadThemeValue(key, name));
    WriteThemeValue(key, name, std::wstring(value));
  }
  RegCloseKey(key);
}

LookScope::~LookScope() {
  if (saved_.empty()) return;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kThemeKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
  for (const auto& [name, value] : saved_) WriteThemeValue(key, name, value);
  RegCloseKey(key);
}

App::App(const std::wstring& exePath) {
  std::wstring exe = exePath.empty() ? BinDir() + L"\\tavrolin.exe" : exePath;
  std::wstring commandLine = L"\"" + exe + L"\"";
  STARTUPINFOW startup{sizeof(startup)};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      Parent(exe).c_str(), &startup, &process_)) {
    return;
  }
  pid_ = process_.dwProcessId;
  window_ = WaitForTopLevel(pid_, L"TavrolinForm1", L"Tavrolin", 60);
}

App::~App() {
  if (process_.hProcess) {
    if (Running()) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
}

bool App::Running() const {
  return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool App::WaitExit(double seconds) {
  return WaitFor([&] { return !Running(); }, seconds);
}

bool App::Close(double seconds) {
  PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
  return WaitExit(seconds);
}

}  // namespace e2e
