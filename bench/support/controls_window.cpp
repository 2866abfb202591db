// The second baseline of the start-up benchmark: the main window's controls as the platform
// makes them (same classes, styles, sizes, fonts, icons, tooltip and manifest) and nothing of
// the program's own: no painting of the buttons, no subclassing, no pointer files, no list
// data, no OLE. The six visible controls come with the unseen Command1, as in the window.
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include <initializer_list>

#include "app/control_ids.h"
#include "app/resource.h"

namespace {

using namespace tavrolin;

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kCheckStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE |
                              BS_MULTILINE | BS_CENTER | BS_VCENTER;

struct Control {
  int id;
  const wchar_t* className;
  const wchar_t* caption;
  DWORD exStyle, style;
  int left, top, width, height;  // twips
};
// In the main window's tab order, with its layout.
constexpr Control kControls[] = {
    {kIdCommand1, WC_BUTTONW, L"Command1", 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
     -720, 2640, 615, 495},
    {kIdCheck1, WC_BUTTONW, L"Add Word File(s)", 0, kCheckStyle, 120, 1800, 2175, 1095},
    {kIdCheck2, WC_BUTTONW, L"Export to PDF", 0, kCheckStyle, 4680, 1800, 2175, 1095},
    {kIdListView1, WC_LISTVIEWW, L"", WS_EX_CLIENTEDGE,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
         LVS_OWNERDATA,
     120, 120, 6735, 1575},
    {kIdCheck4, WC_BUTTONW, L" Add All Word Files In Folder", 0, kCheckStyle, 2400, 1800, 2175,
     1095},
    {kIdProgressBar1, PROGRESS_CLASSW, L"", 0, WS_CHILD | WS_VISIBLE, 120, 3000, 6735, 375},
    {kIdCheck3, WC_BUTTONW, L"Help", 0, kCheckStyle, 120, 3480, 6735, 375},
};

int dpi = 96;
int Px(int twips) { return MulDiv(twips, dpi, 1440); }

HFONT MakeFont(double points) {
  LOGFONTW font{};
  font.lfHeight = -static_cast<LONG>(points * dpi / 72.0 + 0.5);
  font.lfWeight = FW_BOLD;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  wcscpy_s(font.lfFaceName, L"Arial");
  return CreateFontIndirectW(&font);
}

HICON LoadIconSized(HINSTANCE instance, int id, int size, UINT flags) {
  return static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, flags));
}

void CreateControls(HWND window, HINSTANCE instance) {
  HFONT buttonFont = MakeFont(11.25);
  HFONT listFont = MakeFont(9);
  // Loaded as the window loads them, though nothing here draws them.
  const int iconSize = MulDiv(32, dpi, 96);
  for (int id : {IDI_WORD_DOCUMENT, IDI_PDF_DOCUMENT, IDI_OPEN_FOLDER}) {
    LoadIconSized(instance, id, iconSize, 0);
  }
  HWND list = nullptr;
  for (const Control& c : kControls) {
    HWND control = CreateWindowExW(c.exStyle, c.className, c.caption, c.style, Px(c.left),
                                   Px(c.top), Px(c.width), Px(c.height), window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance,
                                   nullptr);
    if (c.id == kIdListView1) {
      list = control;
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(listFont), FALSE);
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.pszText = const_cast<wchar_t*>(L"Word File(s)");
      column.cx = Px(5700);
      SendMessageW(control, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    } else if (c.id == kIdProgressBar1) {
      SetWindowTheme(control, L"", L"");
      SendMessageW(control, PBM_SETRANGE32, 0, 100);
      SendMessageA(control, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(RGB(255, 255, 255)));
    } else if (c.id != kIdCommand1) {
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont), FALSE);
    }
  }
  HWND toolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                 instance, nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(list);
  tool.lpszText = const_cast<wchar_t*>(
      L"Drag and drop files here. Double-click item to remove it. Move bar to right and out of "
      L"window to reveal full names.");
  SendMessageW(toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(toolTip, TTM_SETMAXTIPWIDTH, 0, Px(6000));
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls(window, reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance);
      return 0;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS |
                                                      ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSEXW wc{sizeof(wc)};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = L"ControlsWindow";
  wc.hIcon = LoadIconSized(instance, IDI_TRANSPARENT, 32, LR_DEFAULTCOLOR);
  wc.hIconSm = LoadIconSized(instance, IDI_TRANSPARENT, 16, LR_DEFAULTCOLOR);
  RegisterClassExW(&wc);

  HDC screen = GetDC(nullptr);
  dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  RECT frame{0, 0, Px(6975), Px(3975)};
  AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
  HWND window = CreateWindowExW(0, L"ControlsWindow", L"Controls", kFormStyle, CW_USEDEFAULT,
                                CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                nullptr, nullptr, instance, nullptr);
  ShowWindow(window, show);
  UpdateWindow(window);
  SetFocus(GetDlgItem(window, kIdCommand1));
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
