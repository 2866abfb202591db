// Appending 100,000 paths to the document list and showing them, against building the same
// strings alone, in an owner-data list view like the main window's. Also times scrolling the
// full list. Prints medians of several rounds (goal: the list adds at most 0.5 s).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/win/pump.h"
#include "doclist/document_list.h"
#include "doclist/win/list_view_binding.h"

namespace {

constexpr int kPaths = 100000;
constexpr int kRounds = 5;

double Now() { return tavrolin::win::UiPump().Now(); }

std::wstring PathNumber(int i) {
  return L"C:\\Users\\Public\\Documents\\Contracts " + std::to_wstring(2000 + i % 25) +
         L"\\Customer " + std::to_wstring(i % 997) + L"\\Agreement " + std::to_wstring(i) + L".docx";
}

void PumpPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* binding =
      reinterpret_cast<tavrolin::win::ListViewBinding*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  LRESULT result = 0;
  if (message == WM_NOTIFY && binding &&
      binding->OnNotify(reinterpret_cast<NMHDR*>(lParam), result)) {
    return result;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

struct Host {
  HWND window = nullptr;
  HWND list = nullptr;
  HFONT font = nullptr;
};

Host MakeHost() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"DocListBenchHost";
  RegisterClassW(&wc);
  Host host;
  host.window = CreateWindowExW(0, wc.lpszClassName, L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                100, 100, 480, 300, nullptr, nullptr, wc.hInstance, nullptr);
  host.list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL |
                                  LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                              8, 8, 449, 105, host.window, nullptr, wc.hInstance, nullptr);
  host.font = CreateFontW(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                          L"Arial");
  SendMessageW(host.list, WM_SETFONT, reinterpret_cast<WPARAM>(host.font), FALSE);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<wchar_t*>(L"Word File(s)");
  column.cx = 380;
  SendMessageW(host.list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  UpdateWindow(host.window);
  return host;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int wmain() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  std::vector<double> buildOnly, appendAndShow, pageScroll, jumpToEnd;
  for (int round = 0; round < kRounds; ++round) {
    {
      const double start = Now();
      std::vector<std::wstring> paths;
      paths.reserve(kPaths);
      for (int i = 0; i < kPaths; ++i) paths.push_back(PathNumber(i));
      buildOnly.push_back(Now() - start);
    }

    Host host = MakeHost();
    auto documents = std::make_unique<tavrolin::DocumentList>();
    auto binding = std::make_unique<tavrolin::win::ListViewBinding>(host.list, *documents);
    SetWindowLongPtrW(host.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(binding.get()));
    PumpPending();

    const double start = Now();
    for (int i = 0; i < kPaths; ++i) documents->Append(PathNumber(i));
    // Shown: the posted refresh has run and the visible rows are painted.
    while (binding->RefreshPending()) {
      PumpPending();
      if (binding->RefreshPending()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    UpdateWindow(host.list);
    appendAndShow.push_back(Now() - start);
    if (SendMessageW(host.list, LVM_GETITEMCOUNT, 0, 0) != kPaths) {
      std::printf("error: the list shows %d items\n",
                  static_cast<int>(SendMessageW(host.list, LVM_GETITEMCOUNT, 0, 0)));
      return 1;
    }

    // Scrolling: one page at a time, each step painted before the next.
    constexpr int kPages = 200;
    const double scrollStart = Now();
    for (int i = 0; i < kPages; ++i) {
      SendMessageW(host.list, WM_VSCROLL, SB_PAGEDOWN, 0);
      UpdateWindow(host.list);
    }
    pageScroll.push_back((Now() - scrollStart) / kPages);
    const double jumpStart = Now();
    SendMessageW(host.list, LVM_ENSUREVISIBLE, kPaths - 1, FALSE);
    UpdateWindow(host.list);
    jumpToEnd.push_back(Now() - jumpStart);

    SetWindowLongPtrW(host.window, GWLP_USERDATA, 0);
    binding.reset();
    DestroyWindow(host.window);
    DeleteObject(host.font);
    PumpPending();
  }

  const double build = Median(buildOnly);
  const double total = Median(appendAndShow);
  std::printf("document list, %d paths, median of %d rounds\n", kPaths, kRounds);
  std::printf("  build the strings alone:          %8.3f s\n", build);
  std::printf("  build, append and show the list:  %8.3f s\n", total);
  std::printf("  the list adds:                    %8.3f s   (goal: <= 0.500 s)\n", total - build);
  std::printf("  scroll one page and paint:        %8.3f ms\n", Median(pageScroll) * 1000);
  std::printf("  jump to the last item and paint:  %8.3f ms\n", Median(jumpToEnd) * 1000);
  return 0;
}
