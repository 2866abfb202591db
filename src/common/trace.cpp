#include "common/trace.h"

#include <atomic>

namespace tavrolin::trace {
namespace {
std::atomic<Sink> sink{nullptr};
}  // namespace

void SetSink(Sink s) { sink.store(s); }

void Mark(const wchar_t* what, const std::wstring& detail) {
  if (const Sink s = sink.load(std::memory_order_relaxed)) s(what, detail);
}

}  // namespace tavrolin::trace
