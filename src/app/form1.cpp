#include "app/form1.h"

#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include "app/display.h"
#include "app/face_button.h"
#include "app/form1_addfolder.h"
#include "app/form1_doclist.h"
#include "app/form1_export.h"
#include "app/form1_unattended.h"
#include "app/form_pointers.h"
#include "app/resource.h"
#include "common/message_text.h"
#include "common/placement.h"
#include "common/win/files.h"
#include "common/win/pump.h"

namespace tavrolin {
namespace {

constexpr int kClientWidthTwips = 6975;
constexpr int kClientHeightTwips = 3975;
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kListColumnTwips = 5700;
constexpr int kToolTipTwips = 6000;
constexpr UINT kWmGetDpiScaledSize = 0x02E4;  // Windows 10 1703 and later
// Posted to the window by Show: the start's work that the first paint does not need.
constexpr UINT kAfterShowMessage = WM_APP + 1;

enum class Kind { Push, Face, List, Bar };

// The controls in tab order, which is their creation order, with the rectangles they were
// designed with in twips.
struct ControlSpec {
  int id;
  Kind kind;
  const wchar_t* caption;
  int iconId;
  int left, top, width, height;
};
constexpr ControlSpec kControls[] = {
    {kIdCommand1, Kind::Push, L"Command1", 0, -720, 2640, 615, 495},
    {kIdCheck1, Kind::Face, L"Add Word File(s)", IDI_WORD_DOCUMENT, 120, 1800, 2175, 1095},
    {kIdCheck2, Kind::Face, L"Export to PDF", IDI_PDF_DOCUMENT, 4680, 1800, 2175, 1095},
    {kIdListView1, Kind::List, L"", 0, 120, 120, 6735, 1575},
    {kIdCheck4, Kind::Face, L" Add All Word Files In Folder", IDI_OPEN_FOLDER, 2400, 1800, 2175,
     1095},
    {kIdProgressBar1, Kind::Bar, L"", 0, 120, 3000, 6735, 375},
    // No picture: the transparent one of "Help" would only push its caption out.
    {kIdCheck3, Kind::Face, L"Help", 0, 120, 3480, 6735, 375},
};

constexpr wchar_t kListToolTip[] =
    L"Drag and drop files here. Double-click item to remove it. Move bar to right and out of "
    L"window to reveal full names.";

// The client area stays the designed twips exactly, whatever the frame's rounding.
SIZE FormFrameSize(int dpi) {
  return FrameSize(kFormStyle, TwipsToPixels(kClientWidthTwips, dpi),
                   TwipsToPixels(kClientHeightTwips, dpi), dpi);
}

RECT PlaceOf(const ControlSpec& spec, int dpi) {
  const int left = TwipsToPixels(spec.left, dpi);
  const int top = TwipsToPixels(spec.top, dpi);
  return {left, top, left + TwipsToPixels(spec.width, dpi), top + TwipsToPixels(spec.height, dpi)};
}

HWND CreateChild(HWND parent, const ControlSpec& spec, const RECT& place) {
  const wchar_t* windowClass = WC_BUTTONW;
  DWORD exStyle = 0;
  DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
  if (spec.kind == Kind::List) {
    windowClass = WC_LISTVIEWW;
    exStyle = WS_EX_CLIENTEDGE;
    style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
            LVS_OWNERDATA;
  } else if (spec.kind == Kind::Bar) {
    windowClass = PROGRESS_CLASSW;
    style = WS_CHILD | WS_VISIBLE;
  }
  return CreateWindowExW(exStyle, windowClass, spec.caption, style, place.left, place.top,
                         place.right - place.left, place.bottom - place.top, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)),
                         GetModuleHandleW(nullptr), nullptr);
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

