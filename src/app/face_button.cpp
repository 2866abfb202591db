#include "app/face_button.h"

#include <commctrl.h>

#include <iterator>

namespace tavrolin {
namespace {

constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE |
                         BS_MULTILINE | BS_CENTER | BS_VCENTER;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kFrame = RGB(173, 173, 173);
constexpr COLORREF kHotFrame = RGB(0, 120, 215);
constexpr COLORREF kPressedFace = RGB(204, 228, 247);
constexpr COLORREF kPressedFrame = RGB(0, 84, 153);
constexpr COLORREF kDisabledFrame = RGB(191, 191, 191);
constexpr COLORREF kCaption = RGB(0, 0, 0);

struct FaceColours {
  COLORREF fill, frame, text;
};

FaceColours ColoursFor(bool down, bool hot, bool enabled, bool highContrast) {
  if (highContrast) {
    return {GetSysColor(down ? COLOR_HIGHLIGHT : COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT),
            GetSysColor(!enabled ? COLOR_GRAYTEXT : down ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT)};
  }
  return {down ? kPressedFace : kWhite,
          !enabled ? kDisabledFrame : down ? kPressedFrame : hot ? kHotFrame : kFrame,
          enabled ? kCaption : GetSysColor(COLOR_GRAYTEXT)};
}

void FillColour(HDC dc, const RECT& r, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void FrameColour(HDC dc, RECT r, COLORREF colour) {
  FillColour(dc, {r.left, r.top, r.right, r.top + 1}, colour);
  FillColour(dc, {r.left, r.bottom - 1, r.right, r.bottom}, colour);
  FillColour(dc, {r.left, r.top, r.left + 1, r.bottom}, colour);
  FillColour(dc, {r.right - 1, r.top, r.right, r.bottom}, colour);
}

}  // namespace

FaceButton::FaceButton(HWND parent, int id, const wchar_t* caption, int iconId,
                       const RECT& place)
    : iconId_(iconId),
      subclass_(CreateWindowExW(0, WC_BUTTONW, caption, kStyle, place.left, place.top,
                                place.right - place.left, place.bottom - place.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr),
                [this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
                  return OnMessage(message, wParam, lParam, result);
                }) {}

void FaceButton::SetLook(int dpi, bool highContrast) {
  highContrast_ = highContrast;
  if (dpi == dpi_) return;
  dpi_ = dpi;
  if (!iconId_) return;
  const int size = MulDiv(32, dpi, 96);
  icon_.reset(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId_),
                                            IMAGE_ICON, size, size, 0)));
}

bool FaceButton::TakePress() {
  if (SendMessageW(hwnd(), BM_GETCHECK, 0, 0) != BST_CHECKED) return false;
  SendMessageW(hwnd(), BM_SETCHECK, BST_UNCHECKED, 0);
  return true;
}

bool FaceButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case win::kReflectedCommand:
      if (HIWORD(wParam) == BN_CLICKED && onClick_) onClick_();
      return true;
    case WM_MOUSEMOVE:
      if (onMouseMove_) onMouseMove_();
      break;  // the control still tracks hovering
    case WM_CONTEXTMENU:
      if (!onContextMenu_) break;
      onContextMenu_(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      return true;
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_PAINT: {
      win::PaintScope paint(hwnd());
      Paint(paint.dc());
      return true;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wParam));
      return true;
    default:
      break;
  }
  switch (message) {
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
    case BM_SETCHECK: {
      HWND button = hwnd();
      result = DefSubclassProc(button, message, wParam, lParam);
      if (IsWindow(button)) InvalidateRect(button, nullptr, FALSE);
      return true;
    }
    default:
      return false;
  }
}

void FaceButton::Paint(HDC target) {
  RECT face{};
  GetClientRect(hwnd(), &face);
  if (face.right <= 0 || face.bottom <= 0) return;
  // Drawn off screen first so that the face never flickers grey.
  win::UniqueMemoryDc dc(CreateCompatibleDC(target));
  win::UniqueBitmap bitmap(CreateCompatibleBitmap(target, face.right, face.bottom));
  if (!dc || !bitmap) return;
  win::SelectedObject selected(dc.get(), bitmap.get());
  DrawFace(dc.get(), face);
  BitBlt(target, 0, 0, face.right, face.bottom, dc.get(), 0, 0, SRCCOPY);
}

void FaceButton::DrawFace(HDC dc, const RECT& face) {
  const auto state = static_cast<UINT>(SendMessageW(hwnd(), BM_GETSTATE, 0, 0));
  const bool down = (state & (BST_PUSHED | BST_CHECKED)) != 0;
  const bool enabled = IsWindowEnabled(hwnd()) != FALSE;
  const FaceColours colours = ColoursFor(down, (state & BST_HOT) != 0, enabled, highContrast_);
  FillColour(dc, face, colours.fill);
  FrameColour(dc, face, colours.frame);
  if (down) FrameColour(dc, {1, 1, face.right - 1, face.bottom - 1}, colours.frame);
  DrawPictureAndCaption(dc, face, down, enabled, colours.text);

  const bool focusShown =
      GetFocus() == hwnd() && !(SendMessageW(hwnd(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
  if (!focusShown) return;
  RECT focus{3, 3, face.right - 3, face.bottom - 3};
  SetTextColor(dc, highContrast_ ? GetSysColor(COLOR_BTNTEXT) : kCaption);
  SetBkColor(dc, colours.fill);
  DrawFocusRect(dc, &focus);
}

// The picture above the caption, the pair centred; a pressed face moves them by a pixel.
void FaceButton::DrawPictureAndCaption(HDC dc, const RECT& face, bool down, bool enabled,
                                       COLORREF text) {
  const int width = face.right;
  const int shift = down ? 1 : 0;
  const int pad = MulDiv(4, dpi_, 96);
  HICON icon = icon_.get();
  const int iconSize = icon ? MulDiv(32, dpi_, 96) : 0;
  const int gap = icon ? MulDiv(2, dpi_, 96) : 0;
  wchar_t caption[256] = {};
  GetWindowTextW(hwnd(), caption, static_cast<int>(std::size(caption)));
  win::SelectedObject font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd(), WM_GETFONT, 0, 0)));
  RECT measure{pad, 0, width - pad, face.bottom};
  DrawTextW(dc, caption, -1, &measure, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
  const int textHeight = measure.bottom - measure.top;
  const int top = (face.bottom - (iconSize + gap + textHeight)) / 2 + shift;
  if (icon) {
    const int left = (width - iconSize) / 2 + shift;
    if (enabled && !highContrast_) {
      DrawIconEx(dc, left, top, icon, iconSize, iconSize, 0, nullptr, DI_NORMAL);
    } else {
      DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, left, top, iconSize,
                 iconSize, DST_ICON | (enabled ? 0 : DSS_DISABLED));
    }
  }
  const int textTop = top + iconSize + gap;
  RECT textRect{pad + shift, textTop, width - pad + shift, textTop + textHeight};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, text);
  DrawTextW(dc, caption, -1, &textRect, DT_CENTER | DT_WORDBREAK);
}

}  // namespace tavrolin
