#pragma once
// An unattended run timed from its start to its end, for the benchmarks: `tavrolin.exe /export
// <switches>` over `count` new documents in `dir`, with the stand-ins as they were set up.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "common/win/pump.h"
#include "driver/driver.h"
#include "driver/export_driver.h"
#include "testbed/client/testbed_client.h"

namespace bench {

// Seconds to its exit code 0; negative on any other end. `testBounds`: the tests' hook, or null.
inline double TimeUnattendedExport(const std::wstring& dir, int count, const std::wstring& switches,
                                   const wchar_t* testBounds = nullptr) {
  const std::wstring exe = e2e::BinDir() + L"\\tavrolin.exe";
  std::wstring line = L"\"" + exe + L"\" /export " + switches;
  for (int i = 1; i <= count; ++i) {
    const std::wstring path = dir + L"\\doc" + std::to_wstring(i) + L".docx";
    e2e::WriteFileBytes(path, "Document " + std::to_string(i) + "\r\n");
    line += L" \"" + path + L"\"";
  }
  SetEnvironmentVariableW(e2e::kBoundsVariable, testBounds);
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  const double start = tavrolin::win::UiPump().Now();
  const BOOL started = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                                      &startup, &process);
  SetEnvironmentVariableW(e2e::kBoundsVariable, nullptr);
  if (!started) return -1;
  CloseHandle(process.hThread);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process.hProcess, 300000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  const double took = tavrolin::win::UiPump().Now() - start;
  if (code == STILL_ACTIVE) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  tavrolin::testbed::WaitNoStandIns(std::chrono::seconds(30));
  if (code != 0) std::printf("export: /export %ls over %d ended with exit code %lu\n", switches.c_str(), count, code);
  return code == 0 ? took : -1;
}

// Seconds per document: the slope between runs of 1 and 4 documents, so that the program's start
// and the look for a running Word do not count. `run(dir, count)` gives a run's seconds, negative
// on failure; so does this.
inline double PerDocument(const std::wstring& name, const std::function<double(const std::wstring&, int)>& run) {
  const double one = run(e2e::MakeWorkDir(name + L"_1"), 1);
  const double four = run(e2e::MakeWorkDir(name + L"_4"), 4);
  if (one < 0 || four < 0) return -1;
  return (four - one) / 3;
}

}  // namespace bench
