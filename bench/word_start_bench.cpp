// Word's start out of the way, with a Word that takes 1.5 s to start, as a real one loading
// add-ins from a cold disk does. The print road: the time per document with the next Word
// started while the printer finishes each PDF and in the pause after it, against starting it
// only after the last one quit (the tests' hook "spare=0"); goal: ratio at most 0.80. Per
// document there is the mean time from one PDF written to the next in a run of 5, as the
// stand-in printer logs them: a batch's steady cycle, without the program's start, the first
// Word's start (never overlapped, and under Wine 2-3 s by its once-a-second poll, which made a
// slope between two runs swing by half a second a document) and the run's end. Word's road
// (`/export /via:word`): one Word for many documents against one Word per document (the hook
// "perword=1"); goal: at most 0.50. Per document there is the slope between runs of 1 and 4
// documents, so the program's start and the question about a running Word do not count.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/control_ids.h"
#include "driver/doclist_driver.h"
#include "driver/driver.h"
#include "driver/export_driver.h"
#include "support/timed_export.h"
#include "testbed/client/testbed_client.h"

namespace testbed = tavrolin::testbed;

namespace {

constexpr unsigned kWordStartMs = 1500;

constexpr int kPrintRoadDocuments = 5;

// Seconds from one PDF written to the next, on average, in a run of `count` documents started
// with "Export to PDF" and ended with "Done."; negative on failure.
double TimeRun(const std::wstring& dir, int count, bool startInPause) {
  testbed::Settings settings;
  settings.dialogDelayMs = 0;
  settings.pdfDelayMs = 0;
  settings.startupDelayMs = kWordStartMs;
  settings.logFile = dir + L"\\calls.log";
  testbed::Apply(settings);
  SetEnvironmentVariableW(e2e::kBoundsVariable, startInPause ? nullptr : L"spare=0");
  e2e::App app;
  SetEnvironmentVariableW(e2e::kBoundsVariable, nullptr);
  if (!app.Started()) return -1;
  for (int i = 1; i <= count; ++i) {
    const std::wstring path = dir + L"\\doc" + std::to_wstring(i) + L".docx";
    e2e::WriteFileBytes(path, "Document " + std::to_string(i) + "\r\n");
    if (!e2e::AddFilesThroughDialog(app, {path})) return -1;
  }
  e2e::PressButton(app.Control(tavrolin::kIdCheck2));
  e2e::WaitFor([&] { return !e2e::TopLevelWindows(app.Pid(), L"#32770").empty(); }, 300);
  const auto box = e2e::WaitForMessageBox(app.Pid(), 1);
  if (!box || box->text != L"Done.") {
    std::printf("export: the run of %d ended with: %ls\n", count, box ? box->text.c_str() : L"no message");
    return -1;
  }
  e2e::AnswerMessageBox(*box, L"OK");
  testbed::WaitNoStandIns(std::chrono::seconds(30));
  const auto written = testbed::EventsOf(testbed::ReadLog(settings.logFile), L"pdf-written");
  if (static_cast<int>(written.size()) != count) {
    std::printf("export: the run of %d wrote %zu PDFs\n", count, written.size());
    return -1;
  }
  return (written.back().t - written.front().t) / (count - 1);
}

double TimeWordRoad(const std::wstring& dir, int count, bool onePerDocument) {
  testbed::Settings settings;
  settings.startupDelayMs = kWordStartMs;
  testbed::Apply(settings);
  return bench::TimeUnattendedExport(dir, count, L"/via:word", onePerDocument ? L"perword=1" : nullptr);
}

}  // namespace

int wmain() {
  testbed::KillStandIns();
  const auto wordRoad = [](bool onePerDocument) {
    return [onePerDocument](const std::wstring& dir, int count) { return TimeWordRoad(dir, count, onePerDocument); };
  };
  const double inPause = TimeRun(e2e::MakeWorkDir(L"bench_word_start_pause"), kPrintRoadDocuments, true);
  const double afterQuit = TimeRun(e2e::MakeWorkDir(L"bench_word_start_after"), kPrintRoadDocuments, false);
  const double many = bench::PerDocument(L"bench_word_road_many", wordRoad(false));
  const double each = bench::PerDocument(L"bench_word_road_each", wordRoad(true));
  testbed::Reset();
  if (inPause < 0 || afterQuit <= 0 || many < 0 || each <= 0) {
    std::printf("export: a timed run failed (%.2f, %.2f, %.2f, %.2f s per document)\n", inPause, afterQuit, many, each);
    return 1;
  }
  std::printf("export: print road, next Word started in the pause: %.2f s per document; started after Quit: %.2f s "
              "per document; ratio %.2f\n",
              inPause, afterQuit, inPause / afterQuit);
  std::printf("export: Word's road, one Word for many: %.2f s per document; one Word per document: %.2f s per "
              "document; ratio %.2f\n",
              many, each, many / each);
  return 0;
}
