#include "app/form1.h"

#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include <chrono>
#include <iterator>
#include <random>

#include "app/form1_addfolder.h"
#include "app/form1_doclist.h"
#include "app/form1_export.h"
#include "app/resource.h"
#include "common/message_text.h"
#include "common/home_page.h"
#include "common/placement.h"
#include "common/win/files.h"
#include "common/win/pump.h"

namespace tavrolin {
namespace {

constexpr int kClientWidthTwips = 6975;
constexpr int kClientHeightTwips = 3975;
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr COLORREF kWhite = RGB(255, 255, 255);
// The buttons' own look, after the system's push buttons: a grey frame, blue when hot or down.
constexpr COLORREF kFrame = RGB(173, 173, 173);
constexpr COLORREF kHotFrame = RGB(0, 120, 215);
constexpr COLORREF kPressedFace = RGB(204, 228, 247);
constexpr COLORREF kPressedFrame = RGB(0, 84, 153);
constexpr COLORREF kDisabledFrame = RGB(191, 191, 191);
constexpr COLORREF kCaption = RGB(0, 0, 0);
constexpr int kListColumnTwips = 5700;
constexpr int kToolTipTwips = 6000;
constexpr UINT kWmGetDpiScaledSize = 0x02E4;  // Windows 10 1703 and later

// Left, top, width and height in twips, as the window was designed.
struct Placement {
  int id;
  int left, top, width, height;
};
constexpr Placement kLayout[] = {
    {kIdCommand1, -720, 2640, 615, 495},   {kIdCheck1, 120, 1800, 2175, 1095},
    {kIdCheck2, 4680, 1800, 2175, 1095},   {kIdListView1, 120, 120, 6735, 1575},
    {kIdCheck4, 2400, 1800, 2175, 1095},   {kIdProgressBar1, 120, 3000, 6735, 375},
    {kIdCheck3, 120, 3480, 6735, 375},
};

// The per-monitor DPI calls exist from Windows 10 1607 on; older systems keep the system DPI.
UINT WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return get ? get(window) : 0;
}

SIZE FrameSize(int clientWidth, int clientHeight, int dpi) {
  using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = reinterpret_cast<AdjustForDpiFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  RECT frame{0, 0, clientWidth, clientHeight};
  if (!adjust || !adjust(&frame, kFormStyle, FALSE, 0, static_cast<UINT>(dpi))) {
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

bool HighContrastOn() {
  HIGHCONTRASTW contrast{sizeof(contrast)};
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

void FillColour(HDC dc, const RECT& r, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void FrameColour(HDC dc, RECT r, COLORREF colour) {
  const int x[] = {r.left, r.right - 1};
  const int y[] = {r.top, r.bottom - 1};
  FillColour(dc, {r.left, y[0], r.right, y[0] + 1}, colour);
  FillColour(dc, {r.left, y[1], r.right, y[1] + 1}, colour);
  FillColour(dc, {x[0], r.top, x[0] + 1, r.bottom}, colour);
  FillColour(dc, {x[1], r.top, x[1] + 1, r.bottom}, colour);
}
constexpr wchar_t kListToolTip[] =
    L"Drag and drop files here. Double-click item to remove it. Move bar to right and out of "
    L"window to reveal full names.";

win::UniqueFont MakeFont(const wchar_t* face, double points, int dpi) {
  LOGFONTW font{};
  font.lfHeight = -static_cast<LONG>(points * dpi / 72.0 + 0.5);
  font.lfWeight = FW_BOLD;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  wcscpy_s(font.lfFaceName, face);
  return win::UniqueFont(CreateFontIndirectW(&font));
}

// Seconds since midnight, local time: the seed of the home-page draw.
unsigned SecondsSinceMidnight() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return now.wHour * 3600u + now.wMinute * 60u + now.wSecond;
}

}  // namespace

std::unique_ptr<Form1> Form1::Create(HINSTANCE instance) {
  WNDCLASSEXW wc{sizeof(wc)};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kForm1Class;
  wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TRANSPARENT), IMAGE_ICON,
                                           32, 32, LR_DEFAULTCOLOR));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TRANSPARENT),
                                             IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  RegisterClassExW(&wc);

  std::unique_ptr<Form1> form(new Form1());
  HDC screen = GetDC(nullptr);
  form->dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);

  const SIZE frame =
      FrameSize(form->Px(kClientWidthTwips), form->Px(kClientHeightTwips), form->dpi_);
  // The title is set by Form_Load; until then the window carries the class's name.
  CreateWindowExW(0, kForm1Class, L"Form1", kFormStyle, CW_USEDEFAULT, CW_USEDEFAULT, frame.cx,
                  frame.cy, nullptr, nullptr, instance, form.get());
  if (!form->hwnd_) return nullptr;
  // The monitor the window opens on may be scaled otherwise than the system's DPI says.
  const int dpi = static_cast<int>(WindowDpi(form->hwnd_));
  if (dpi > 0 && dpi != form->dpi_) {
    form->ApplyDpi(dpi);
    const SIZE scaled =
        FrameSize(form->Px(kClientWidthTwips), form->Px(kClientHeightTwips), form->dpi_);
    SetWindowPos(form->hwnd_, nullptr, 0, 0, scaled.cx, scaled.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  form->Form_Load();
  return form;
}

Form1::~Form1() = default;

int Form1::Px(int twips) const { return TwipsToPixels(twips, dpi_); }

void Form1::Show(int showCommand) {
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  // The unseen Command1 is first in the tab order and holds the focus.
  SetFocus(Command1);
}

HWND Form1::CreateCheck(int id, const wchar_t* caption) {
  HWND button = CreateWindowExW(0, WC_BUTTONW, caption,
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE |
                                    BS_MULTILINE | BS_CENTER | BS_VCENTER,
                                0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_.get()), FALSE);
  SetWindowSubclass(button, ControlProc, static_cast<UINT_PTR>(id),
                    reinterpret_cast<DWORD_PTR>(this));
  return button;
}

