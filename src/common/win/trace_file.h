#pragma once

namespace tavrolin::win {

inline constexpr wchar_t kTraceVariable[] = L"TAVROLIN_TRACE";

// When the environment names a file in TAVROLIN_TRACE, every trace mark is appended to it as
// one line: seconds on the performance counter, the thread, what, and a detail (UTF-8,
// tab-separated). Only benchmarks and tests set it; otherwise nothing is written.
void StartTraceIfAsked();

}  // namespace tavrolin::win
