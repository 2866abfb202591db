// Time per document through the platform's own "Save As" dialog ("system") against the
// hand-made one ("plain"), under Wine with the stand-in Word and printer: for each, the slope
// between a run of 1 and a run of 4 documents, so start-up does not count. One run each.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/win/pump.h"
#include "driver/doclist_driver.h"
#include "driver/driver.h"
#include "driver/export_driver.h"
#include "testbed/client/testbed_client.h"

namespace testbed = tavrolin::testbed;

namespace {

double Now() { return tavrolin::win::UiPump().Now(); }

// Seconds from the press of "Export to PDF" to "Done."; negative on failure.
double TimeRun(const std::wstring& kind, int count) {
  const std::wstring dir = e2e::MakeWorkDir(L"bench_dialog_" + kind + L"_" + std::to_wstring(count));
  testbed::Settings settings;
  settings.saveAsDialog = kind;
  settings.dialogDelayMs = 0;
  testbed::Apply(settings);
  e2e::App app;
  if (!app.Started()) return -1;
  for (int i = 1; i <= count; ++i) {
    const std::wstring path = dir + L"\\doc" + std::to_wstring(i) + L".docx";
    e2e::WriteFileBytes(path, "Document " + std::to_string(i) + "\r\n");
    if (!e2e::AddFilesThroughDialog(app, {path})) return -1;
  }
  const double start = Now();
  e2e::PressButton(app.Control(tavrolin::kIdCheck2));
  double took = -1;
  e2e::WaitFor(
      [&] {
        if (e2e::TopLevelWindows(app.Pid(), L"#32770").empty()) return false;
        took = Now() - start;
        return true;
      },
      300);
  const auto box = e2e::WaitForMessageBox(app.Pid(), 1);
  if (!box || box->text != L"Done.") return -1;
  e2e::AnswerMessageBox(*box, L"OK");
  testbed::WaitNoStandIns(std::chrono::seconds(30));
  return took;
}

}  // namespace

int wmain() {
  testbed::KillStandIns();
  double perDocument[2] = {};
  const wchar_t* kinds[2] = {L"plain", L"system"};
  for (int k = 0; k < 2; ++k) {
    const double one = TimeRun(kinds[k], 1);
    const double four = TimeRun(kinds[k], 4);
    if (one < 0 || four < 0) {
      std::printf("dialog: a timed run through \"%ls\" failed\n", kinds[k]);
      testbed::Reset();
      return 1;
    }
    perDocument[k] = (four - one) / 3;
    std::printf("dialog: %-6ls run of 1 document %.2f s, of 4 documents %.2f s: %.3f s per document\n", kinds[k], one,
                four, perDocument[k]);
  }
  testbed::Reset();
  std::printf("dialog: per-document time through the platform's dialog against the hand-made one: ratio %.3f\n",
              perDocument[1] / perDocument[0]);
  return 0;
}