HICON Form1::CheckIcon(HWND button) const {
  if (button == Check1) return wordIcon_.get();
  if (button == Check2) return pdfIcon_.get();
  if (button == Check4) return folderIcon_.get();
  return nullptr;  // the transparent picture of "Help" would only push its caption out
}

void Form1::LoadDpiResources() {
  win::UniqueFont buttonFont = MakeFont(L"Arial", 11.25, dpi_);
  win::UniqueFont listFont = MakeFont(L"Arial", 9, dpi_);
  for (HWND button : {Check1, Check2, Check4, Check3}) {
    if (button) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont.get()), TRUE);
  }
  if (ListView1) {
    SendMessageW(ListView1, WM_SETFONT, reinterpret_cast<WPARAM>(listFont.get()), TRUE);
  }
  // The old fonts go only once no control uses them.
  buttonFont_ = std::move(buttonFont);
  listFont_ = std::move(listFont);

  const int iconSize = MulDiv(32, dpi_, 96);
  auto load = [&](int id) {
    return win::UniqueIcon(static_cast<HICON>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, iconSize, iconSize, 0)));
  };
  wordIcon_ = load(IDI_WORD_DOCUMENT);
  pdfIcon_ = load(IDI_PDF_DOCUMENT);
  folderIcon_ = load(IDI_OPEN_FOLDER);
}

void Form1::LayOutControls() {
  for (const Placement& place : kLayout) {
    HWND control = GetDlgItem(hwnd_, place.id);
    if (!control) continue;
    SetWindowPos(control, nullptr, Px(place.left), Px(place.top), Px(place.width),
                 Px(place.height), SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Form1::ApplyDpi(int dpi) {
  const int oldDpi = dpi_;
  dpi_ = dpi;
  LoadDpiResources();
  LayOutControls();
  if (listHeader_ && SendMessageW(listHeader_, HDM_GETITEMCOUNT, 0, 0) > 0) {
    // A column the user has widened keeps its share; the designed width comes from the twips.
    const int width = static_cast<int>(SendMessageW(ListView1, LVM_GETCOLUMNWIDTH, 0, 0));
    const int scaled = width == TwipsToPixels(kListColumnTwips, oldDpi) ? Px(kListColumnTwips)
                                                                        : MulDiv(width, dpi, oldDpi);
    SendMessageW(ListView1, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(scaled, 0));
  }
  if (toolTip_) SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, Px(kToolTipTwips));
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form1::OnDpiChanged(int dpi, const RECT& suggested) {
  if (dpi <= 0) return;
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (dpi != dpi_) ApplyDpi(dpi);
}

bool Form1::OnGetDpiScaledSize(int dpi, SIZE& size) const {
  if (dpi <= 0) return false;
  // The client area stays the designed twips exactly, whatever the frame's rounding.
  size = FrameSize(TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi),
                   dpi);
  return true;
}

void Form1::CreateControls() {
  LoadDpiResources();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto menu = [](int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); };

  // Created in tab order; LayOutControls places them.
  Command1 = CreateWindowExW(0, WC_BUTTONW, L"Command1",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, hwnd_,
                             menu(kIdCommand1), instance, nullptr);
  Check1 = CreateCheck(kIdCheck1, L"Add Word File(s)");
  Check2 = CreateCheck(kIdCheck2, L"Export to PDF");
  ListView1 = CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
          LVS_OWNERDATA,
      0, 0, 0, 0, hwnd_, menu(kIdListView1), instance, nullptr);
  SendMessageW(ListView1, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_.get()), FALSE);
  SetWindowSubclass(ListView1, ControlProc, kIdListView1, reinterpret_cast<DWORD_PTR>(this));
  listHeader_ = reinterpret_cast<HWND>(SendMessageW(ListView1, LVM_GETHEADER, 0, 0));
  if (listHeader_) {
    SetWindowSubclass(listHeader_, ControlProc, kIdListView1 + 1000,
                      reinterpret_cast<DWORD_PTR>(this));
  }
  Check4 = CreateCheck(kIdCheck4, L" Add All Word Files In Folder");
  ProgressBar1 = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd_,
                                 menu(kIdProgressBar1), instance, nullptr);
  // A themed bar ignores its background colour; without the theme the bar keeps the system's
  // colour and the background is the one set at start-up.
  SetWindowTheme(ProgressBar1, L"", L"");
  SendMessageW(ProgressBar1, PBM_SETRANGE32, 0, 100);
  SendMessageW(ProgressBar1, PBM_SETPOS, 0, 0);
  Check3 = CreateCheck(kIdCheck3, L"Help");
  LayOutControls();

  toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance, nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(ListView1);
  tool.lpszText = const_cast<wchar_t*>(kListToolTip);
  SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, Px(kToolTipTwips));
}

