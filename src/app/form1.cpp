#include "app/form1.h"

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <random>

#include "app/resource.h"
#include "common/placement.h"
#include "common/win/files.h"
#include "common/win/pump.h"

namespace tavrolin {
namespace {

constexpr int kClientWidthTwips = 6975;
constexpr int kClientHeightTwips = 3975;
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr COLORREF kWhite = RGB(255, 255, 255);
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

  RECT frame{0, 0, form->Px(kClientWidthTwips), form->Px(kClientHeightTwips)};
  AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
  // The title is set by Form_Load; until then the window carries the class's name.
  CreateWindowExW(0, kForm1Class, L"Form1", kFormStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                  form.get());
  if (!form->hwnd_) return nullptr;
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

HWND Form1::CreateCheck(int id, const wchar_t* caption, int left, int top, int width, int height,
                        int iconId) {
  HWND button = CreateWindowExW(0, WC_BUTTONW, caption,
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE |
                                    BS_MULTILINE | BS_CENTER | BS_VCENTER,
                                Px(left), Px(top), Px(width), Px(height), hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_.get()), FALSE);
  // The transparent picture of "Help" would only push its caption out of the short button.
  if (iconId == IDI_TRANSPARENT) {
    SetWindowSubclass(button, ControlProc, static_cast<UINT_PTR>(id),
                      reinterpret_cast<DWORD_PTR>(this));
    return button;
  }
  const int iconSize = MulDiv(32, dpi_, 96);
  HIMAGELIST images = ImageList_Create(iconSize, iconSize, ILC_COLOR32 | ILC_MASK, 1, 0);
  HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId),
                                             IMAGE_ICON, iconSize, iconSize, LR_DEFAULTCOLOR));
  ImageList_AddIcon(images, icon);
  DestroyIcon(icon);
  BUTTON_IMAGELIST list{images, {0, MulDiv(4, dpi_, 96), 0, 0}, BUTTON_IMAGELIST_ALIGN_TOP};
  SendMessageW(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
  SetWindowSubclass(button, ControlProc, static_cast<UINT_PTR>(id),
                    reinterpret_cast<DWORD_PTR>(this));
  return button;
}

void Form1::CreateControls() {
  buttonFont_ = MakeFont(L"Arial", 11.25, dpi_);
  listFont_ = MakeFont(L"Arial", 9, dpi_);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto menu = [](int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); };

  // Created in tab order.
  Command1 = CreateWindowExW(0, WC_BUTTONW, L"Command1",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, Px(-720),
                             Px(2640), Px(615), Px(495), hwnd_, menu(kIdCommand1), instance, nullptr);
  Check1 = CreateCheck(kIdCheck1, L"Add Word File(s)", 120, 1800, 2175, 1095, IDI_WORD_DOCUMENT);
  Check2 = CreateCheck(kIdCheck2, L"Export to PDF", 4680, 1800, 2175, 1095, IDI_PDF_DOCUMENT);
  ListView1 = CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
          LVS_OWNERDATA,
      Px(120), Px(120), Px(6735), Px(1575), hwnd_, menu(kIdListView1), instance, nullptr);
  SendMessageW(ListView1, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_.get()), FALSE);
  SetWindowSubclass(ListView1, ControlProc, kIdListView1, reinterpret_cast<DWORD_PTR>(this));
  Check4 = CreateCheck(kIdCheck4, L" Add All Word Files In Folder", 2400, 1800, 2175, 1095,
                       IDI_OPEN_FOLDER);
  ProgressBar1 =
      CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, Px(120), Px(3000), Px(6735),
                      Px(375), hwnd_, menu(kIdProgressBar1), instance, nullptr);
  SendMessageW(ProgressBar1, PBM_SETRANGE32, 0, 100);
  SendMessageW(ProgressBar1, PBM_SETPOS, 0, 0);
  Check3 = CreateCheck(kIdCheck3, L"Help", 120, 3480, 6735, 375, IDI_TRANSPARENT);

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
  SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, Px(6000));
}

void Form1::Form_Load() {
  win::CenterForm(hwnd_);
  SetWindowTextW(hwnd_, kAppTitle);
  // 0x2001: the common controls' background colour message, which a progress bar accepts too.
  SendMessageA(ProgressBar1, 0x2001, 0, static_cast<LPARAM>(kWhite));
  const std::wstring handPointer = win::ProgramDirectory() + L"\\HAND-M.CUR";
  if (win::FileExists(handPointer)) mouseIcon_ = win::LoadPointerFile(handPointer);
  VisitHomePageOccasionally();

  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<wchar_t*>(L"Word File(s)");
  column.cx = Px(5700);
  SendMessageW(ListView1, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
}

void Form1::VisitHomePageOccasionally() {
  std::mt19937 generator(SecondsSinceMidnight());
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  if (!ShouldVisitHomePage([&] { return uniform(generator); })) return;
  std::wstring commandLine = L"explorer \"" + std::wstring(kHomePage) + L"\"";
  STARTUPINFOW startup{sizeof(startup)};
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINIMIZED;
  PROCESS_INFORMATION process{};
  // A browser that cannot be started is not worth a message.
  if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
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
  MessageBoxW(hwnd_, text.c_str(), kAppTitle, MB_OK);
}

Answer Form1::AskYesNo(const std::wstring& text) {
  return MessageBoxW(hwnd_, text.c_str(), kAppTitle, MB_YESNO | MB_DEFBUTTON1) == IDYES
             ? Answer::Yes
             : Answer::No;
}

void Form1::SetProgressValue(float value) {
  progressValue_ = value;
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
  if (hitTest != HTCLIENT) return false;
  if (mousePointer_ == kPointerHourglass) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return true;
  }
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
      docList_ = MakeDocListFeature(*this);
      export_ = MakeExportFeature(*this);
      addFolder_ = MakeAddFolderFeature(*this);
      return 0;
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) return TRUE;
      break;
    case WM_MOUSEMOVE:
      Form_MouseMove();
      return 0;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
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
  if (control == ListView1) {
    LRESULT result = 0;
    if (OnListViewMessage(message, wParam, lParam, result)) return result;
  } else if (message == WM_MOUSEMOVE) {
    if (control == Check1) Check1_MouseMove();
    if (control == Check2) Check2_MouseMove();
    if (control == Check3) Check3_MouseMove();
    if (control == Check4) Check4_MouseMove();
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace tavrolin