  const SIZE frame = FormFrameSize(form->dpi_);
  // Made where Form_Load centres it, so that the centring moves nothing, and on the monitor it
  // will show on. The title is set by Form_Load; until then the window carries the class's name.
  const Point at = CenteredPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                    frame.cx, frame.cy);
  CreateWindowExW(0, kForm1Class, L"Form1", kFormStyle, at.x, at.y, frame.cx, frame.cy, nullptr,
                  nullptr, instance, form.get());
  if (!form->hwnd_) return nullptr;
  // The monitor the window opens on may be scaled otherwise than the system's DPI says.
  const int dpi = WindowDpi(form->hwnd_);
  if (dpi > 0 && dpi != form->dpi_) {
    form->ApplyDpi(dpi);
    const SIZE scaled = FormFrameSize(form->dpi_);
    SetWindowPos(form->hwnd_, nullptr, 0, 0, scaled.cx, scaled.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  form->Form_Load();
  return form;
}

Form1::~Form1() = default;

int Form1::Px(int twips) const { return TwipsToPixels(twips, dpi_); }

FaceButton& Form1::Face(int id) const {
  for (const auto& face : faces_) {
    if (GetDlgCtrlID(face->hwnd()) == id) return *face;
  }
  return *faces_.front();  // not reached: every id asked for is in kControls
}

void Form1::Show(int showCommand) {
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  // The unseen Command1 is first in the tab order and holds the focus.
  SetFocus(command1_);
  PostMessageW(hwnd_, kAfterShowMessage, 0, 0);
}

void Form1::OleReady() {
  if (docList_) docList_->AcceptDrops();
}

void Form1::OnCreate() {
  CreateControls();
  pointers_ = std::make_unique<FormPointers>(hwnd_, listView1_);
  for (const auto& face : faces_) face->OnMouseMove([this] { Check_MouseMove(); });
  Face(kIdCheck3).OnClick([this] { Check3_Click(); });
  docList_ = std::make_unique<DocListFeature>(Face(kIdCheck1), listView1_, documents_, *pointers_,
                                              *this);
  export_ = std::make_unique<ExportFeature>(Face(kIdCheck2), progressBar1_, documents_, *this,
                                            pointers_->Busy());
  addFolder_ = std::make_unique<AddFolderFeature>(Face(kIdCheck4), hwnd_, documents_, *this,
                                                  pointers_->Busy());
  unattended_ = std::make_unique<UnattendedRun>(hwnd_, documents_, *export_);
  RunEnd::Watch(hwnd_);
}

void Form1::CreateControls() {
  LoadDpiResources();
  // Each made in its place: moving a control afterwards costs as much as making it.
  for (const ControlSpec& spec : kControls) {
    const RECT place = PlaceOf(spec, dpi_);
    if (spec.kind == Kind::Face) {
      faces_.push_back(
          std::make_unique<FaceButton>(hwnd_, spec.id, spec.caption, spec.iconId, place));
      faces_.back()->SetLook(dpi_, highContrast_);
      SendMessageW(faces_.back()->hwnd(), WM_SETFONT,
                   reinterpret_cast<WPARAM>(buttonFont_.get()), FALSE);
      continue;
    }
    HWND control = CreateChild(hwnd_, spec, place);
    if (spec.kind == Kind::Push) command1_ = control;
    if (spec.kind == Kind::List) listView1_ = control;
    if (spec.kind == Kind::Bar) progressBar1_ = control;
  }
  SendMessageW(listView1_, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_.get()), FALSE);
  // A themed bar ignores its background colour; without the theme the bar keeps the system's
  // colour and the background is the one set at start-up.
  SetWindowTheme(progressBar1_, L"", L"");
  SendMessageW(progressBar1_, PBM_SETRANGE32, 0, 100);
  SendMessageW(progressBar1_, PBM_SETPOS, 0, 0);
  toolTip_ = win::AddToolTip(hwnd_, listView1_, kListToolTip, Px(kToolTipTwips));
}

void Form1::LoadDpiResources() {
  win::UniqueFont buttonFont = MakeBoldFont(L"Arial", 11.25, dpi_);
  win::UniqueFont listFont = MakeBoldFont(L"Arial", 9, dpi_);
  for (const auto& face : faces_) {
    face->SetLook(dpi_, highContrast_);
    SendMessageW(face->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont.get()), TRUE);
  }
  if (listView1_) {
    SendMessageW(listView1_, WM_SETFONT, reinterpret_cast<WPARAM>(listFont.get()), TRUE);
  }
  // The old fonts go only once no control uses them.
  buttonFont_ = std::move(buttonFont);
  listFont_ = std::move(listFont);
}

