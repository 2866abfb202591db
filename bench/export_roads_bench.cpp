// The two roads to a PDF over the same documents, in one run: printing on the PDF printer
// through the platform's "Save As" dialog, against Word's own PDF export. Each unattended run
// (`/export`, `/export /via:word`) is timed from its start to its end; per document is the slope
// between runs of 1 and 4 documents, so the program's start and the look for a running Word do
// not count. Goal: Word's road at most 0.6 of the print road's time per document.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "driver/driver.h"
#include "support/timed_export.h"
#include "testbed/client/testbed_client.h"

namespace testbed = tavrolin::testbed;

namespace {

double TimeRun(const std::wstring& dir, int count, const std::wstring& switches) {
  testbed::Settings settings;
  settings.dialogDelayMs = 0;
  settings.pdfDelayMs = 0;
  testbed::Apply(settings);
  return bench::TimeUnattendedExport(dir, count, switches);
}

}  // namespace

int wmain() {
  testbed::KillStandIns();
  const auto road = [](const wchar_t* via) {
    return [via](const std::wstring& dir, int count) { return TimeRun(dir, count, via); };
  };
  const double printed = bench::PerDocument(L"bench_road_printer", road(L"/via:printer"));
  const double exported = bench::PerDocument(L"bench_road_word", road(L"/via:word"));
  testbed::Reset();
  if (printed <= 0 || exported < 0) {
    std::printf("export: a timed run failed\n");
    return 1;
  }
  std::printf("export: print road %.3f s per document; Word's own PDF export %.3f s per document; ratio %.3f "
              "(goal <= 0.6)\n",
              printed, exported, exported / printed);
  return 0;
}