void Form1::Form_Load() {
  win::CenterForm(hwnd_);
  SetWindowTextW(hwnd_, kAppTitle);
  ApplyColours();  // the progress bar's white background among them
  const std::wstring handPointer = win::ProgramDirectory() + L"\\HAND-M.CUR";
  if (win::FileExists(handPointer)) mouseIcon_ = win::LoadPointerFile(handPointer);
  VisitHomePageOccasionally();

  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<wchar_t*>(L"Word File(s)");
  column.cx = Px(kListColumnTwips);
  SendMessageW(ListView1, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
}

void Form1::VisitHomePageOccasionally() {
  std::mt19937 generator(SecondsSinceMidnight());
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  if (!ShouldVisitHomePage([&] { return uniform(generator); })) return;
  win::MinimizedStarter starter;
  OpenHomePage(win::WindowsDirectory(), starter);
}

void Form1::Form_Unload() {
  // Ends the program at once, also from inside a pumped wait (the pumps exit on WM_QUIT).
  PostQuitMessage(0);
}

bool Form1::TakePress(HWND button) {
  if (SendMessageW(button, BM_GETCHECK, 0, 0) != BST_CHECKED) return false;
  SendMessageW(button, BM_SETCHECK, BST_UNCHECKED, 0);
  return true;
}

void Form1::Check3_Click() {
  if (!TakePress(Check3)) return;
  Notify(kHelpText);
}

void Form1::Notify(const std::wstring& text) {
  MessageBoxW(hwnd_, WithLineBreaks(text).c_str(), kAppTitle, MB_OK);
}

Answer Form1::AskYesNo(const std::wstring& text) {
  return MessageBoxW(hwnd_, WithLineBreaks(text).c_str(), kAppTitle, MB_YESNO | MB_DEFBUTTON1) ==
                 IDYES
             ? Answer::Yes
             : Answer::No;
}

void Form1::SetProgressValue(float value) {
  SendMessageW(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(value + 0.5f), 0);
}

// Pointer rules: the window-wide setting decides while it is not 0; at 0 the list shows its own
// pointer and everything else its usual one.
void Form1::SetMousePointer(int value) {
  if (value == mousePointer_) return;
  mousePointer_ = value;
  // Published on the window so that tools (and the end-to-end tests) can read the setting.
  SetPropW(hwnd_, kMousePointerProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(value)));
  ShowCurrentPointer();
}

void Form1::SetListPointer(int value, HCURSOR icon) {
  listMousePointer_ = value;
  listMouseIcon_ = icon;
  ShowCurrentPointer();
}