void Form1::LayOutControls() {
  for (const ControlSpec& spec : kControls) {
    HWND control = GetDlgItem(hwnd_, spec.id);
    if (!control) continue;
    const RECT place = PlaceOf(spec, dpi_);
    SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Form1::ApplyDpi(int dpi) {
  const int oldDpi = dpi_;
  dpi_ = dpi;
  LoadDpiResources();
  LayOutControls();
  HWND header = listView1_ ? ListView_GetHeader(listView1_) : nullptr;
  if (header && SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) > 0) {
    // A column the user has widened keeps its share; the designed width comes from the twips.
    const int width = static_cast<int>(SendMessageW(listView1_, LVM_GETCOLUMNWIDTH, 0, 0));
    const int scaled = width == TwipsToPixels(kListColumnTwips, oldDpi) ? Px(kListColumnTwips)
                                                                        : MulDiv(width, dpi, oldDpi);
    SendMessageW(listView1_, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(scaled, 0));
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

void Form1::ApplyColours() {
  highContrast_ = HighContrastOn();
  for (const auto& face : faces_) face->SetLook(dpi_, highContrast_);
  SendMessageW(progressBar1_, PBM_SETBKCOLOR, 0,
               static_cast<LPARAM>(highContrast_ ? CLR_DEFAULT : kWhite));
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form1::Form_Load() {
  win::CenterForm(hwnd_);
  SetWindowTextW(hwnd_, kAppTitle);
  ApplyColours();  // the progress bar's white background among them

  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<wchar_t*>(L"Word File(s)");
  column.cx = Px(kListColumnTwips);
  SendMessageW(listView1_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
}

void Form1::AfterShow() {
  // Until the picture is read the buttons show the arrow, for the first moments only.
  pointers_->LoadWindowPicture(win::ProgramDirectory() + L"\\HAND-M.CUR");
  // A script's run opens nothing besides its own window.
  if (!unattended_->Active()) win::VisitHomePageOccasionally();
}

void Form1::Form_Unload() {
  // Ends the program at once, also from inside a pumped wait (the pumps exit on WM_QUIT).
  PostQuitMessage(0);
}

void Form1::Check3_Click() {
  if (!Face(kIdCheck3).TakePress()) return;
  Notify(kHelpText);
}

void Form1::Notify(const std::wstring& text) {
  win::OwnBox box;
  MessageBoxW(hwnd_, WithLineBreaks(text).c_str(), kAppTitle, MB_OK);
}

Answer Form1::AskYesNo(const std::wstring& text) {
  win::OwnBox box;
  const int pressed =
      MessageBoxW(hwnd_, WithLineBreaks(text).c_str(), kAppTitle, MB_YESNO | MB_DEFBUTTON1);
  return pressed == IDYES ? Answer::Yes : Answer::No;
}

void Form1::Form_MouseMove() {
  pointers_->SetMousePointer(WindowHoverPointer(pointers_->MousePointer()));
}

void Form1::Check_MouseMove() {
  pointers_->SetMousePointer(ButtonHoverPointer(pointers_->MousePointer()));
}

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
  LRESULT result = 0;
  if (OnLookMessage(message, wParam, lParam, result)) return result;
  if (unattended_ && unattended_->OnMessage(message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case kAfterShowMessage:
      AfterShow();
      return 0;
    case WM_SETCURSOR:
      if (pointers_ && pointers_->OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) {
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      if (pointers_) Form_MouseMove();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        focus_.Remember(hwnd_);
      } else if (!HIWORD(wParam)) {
        focus_.Restore(hwnd_, command1_);
      }
      return 0;
    case WM_SETFOCUS:
      focus_.Restore(hwnd_, command1_);
      return 0;
    case DM_GETDEFID:
      return 0;
    // The controls' owners handle their clicks and notifications.
    case WM_COMMAND:
    case WM_NOTIFY:
      if (win::ReflectToControl(hwnd_, message, wParam, lParam, result)) return result;
      break;
    case WM_DESTROY:
      Form_Unload();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// DPI and colours: true when the message was answered.
bool Form1::OnLookMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return true;
    case kWmGetDpiScaledSize:
      if (static_cast<int>(wParam) <= 0) return true;
      *reinterpret_cast<SIZE*>(lParam) = FormFrameSize(static_cast<int>(wParam));
      result = TRUE;
      return true;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
      ApplyColours();
      return false;
    case WM_ERASEBKGND: {
      if (!highContrast_) return false;
      RECT client{};
      GetClientRect(hwnd_, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_WINDOW));
      result = 1;
      return true;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: {
      const COLORREF colour = highContrast_ ? GetSysColor(COLOR_WINDOW) : kWhite;
      SetBkColor(reinterpret_cast<HDC>(wParam), colour);
      result = reinterpret_cast<LRESULT>(highContrast_ ? GetSysColorBrush(COLOR_WINDOW)
                                                       : GetStockObject(WHITE_BRUSH));
      return true;
    }
    default:
      return false;
  }
}

}  // namespace tavrolin
