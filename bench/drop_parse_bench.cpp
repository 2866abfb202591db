// Reading a drop of 20,000 paths from its file-drop list (goal: under 0.2 s), against asking
// DragQueryFileW for each path, which walks the list from its start every time. The walk is
// measured on fewer paths and its growth shown, since it grows with the square of the count.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/win/pump.h"
#include "doclist/win/file_drop_target.h"
#include "shared/data_object.h"

namespace {

constexpr int kPaths = 20000;
constexpr double kGoalSeconds = 0.2;

double Now() { return tavrolin::win::UiPump().Now(); }

std::vector<std::wstring> MakePaths(int count) {
  std::vector<std::wstring> paths;
  for (int i = 0; i < count; ++i) {
    paths.push_back(L"C:\\Users\\Public\\Documents\\Contracts " + std::to_wstring(2000 + i % 25) +
                    L"\\Customer " + std::to_wstring(i % 997) + L"\\Agreement " +
                    std::to_wstring(i) + L".docx");
  }
  return paths;
}

// The way drops were read before: one DragQueryFileW per index.
std::size_t ReadByIndex(IDataObject* data) {
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (FAILED(data->GetData(&format, &medium))) return 0;
  const auto drop = static_cast<HDROP>(medium.hGlobal);
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<std::wstring> paths;
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
    paths.push_back(std::move(path));
  }
  ReleaseStgMedium(&medium);
  return paths.size();
}

template <typename Read>
double Best(IDataObject* data, std::size_t expected, int rounds, Read read) {
  double best = 1e9;
  for (int round = 0; round < rounds; ++round) {
    const double start = Now();
    const std::size_t got = read(data);
    const double seconds = Now() - start;
    if (got != expected) std::printf("  (read %zu of %zu paths)\n", got, expected);
    if (seconds < best) best = seconds;
  }
  return best;
}

}  // namespace

int wmain() {
  IDataObject* drop = test_data::FileDropData(MakePaths(kPaths));
  const double parse = Best(drop, kPaths, 5, [](IDataObject* d) {
    return tavrolin::win::DroppedPaths(d).size();
  });
  std::printf("drop of %d paths, one pass over the list: %.4f s (goal under %.1f s: %s)\n", kPaths,
              parse, kGoalSeconds, parse < kGoalSeconds ? "met" : "MISSED");

  // The walk per index, on a tenth and a fifth of the paths: twice the paths, four times the time.
  double walkTenth = 0;
  for (const int count : {kPaths / 10, kPaths / 5}) {
    IDataObject* small = test_data::FileDropData(MakePaths(count));
    const double walk = Best(small, count, 3, ReadByIndex);
    const double pass = Best(small, count, 3, [](IDataObject* d) {
      return tavrolin::win::DroppedPaths(d).size();
    });
    std::printf("drop of %d paths: DragQueryFileW per index %.4f s, one pass %.4f s (ratio %.0f)\n",
                count, walk, pass, pass > 0 ? walk / pass : 0.0);
    if (count == kPaths / 10) walkTenth = walk;
    small->Release();
  }
  std::printf("DragQueryFileW per index on %d paths, extrapolated from %d (x100): about %.1f s\n",
              kPaths, kPaths / 10, walkTenth * 100);
  drop->Release();
  return 0;
}