void Form1::ShowCurrentPointer() {
  POINT at{};
  GetCursorPos(&at);
  HWND over = WindowFromPoint(at);
  if (over != hwnd_ && GetParent(over) != hwnd_) return;
  // Let the window under the pointer choose again, as on a move.
  SendMessageW(over, WM_SETCURSOR, reinterpret_cast<WPARAM>(over),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

bool Form1::OnSetCursor(HWND over, UINT hitTest) {
  const short hit = static_cast<short>(hitTest);
  // Busy shows over the whole window: frame, scroll bars and the list's header included. Over
  // a window disabled by a message box the system's own answer (and beep) stays.
  if (mousePointer_ == kPointerHourglass && hit != HTERROR) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return true;
  }
  if (hit != HTCLIENT) return false;
  if (mousePointer_ == kPointerCustom) {
    SetCursor(mouseIcon_ ? mouseIcon_.get() : LoadCursorW(nullptr, IDC_ARROW));
    return true;
  }
  if (mousePointer_ != kPointerDefault) {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    return true;
  }
  if (over == ListView1 || GetParent(over) == ListView1) {
    if (listMousePointer_ == kPointerCustom && listMouseIcon_) {
      SetCursor(listMouseIcon_);
      return true;
    }
    if (listMousePointer_ == 1) {
      SetCursor(LoadCursorW(nullptr, IDC_ARROW));
      return true;
    }
  }
  return false;
}

void Form1::Form_MouseMove() { SetMousePointer(WindowHoverPointer(mousePointer_)); }
void Form1::Check1_MouseMove() { SetMousePointer(ButtonHoverPointer(mousePointer_)); }
void Form1::Check2_MouseMove() { SetMousePointer(ButtonHoverPointer(mousePointer_)); }
void Form1::Check3_MouseMove() { SetMousePointer(ButtonHoverPointer(mousePointer_)); }
void Form1::Check4_MouseMove() { SetMousePointer(ButtonHoverPointer(mousePointer_)); }

LRESULT CALLBACK Form1::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!form) return DefWindowProcW(hwnd, message, wParam, lParam);
  return form->OnMessage(message, wParam, lParam);
}

LRESULT Form1::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      docList_ = std::make_unique<DocListFeature>(*this);
      export_ = std::make_unique<ExportFeature>(*this);
      addFolder_ = std::make_unique<AddFolderFeature>(*this);
      return 0;
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) return TRUE;
      break;
    case WM_MOUSEMOVE:
      Form_MouseMove();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        RememberFocus();
      } else if (!HIWORD(wParam)) {
        RestoreFocus();
      }
      return 0;
    case WM_SETFOCUS:
      RestoreFocus();
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case kWmGetDpiScaledSize:
      return OnGetDpiScaledSize(static_cast<int>(wParam), *reinterpret_cast<SIZE*>(lParam));
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
      ApplyColours();
      break;
    case WM_ERASEBKGND:
      if (!highContrast_) break;
      {
        RECT client{};
        GetClientRect(hwnd_, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_WINDOW));
      }
      return 1;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      if (highContrast_) {
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      SetBkColor(reinterpret_cast<HDC>(wParam), kWhite);
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    case DM_GETDEFID:
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      switch (LOWORD(wParam)) {
        case kIdCheck1: Check1_Click(); return 0;
        case kIdCheck2: Check2_Click(); return 0;
        case kIdCheck3: Check3_Click(); return 0;
        case kIdCheck4: Check4_Click(); return 0;
        default: return 0;  // Command1 has no action.
      }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->hwndFrom == ListView1) return OnListViewNotify(header);
      break;
    }
    case WM_DESTROY:
      Form_Unload();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Form1::ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR self) {
  return reinterpret_cast<Form1*>(self)->OnControlMessage(control, message, wParam, lParam);
}

LRESULT Form1::OnControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  // While the window-wide pointer is set, it decides over the list and its header too, before
  // their own pointers (the header's divider, say) are chosen.
  if (message == WM_SETCURSOR && (control == ListView1 || control == listHeader_) &&
      mousePointer_ != kPointerDefault && OnSetCursor(control, LOWORD(lParam))) {
    return TRUE;
  }
  if (control == ListView1) {
    LRESULT result = 0;
    if (OnListViewMessage(message, wParam, lParam, result)) return result;
  } else if (control == Check1 || control == Check2 || control == Check3 || control == Check4) {
    if (message == WM_MOUSEMOVE) {
      if (control == Check1) Check1_MouseMove();
      if (control == Check2) Check2_MouseMove();
      if (control == Check3) Check3_MouseMove();
      if (control == Check4) Check4_MouseMove();
    }
    LRESULT result = 0;
    if (OnCheckMessage(control, message, wParam, lParam, result)) return result;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

bool Form1::OnCheckMessage(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                           LRESULT& result) {
  switch (message) {
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(button, &paint);
      PaintCheck(button, dc);
      EndPaint(button, &paint);
      result = 0;
      return true;
    }
    case WM_PRINTCLIENT:
      PaintCheck(button, reinterpret_cast<HDC>(wParam));
      result = 0;
      return true;
    // The control draws some state changes at once on its own; the face is painted over.
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_UPDATEUISTATE:
    case WM_CAPTURECHANGED:
    case WM_MOUSELEAVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case BM_SETSTATE:
    case BM_SETCHECK:
      result = DefSubclassProc(button, message, wParam, lParam);
      if (IsWindow(button)) InvalidateRect(button, nullptr, FALSE);
      return true;
    default:
      return false;
  }
}

