#pragma once
#include <string>

namespace tavrolin::trace {

// A timeline of the export's steps, written only when a benchmark or test asks for one: marks
// taken on the same clock as other processes' (the performance counter), so that the time the
// program spends on its own can be told apart from the time it waits on Word and the printer.
// Without a sink every mark is one test of a pointer.
using Sink = void (*)(const wchar_t* what, const std::wstring& detail);

void SetSink(Sink sink);
// Safe from any thread.
void Mark(const wchar_t* what, const std::wstring& detail = {});

}  // namespace tavrolin::trace
