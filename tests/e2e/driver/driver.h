#pragma once
// A small Win32 driver that acts on the real tavrolin.exe as a user would: finds its windows,
// reads texts and rectangles, presses buttons, answers message boxes, takes screenshots.
// Every wait polls a condition with a deadline.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "shared/test_files.h"

namespace e2e {

// The folder of the running test program (bin/, beside tavrolin.exe).
std::wstring BinDir();
// A fresh, empty folder for one test's files (under the build folder's e2e-work/).
std::wstring MakeWorkDir(const std::wstring& name);
std::wstring ScreenshotDir();
using testfiles::RemoveTree;

// Polls `done` every 20 ms (pumping this thread's messages) until it holds or `seconds` pass.
bool WaitFor(const std::function<bool()>& done, double seconds);

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
RECT WindowRectOnScreen(HWND window);
RECT ClientRectOnScreen(HWND window);
// A child's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child);

// Visible top-level windows of a process, optionally of one class and title.
std::vector<HWND> TopLevelWindows(DWORD pid, const wchar_t* className = nullptr,
                                  const wchar_t* title = nullptr);
// The process's windows of a class, hidden ones too (which TopLevelWindows does not list).
std::vector<HWND> HiddenWindows(DWORD pid, const wchar_t* className);
HWND WaitForTopLevel(DWORD pid, const wchar_t* className, const wchar_t* title, double seconds);
// Direct children in z-order.
std::vector<HWND> Children(HWND parent);
HWND ChildWithText(HWND parent, const wchar_t* className, const std::wstring& text);

// A message box (class "#32770") as the user sees it.
struct MessageBoxView {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
  std::vector<std::wstring> buttons;  // button captions in z-order
  bool hasIcon = false;
};
MessageBoxView ReadMessageBox(HWND box);
// The first message box of the process that appears within `seconds`.
std::optional<MessageBoxView> WaitForMessageBox(DWORD pid, double seconds);
// Presses the button with that control ID (IDOK, IDYES, IDNO, IDCANCEL) and waits for the box
// to close.
bool AnswerMessageBox(const MessageBoxView& box, int buttonId);
// The same for the button that an English box captions so ("OK", "&Yes", "&No", "Cancel"):
// pressed by its ID, so that it works in every language. Another caption is looked for as text.
bool AnswerMessageBox(const MessageBoxView& box, const std::wstring& buttonCaption);

// Presses a button as a click would: the notification goes through the window's own handler.
void PressButton(HWND button);
int ButtonValue(HWND button);

// The pointer: moves it with real input events and reads the shape shown.
void MoveMouseTo(int x, int y);
// Moves it there and waits until the system reports it there; false after 10 s.
bool MovePointerTo(POINT p);
// Now and then a single injected move never reaches the window under Xvfb: as a hand would, the
// pointer is moved on by a pixel and back until `taken` holds, within ten seconds.
bool HoverUntil(POINT at, const std::function<bool()>& taken);
void MouseButton(bool down, bool right = false);
HCURSOR CurrentCursor();
// The main window's pointer setting: 0 default, 11 hourglass, 99 the custom hand.
int MousePointerOf(HWND form);

// Memory in another process, for the control messages that take a pointer.
class RemoteMemory {
 public:
  RemoteMemory(HWND window, std::size_t size);
  ~RemoteMemory();
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  char* address() const { return static_cast<char*>(address_); }
  bool Write(const void* data, std::size_t n, std::size_t offset = 0);
  bool Read(void* data, std::size_t n, std::size_t offset = 0);

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
};

// List view contents, read across processes.
std::vector<std::wstring> ListViewTexts(HWND list);
std::vector<std::pair<std::wstring, int>> ListViewColumns(HWND list);

// Saves the screen area of a window (or the whole screen for nullptr) as a .bmp file.
bool SaveScreenshot(HWND window, const std::wstring& path);

// The look a scenario runs in, named by the variable TAVROLIN_E2E_LOOK: "light" (Wine's visual
// style on), "classic" (off), or empty (the prefix as it is).
std::wstring LookName();
// "_light", "_classic" or "": the ending of a screenshot's name.
std::wstring LookSuffix();

// Switches the visual style in the prefix's registry for the programs started afterwards and
// puts the earlier values back at the end.
class LookScope {
 public:
  explicit LookScope(const std::wstring& look);
  ~LookScope();
  LookScope(const LookScope&) = delete;
  LookScope& operator=(const LookScope&) = delete;

 private:
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> saved_;
};

// The running tavrolin.exe, started in LookName()'s look; ended at destruction if still running.
class App {
 public:
  explicit App(const std::wstring& exePath = L"");
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  bool Started() const { return window_ != nullptr; }
  HWND Window() const { return window_; }
  DWORD Pid() const { return pid_; }
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  bool Running() const;
  // Closes the window as its close box would and waits for the process to end.
  bool Close(double seconds = 20);
  bool WaitExit(double seconds);

 private:
  LookScope look_{LookName()};
  PROCESS_INFORMATION process_{};
  DWORD pid_ = 0;
  HWND window_ = nullptr;
};


}  // namespace e2e