void Form1::PaintCheck(HWND button, HDC target) {
  RECT face{};
  GetClientRect(button, &face);
  const int width = face.right;
  const int height = face.bottom;
  if (width <= 0 || height <= 0) return;
  // Drawn off screen first so that the face never flickers grey.
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);

  const auto state = static_cast<UINT>(SendMessageW(button, BM_GETSTATE, 0, 0));
  const bool down = (state & (BST_PUSHED | BST_CHECKED)) != 0;
  const bool hot = (state & BST_HOT) != 0;
  const bool enabled = IsWindowEnabled(button) != FALSE;
  const bool focusShown =
      GetFocus() == button && !(SendMessageW(button, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);

  COLORREF fill = down ? kPressedFace : kWhite;
  COLORREF frame = !enabled ? kDisabledFrame : down ? kPressedFrame : hot ? kHotFrame : kFrame;
  COLORREF text = enabled ? kCaption : GetSysColor(COLOR_GRAYTEXT);
  if (highContrast_) {
    fill = GetSysColor(down ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    frame = GetSysColor(COLOR_BTNTEXT);
    text = GetSysColor(!enabled ? COLOR_GRAYTEXT : down ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
  }
  FillColour(dc, face, fill);
  FrameColour(dc, face, frame);
  if (down) FrameColour(dc, {1, 1, width - 1, height - 1}, frame);

  // The picture above the caption, the pair centred; a pressed face moves them by a pixel.
  const int shift = down ? 1 : 0;
  const int pad = MulDiv(4, dpi_, 96);
  HICON icon = CheckIcon(button);
  const int iconSize = icon ? MulDiv(32, dpi_, 96) : 0;
  const int gap = icon ? MulDiv(2, dpi_, 96) : 0;
  wchar_t caption[256] = {};
  GetWindowTextW(button, caption, static_cast<int>(std::size(caption)));
  HGDIOBJ oldFont = SelectObject(dc, buttonFont_.get());
  RECT measure{pad, 0, width - pad, height};
  DrawTextW(dc, caption, -1, &measure, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
  const int textHeight = measure.bottom - measure.top;
  const int top = (height - (iconSize + gap + textHeight)) / 2 + shift;
  if (icon) {
    const int left = (width - iconSize) / 2 + shift;
    if (enabled && !highContrast_) {
      DrawIconEx(dc, left, top, icon, iconSize, iconSize, 0, nullptr, DI_NORMAL);
    } else {
      DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, left, top, iconSize,
                 iconSize, DST_ICON | (enabled ? 0 : DSS_DISABLED));
    }
  }
  RECT textRect{pad + shift, top + iconSize + gap, width - pad + shift, top + iconSize + gap + textHeight};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, text);
  DrawTextW(dc, caption, -1, &textRect, DT_CENTER | DT_WORDBREAK);
  SelectObject(dc, oldFont);

  if (focusShown) {
    RECT focus{3, 3, width - 3, height - 3};
    SetTextColor(dc, highContrast_ ? GetSysColor(COLOR_BTNTEXT) : kCaption);
    SetBkColor(dc, fill);
    DrawFocusRect(dc, &focus);
  }
  BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

void Form1::ApplyColours() {
  highContrast_ = HighContrastOn();
  // 0x2001: the common controls' background colour message, which a progress bar accepts too.
  SendMessageA(ProgressBar1, 0x2001, 0,
               static_cast<LPARAM>(highContrast_ ? CLR_DEFAULT : kWhite));
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form1::RememberFocus() {
  HWND focus = GetFocus();
  if (focus && IsChild(hwnd_, focus)) focusBeforeDeactivation_ = focus;
}

void Form1::RestoreFocus() {
  HWND target = focusBeforeDeactivation_;
  if (!target || !IsWindow(target) || !IsChild(hwnd_, target)) target = Command1;
  if (target) SetFocus(target);
}

}  // namespace tavrolin
