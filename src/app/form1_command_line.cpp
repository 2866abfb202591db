// The command line: paths and switches at the start, and the paths a second start hands over.
#include "app/form1_command_line.h"

#include <shellapi.h>

#include "app/control_ids.h"
#include "common/message_boxes.h"
#include "export/unattended.h"

namespace tavrolin {
namespace {

constexpr wchar_t kOneWindowMutex[] = L"Local\\Tavrolin.OneWindow";
constexpr DWORD kLockMilliseconds = 10000;
constexpr UINT kHandOverMilliseconds = 10000;

std::vector<std::wstring> ProcessArguments() {
  // The split is shell32's, loaded late for a start without arguments to keep it quick.
  if (!HasArguments(GetCommandLineW())) return {};
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  if (!argv) return arguments;
  // The first is the program itself.
  for (int i = 1; i < count; ++i) arguments.emplace_back(argv[i]);
  LocalFree(argv);
  return arguments;
}

// Shows the usage or a refusal where the one who started the program will see it.
void Tell(const std::wstring& text, bool unattended, win::ParentConsole& console, win::ReportWriter& report) {
  if (unattended) {
    report.Line(L"error\t" + text);
    return;
  }
  if (console.Attached()) {
    console.Line(text);
    return;
  }
  MessageBoxW(nullptr, text.c_str(), kAppTitle, MB_OK);
}

}  // namespace

StartRequest ReadStartRequest(win::ParentConsole& console, win::ReportWriter& report) {
  StartRequest start;
  start.line = ParseCommandLine(ProcessArguments());
  const CommandLine& line = start.line;
  const std::wstring& reportFile = line.reportFile;
  // A line naming a report is a script's, also when it is refused: no box waits for a person.
  const bool unattended = (line.exportMode || !reportFile.empty()) && !line.usage;
  // Only a run that is followed or refused in words needs the console; a plain start with
  // paths stays apart from it, so that a Ctrl+C there does not reach the window.
  if (unattended || line.usage || !line.error.empty()) console.Attach();
  if (line.usage) {
    Tell(UsageText(), false, console, report);
    start.exitCode = 0;
    return start;
  }
  std::wstring error = line.error;
  std::vector<std::wstring> paths = line.paths;
  ListEntries list;
  // Read before the report is opened, which empties it: the list may be last night's report.
  if (error.empty() && !line.listFile.empty()) {
    if (std::string bytes; win::ReadSmallFile(line.listFile, bytes, error)) {
      list = PathsOfList(ListText(bytes, win::AnsiText), FolderOf(win::FullPath(line.listFile)));
      for (auto& path : list.paths) paths.push_back(std::move(path));
    }
  }
  // Opened also for a refused line: the script finds why there, and no earlier report stands.
  if (std::wstring why; unattended && !reportFile.empty() && !report.Open(reportFile, why)) {
    if (error.empty()) error = why;
  }
  if (unattended) {
    for (const auto& unread : list.unread) report.Line(UnreadListLine(unread));
  }
  start.unreadLines = static_cast<int>(list.unread.size());
  if (error.empty() && unattended && paths.empty()) error = L"No document was given.";
  if (!error.empty()) {
    // The usage helps a person; a report keeps one line per fact.
    const bool withUsage = !unattended && !line.error.empty();
    Tell(withUsage ? error + L"\n\n" + UsageText() : error, unattended, console, report);
    if (unattended) report.Line(TotalsLine(UnattendedTotals{}, 0));
    start.exitCode = kExitBadCommandLine;
    return start;
  }
  for (const auto& path : paths) start.paths.push_back(win::FullPath(path));
  return start;
}

OneWindowLock::OneWindowLock() {
  mutex_ = CreateMutexW(nullptr, FALSE, kOneWindowMutex);
  if (!mutex_) return;
  const DWORD waited = WaitForSingleObject(mutex_, kLockMilliseconds);
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void OneWindowLock::Release() {
  if (held_) ReleaseMutex(mutex_);
  held_ = false;
  if (mutex_) CloseHandle(mutex_);
  mutex_ = nullptr;
}

bool HandToOpenWindow(const std::vector<std::wstring>& paths) {
  const std::wstring data = EncodeHandedPaths(paths);
  if (data.size() * sizeof(wchar_t) > kMaxHandedBytes) return false;
  COPYDATASTRUCT copy{kHandedPathsTag, static_cast<DWORD>(data.size() * sizeof(wchar_t)),
                      const_cast<wchar_t*>(data.data())};
  // Every window of the class, not only the first: one running unattended refuses them.
  for (HWND window = FindWindowExW(nullptr, nullptr, kForm1Class, nullptr); window;
       window = FindWindowExW(nullptr, window, kForm1Class, nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId()) continue;
    // This process was started by the user and may let the window come forward.
    AllowSetForegroundWindow(pid);
    DWORD_PTR took = FALSE;
    if (SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG,
                            kHandOverMilliseconds, &took) &&
        took == TRUE) {
      return true;
    }
  }
  return false;
}

bool ReadHandedPaths(const COPYDATASTRUCT& data, std::vector<std::wstring>& paths) {
  if (data.dwData != kHandedPathsTag || data.cbData > kMaxHandedBytes || data.cbData % sizeof(wchar_t) != 0) {
    return false;
  }
  paths.clear();
  // A start without paths only brings the window forward.
  if (data.cbData == 0) return true;
  if (!data.lpData) return false;
  auto decoded = DecodeHandedPaths(static_cast<const wchar_t*>(data.lpData), data.cbData / sizeof(wchar_t));
  if (!decoded) return false;
  paths = std::move(*decoded);
  return true;
}

}  // namespace tavrolin
