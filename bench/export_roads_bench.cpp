// The two roads to a PDF over the same documents, in one run: printing on the PDF printer
// through the platform's "Save As" dialog, against Word's own PDF export. Each unattended run
// (`/export`, `/export /via:word`) is timed from its start to its end; per document is the slope
// between runs of 1 and 4 documents, so the program's start and the look for a running Word do
// not count. Goal: Word's road at most 0.6 of the print road's time per document.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "common/win/pump.h"
#include "driver/driver.h"
#include "driver/export_driver.h"
#include "testbed/client/testbed_client.h"

namespace testbed = tavrolin::testbed;

namespace {

double Now() { return tavrolin::win::UiPump().Now(); }

// Seconds of `tavrolin.exe /export <switches> <documents>` to its exit code 0; negative on failure.
double TimeRun(const std::wstring& dir, int count, const std::wstring& switches) {
  testbed::Settings settings;
  settings.dialogDelayMs = 0;
  settings.pdfDelayMs = 0;
  testbed::Apply(settings);
  const std::wstring exe = e2e::BinDir() + L"\\tavrolin.exe";
  std::wstring line = L"\"" + exe + L"\" /export " + switches;
  for (int i = 1; i <= count; ++i) {
    const std::wstring path = dir + L"\\doc" + std::to_wstring(i) + L".docx";
    e2e::WriteFileBytes(path, "Document " + std::to_string(i) + "\r\n");
    line += L" \"" + path + L"\"";
  }
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  const double start = Now();
  if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup,
                      &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process.hProcess, 300000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  const double took = Now() - start;
  if (code == STILL_ACTIVE) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  testbed::WaitNoStandIns(std::chrono::seconds(30));
  if (code != 0) {
    std::printf("export: the run of %d with \"%ls\" ended with exit code %lu\n", count, switches.c_str(), code);
    return -1;
  }
  return took;
}

// Seconds per document on a road, from runs of 1 and 4; negative on failure.
double PerDocument(const std::wstring& name, const std::wstring& switches) {
  const double one = TimeRun(e2e::MakeWorkDir(name + L"_1"), 1, switches);
  const double four = TimeRun(e2e::MakeWorkDir(name + L"_4"), 4, switches);
  if (one < 0 || four < 0) return -1;
  return (four - one) / 3;
}

}  // namespace

int wmain() {
  testbed::KillStandIns();
  const double printed = PerDocument(L"bench_road_printer", L"/via:printer");
  const double exported = PerDocument(L"bench_road_word", L"/via:word");
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
