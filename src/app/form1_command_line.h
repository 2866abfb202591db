#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "export/win/unattended_win.h"

namespace tavrolin {

// WM_COPYDATA's tag for the paths a second start hands to the open window.
inline constexpr ULONG_PTR kHandedPathsTag = 0x54764C31;  // "TvL1"
// More than a command line and a list file of any sensible size hold.
inline constexpr DWORD kMaxHandedBytes = 64 * 1024 * 1024;

// How the program was started, once the command line and the list file are read.
struct StartRequest {
  CommandLine line;
  std::vector<std::wstring> paths;  // full paths, the command line's first, then the list's
  int unreadLines = 0;              // lines of the list that were not taken, in the report already
  int exitCode = -1;                // >= 0: the program ends with it at once
};

// Reads the process's command line (split as the platform splits it) and the list file; a bad
// line or an unreadable file is told (a box when interactive; the console and the report
// otherwise) and gives exit code 3. `report` is opened here for an unattended run, once every
// list is read, and also for a refused line that names one.
StartRequest ReadStartRequest(win::ParentConsole& console, win::ReportWriter& report);

// Held from the start until this process's window exists, so that two starts at once make one
// window between them. Bounded: a start that cannot get it goes on after a few seconds.
class OneWindowLock {
 public:
  OneWindowLock();
  ~OneWindowLock() { Release(); }
  OneWindowLock(const OneWindowLock&) = delete;
  OneWindowLock& operator=(const OneWindowLock&) = delete;
  void Release();

 private:
  HANDLE mutex_ = nullptr;
  bool held_ = false;
};

// Hands `paths` to an open Tavrolin window of this desktop that takes them, and lets it come
// forward; false when none took them.
bool HandToOpenWindow(const std::vector<std::wstring>& paths);

// The receiving side: the paths of a WM_COPYDATA, checked and copied; false when it is not such.
bool ReadHandedPaths(const COPYDATASTRUCT& data, std::vector<std::wstring>& paths);

}  // namespace tavrolin
