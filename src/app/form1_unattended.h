#pragma once
#include <windows.h>

#include <optional>
#include <vector>

#include "app/form1_command_line.h"
#include "doclist/document_list.h"
#include "export/unattended.h"

namespace tavrolin {

class ExportFeature;

// The window's part of a start from the command line: the unattended run of /export, with its
// report and exit code, and the paths a later start hands over.
class UnattendedRun final {
 public:
  UnattendedRun(HWND form, DocumentList& documents, ExportFeature& exporter)
      : form_(form), documents_(documents), export_(exporter) {}
  UnattendedRun(const UnattendedRun&) = delete;
  UnattendedRun& operator=(const UnattendedRun&) = delete;

  // Paths from the command line, added as a drop adds them.
  void AddStartPaths(const std::vector<std::wstring>& paths);
  // Exports the list once the message loop runs, as the start's command line asks, reporting to
  // `report`; the window then closes by itself. Paths handed over by a later start are refused
  // meanwhile.
  void Start(ReportSink& report, const StartRequest& start);
  bool Active() const { return report_ != nullptr; }
  // The run's exit code, once the window is gone; nothing for an interactive start.
  std::optional<int> ExitCode() const;

  // The window's messages this part answers: true when `result` is the answer.
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  void Run();
  // WM_COPYDATA from a second start: TRUE when its paths were taken.
  LRESULT OnHandedPaths(const COPYDATASTRUCT& data);

  HWND form_;
  DocumentList& documents_;
  ExportFeature& export_;
  ReportSink* report_ = nullptr;  // set for an unattended start
  CommandLine line_;              // what the command line asked of the run
  int unreadLines_ = 0;           // lines of the list that were not taken
  bool running_ = false;
  int exitCode_ = kExitStopped;   // until the run has ended
};

// The end of the session, or of the console a run was started from, ends the process seconds
// after it is signalled. The run is closed as closing its window closes it, and whoever would
// let the process end is held, bounded by what Windows allows, until the run has unwound.
class RunEnd final {
 public:
  // Once, as the window is made: the window whose close ends a run, and a hidden window of a
  // thread of its own that holds WM_ENDSESSION while the UI thread unwinds a run.
  static void Watch(HWND form);
  // On the UI thread, as a run (unattended or the window's) starts.
  static void Begin();
  // From any thread: closes the run's window.
  static void Close();
  // From any thread: false when the run had not unwound within the bound.
  static bool AwaitUnwound();
  // On the UI thread, once the run has unwound (an unattended one: once the report's last line
  // is written).
  static void Unwound();
};

}  // namespace tavrolin
