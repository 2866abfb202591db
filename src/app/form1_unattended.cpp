// The unattended run of /export, and the paths a second start hands to the open window.
#include "app/form1_unattended.h"

#include "app/form1_command_line.h"
#include "app/form1_export.h"
#include "common/win/pump.h"
#include "doclist/add_files.h"
#include "export/win/unattended_win.h"

namespace tavrolin {
namespace {

// Posted by Start: the run starts from the message loop, as a press would.
constexpr UINT kStartUnattendedMessage = WM_APP + 2;

}  // namespace

void UnattendedRun::AddStartPaths(const std::vector<std::wstring>& paths) { AppendDropped(documents_, paths); }

void UnattendedRun::Start(ReportSink& report, const StartRequest& start) {
  report_ = &report;
  line_ = start.line;
  unreadLines_ = start.unreadLines;
  PostMessageW(form_, kStartUnattendedMessage, 0, 0);
}

std::optional<int> UnattendedRun::ExitCode() const {
  if (!report_) return std::nullopt;
  return exitCode_;
}

bool UnattendedRun::OnMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
  switch (message) {
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
  // Both checked before the first document, so that a missing one touches nothing.
  if (const std::wstring missing = win::MissingPrerequisite(); !missing.empty()) {
    report.PrerequisiteMissing(missing);
  } else {
    UnattendedBoxes boxes(sink);
    if (!export_.RunUnattended(boxes, report)) {
      report.PrerequisiteMissing(L"The export could not start: Word's automation is not available.");
    }
  }
  exitCode_ = report.Close();
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

}  // namespace tavrolin
