// The unattended run of /export, and the paths a second start hands to the open window.
#include "app/form1_unattended.h"

#include <atomic>

#include "app/control_ids.h"
#include "app/form1_command_line.h"
#include "app/form1_export.h"
#include "common/win/pump.h"
#include "doclist/add_files.h"
#include "export/win/unattended_win.h"

namespace tavrolin {
namespace {

// Posted by Start: the run starts from the message loop, as a press would.
constexpr UINT kStartUnattendedMessage = WM_APP + 2;
// Windows ends a process about 5 seconds after a closed console, and lets a session's end wait
// little longer: the run's close gets what is left with a margin.
constexpr DWORD kUnwindMilliseconds = 4500;

std::atomic<HWND> runWindow{nullptr};
std::atomic<HANDLE> unwoundEvent{nullptr};

LRESULT CALLBACK SessionEndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_QUERYENDSESSION) return TRUE;
  if (message == WM_ENDSESSION) {
    // The UI thread unwinds the run meanwhile: its own window could not wait for the frames
    // below it, and the process may be ended as soon as every window has returned from this.
    if (wParam) {
      RunEnd::Close();
      RunEnd::AwaitUnwound();
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI SessionEndThread(void*) {
  WNDCLASSEXW wc{sizeof(wc)};
  wc.lpfnWndProc = SessionEndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kSessionEndClass;
  RegisterClassExW(&wc);
  // Top-level and never shown: a message-only window is told nothing of the session.
  if (!CreateWindowExW(WS_EX_TOOLWINDOW, kSessionEndClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                       wc.hInstance, nullptr)) {
    return 1;
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace

void UnattendedRun::AddStartPaths(const std::vector<std::wstring>& paths) { AppendDropped(documents_, paths); }

void UnattendedRun::Start(ReportSink& report, const StartRequest& start) {
  report_ = &report;
  line_ = start.line;
  unreadLines_ = start.unreadLines;
  RunEnd::Begin();
  PostMessageW(form_, kStartUnattendedMessage, 0, 0);
}

std::optional<int> UnattendedRun::ExitCode() const {
  if (!report_) return std::nullopt;
  return exitCode_;
}

bool UnattendedRun::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_QUERYENDSESSION:
      if (!running_ && !export_.Running()) return false;
      // Said by Windows beside the program while the session waits for it.
      ShutdownBlockReasonCreate(form_, L"Exporting documents to PDF");
      result = TRUE;
      return true;
    case WM_ENDSESSION: {
      // Only started here: the run unwinds in the frames below, held for by the hidden window.
      const bool running = running_ || export_.Running();
      if (wParam && running) PostMessageW(form_, WM_CLOSE, 0, 0);
      result = 0;
      return running;
    }
    case kStartUnattendedMessage:
      Run();
      result = 0;
      return true;
    case WM_COPYDATA:
      result = lParam ? OnHandedPaths(*reinterpret_cast<const COPYDATASTRUCT*>(lParam)) : FALSE;
      return true;
    default:
      return false;
  }
}

void UnattendedRun::Run() {
  ReportSink& sink = *report_;
  win::Win32DocumentFacts facts;
  UnattendedReport report(sink, facts, win::UiPump(), line_.skipExisting, documents_.Count());
  report.ListLinesUnread(unreadLines_);
  running_ = true;
  // Both checked before the first document, so that a missing one touches nothing.
  ExportChoices choices{line_.viaWord ? ExportRoad::Word : ExportRoad::Printer, {line_.pdfa, line_.markup}};
  if (!line_.outFolder.empty()) choices.folder = win::FullPath(line_.outFolder);
  if (const std::wstring missing = win::MissingPrerequisite(choices.road == ExportRoad::Printer); !missing.empty()) {
    report.PrerequisiteMissing(missing);
  } else {
    UnattendedBoxes boxes(sink);
    if (!export_.RunUnattended(boxes, report, choices)) {
      report.PrerequisiteMissing(L"The export could not start: Word's automation is not available.");
    }
  }
  exitCode_ = report.Close();
  running_ = false;
  RunEnd::Unwound();
  if (IsWindow(form_)) DestroyWindow(form_);
}

LRESULT UnattendedRun::OnHandedPaths(const COPYDATASTRUCT& data) {
  // An unattended run ends with its own list: paths added now would never be exported.
  if (report_) return FALSE;
  std::vector<std::wstring> paths;
  if (!ReadHandedPaths(data, paths)) return FALSE;
  AppendDropped(documents_, paths);
  if (IsIconic(form_)) ShowWindow(form_, SW_RESTORE);
  SetForegroundWindow(form_);
  return TRUE;
}

void RunEnd::Watch(HWND form) {
  runWindow = form;
  // Set while no run is under way: an end then waits for nothing.
  if (!unwoundEvent.load()) unwoundEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  if (HANDLE thread = CreateThread(nullptr, 0, SessionEndThread, nullptr, 0, nullptr)) CloseHandle(thread);
}

void RunEnd::Begin() {
  if (HANDLE event = unwoundEvent.load()) ResetEvent(event);
}

void RunEnd::Close() {
  if (HWND window = runWindow.load()) PostMessageW(window, WM_CLOSE, 0, 0);
}

bool RunEnd::AwaitUnwound() {
  HANDLE event = unwoundEvent.load();
  return !event || WaitForSingleObject(event, kUnwindMilliseconds) == WAIT_OBJECT_0;
}

void RunEnd::Unwound() {
  // A window that stays open must not go on saying that it exports.
  if (HWND window = runWindow.load()) ShutdownBlockReasonDestroy(window);
  if (HANDLE event = unwoundEvent.load()) SetEvent(event);
}

}  // namespace tavrolin
