// Time from process start to the main window shown: tavrolin.exe against a bare Win32 window
// program, alternating, in the same Wine. Prints both medians and their ratio (goal: <= 1.15).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/driver.h"

namespace {

// Seconds until a visible top-level window of `className` belongs to the new process.
double TimeToWindow(const std::wstring& exe, const wchar_t* className) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + exe + L"\"";
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      e2e::BinDir().c_str(), &startup, &process)) {
    return -1;
  }
  double seconds = -1;
  for (int i = 0; i < 30000; ++i) {  // bounded: 30 s at most
    if (!e2e::TopLevelWindows(process.dwProcessId, className).empty()) {
      QueryPerformanceCounter(&end);
      seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
      break;
    }
    Sleep(1);
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return seconds;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int wmain() {
  const std::wstring bin = e2e::BinDir();
  constexpr int kRuns = 11;
  std::vector<double> app, bare;
  // One warm-up of each, so neither pays for the first load of the system DLLs.
  TimeToWindow(bin + L"\\tavrolin.exe", L"TavrolinForm1");
  TimeToWindow(bin + L"\\bare_window.exe", L"BareWindow");
  for (int i = 0; i < kRuns; ++i) {
    app.push_back(TimeToWindow(bin + L"\\tavrolin.exe", L"TavrolinForm1"));
    bare.push_back(TimeToWindow(bin + L"\\bare_window.exe", L"BareWindow"));
  }
  if (std::count(app.begin(), app.end(), -1.0) || std::count(bare.begin(), bare.end(), -1.0)) {
    std::printf("startup: a program did not show its window\n");
    return 1;
  }
  const double a = Median(app), b = Median(bare);
  std::printf("startup: tavrolin.exe %.1f ms, bare window %.1f ms (medians of %d)\n", a * 1000,
              b * 1000, kRuns);
  std::printf("startup: ratio %.3f (goal <= 1.15)\n", a / b);
  return 0;
}
