#include "export/win/window_layer_win.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

namespace tavrolin::win {
namespace {

HWND Hwnd(WindowId id) { return reinterpret_cast<HWND>(id); }

// True when `name` is "#" and the atom's number in decimal, as class names of atoms are given.
constexpr bool NamesAtom(std::wstring_view name, unsigned atom) {
  if (name.size() < 2 || name[0] != L'#') return false;
  unsigned value = 0;
  for (const wchar_t c : name.substr(1)) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + static_cast<unsigned>(c - L'0');
  }
  return value == atom;
}

static_assert(kWmChar == WM_CHAR && kWmLButtonDown == WM_LBUTTONDOWN && kWmLButtonUp == WM_LBUTTONUP &&
              kMkLButton == MK_LBUTTON && kWmCommand == WM_COMMAND && kEmSetSel == EM_SETSEL &&
              kBnClicked == BN_CLICKED && kIdOk == IDOK && kIdCancel == IDCANCEL && kIdNo == IDNO);

// A sent message waits no longer than this, so that a read of the box (two messages) keeps the
// caller's window answering; the driver tries again after pumping.
constexpr UINT kSendTimeoutMs = 25;
// WC_DIALOG is MAKEINTATOM(atom), a pointer cast no constant expression can read; read as the
// bare number, the SDK's own definition is compared with the driver's class name.
#pragma push_macro("MAKEINTATOM")
#undef MAKEINTATOM
#define MAKEINTATOM(atom) (atom)
static_assert(NamesAtom(kDialogClass, WC_DIALOG));
#pragma pop_macro("MAKEINTATOM")

}  // namespace

WindowId Win32WindowLayer::FindWindowAfter(WindowId parent, WindowId after, const std::wstring& className,
                                           const std::wstring* text) {
  if (after == 0 || parent == 0) {
    return reinterpret_cast<WindowId>(
        FindWindowExW(Hwnd(parent), Hwnd(after), className.c_str(), text ? text->c_str() : nullptr));
  }
  // Some FindWindowEx implementations (Wine's) find nothing after a child of another class, so
  // the siblings are walked as FindWindowEx documents it. The text is read without sending a
  // message to the other process, as FindWindowEx does.
  for (HWND child = GetWindow(Hwnd(after), GW_HWNDNEXT); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[256] = {};
    GetClassNameW(child, name, 256);
    if (_wcsicmp(name, className.c_str()) != 0) continue;
    if (text) {
      wchar_t caption[512] = {};
      InternalGetWindowText(child, caption, 512);
      if (_wcsicmp(caption, text->c_str()) != 0) continue;
    }
    return reinterpret_cast<WindowId>(child);
  }
  return 0;
}

std::optional<unsigned char> Win32WindowLayer::AnsiCode(wchar_t character) {
  // A UTF-8 code page has one byte only for ASCII, and refuses the "default used" query.
  if (GetACP() == CP_UTF8) {
    if (character < 0x80) return static_cast<unsigned char>(character);
    return std::nullopt;
  }
  char bytes[4];
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &character, 1, bytes, sizeof bytes, nullptr,
                                    &usedDefault);
  if (n != 1 || usedDefault) return std::nullopt;
  return static_cast<unsigned char>(bytes[0]);
}

bool Win32WindowLayer::PostNarrow(WindowId window, unsigned message, std::intptr_t wParam,
                                  std::intptr_t lParam) {
  return PostMessageA(Hwnd(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) != FALSE;
}

bool Win32WindowLayer::PostWide(WindowId window, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
  return PostMessageW(Hwnd(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) != FALSE;
}

std::vector<WindowId> Win32WindowLayer::Children(WindowId parent) {
  std::vector<WindowId> children;
  for (HWND child = GetWindow(Hwnd(parent), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(reinterpret_cast<WindowId>(child));
  }
  return children;
}

WindowId Win32WindowLayer::Parent(WindowId window) {
  const HWND parent = GetAncestor(Hwnd(window), GA_PARENT);
  return parent == GetDesktopWindow() ? 0 : reinterpret_cast<WindowId>(parent);
}

std::wstring Win32WindowLayer::ClassName(WindowId window) {
  wchar_t name[256] = {};
  const int n = GetClassNameW(Hwnd(window), name, 256);
  return std::wstring(name, n > 0 ? n : 0);
}

int Win32WindowLayer::ControlId(WindowId window) { return GetDlgCtrlID(Hwnd(window)); }

std::wstring Win32WindowLayer::Caption(WindowId window) {
  // Without a message: the other process may be busy.
  wchar_t caption[1024] = {};
  const int n = InternalGetWindowText(Hwnd(window), caption, 1024);
  return std::wstring(caption, n > 0 ? n : 0);
}

bool Win32WindowLayer::Exists(WindowId window) { return IsWindow(Hwnd(window)) != FALSE; }

bool Win32WindowLayer::Shown(WindowId window) { return IsWindow(Hwnd(window)) && IsWindowVisible(Hwnd(window)); }

bool Win32WindowLayer::OfThisProcess(WindowId window) {
  DWORD process = 0;
  GetWindowThreadProcessId(Hwnd(window), &process);
  return process == GetCurrentProcessId();
}

std::vector<WindowId> Win32WindowLayer::OwnedWindows(WindowId owner) {
  struct Search {
    HWND owner;
    std::vector<WindowId> found;
  } search{Hwnd(owner), {}};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (GetWindow(window, GW_OWNER) == s->owner && IsWindowVisible(window)) {
          s->found.push_back(reinterpret_cast<WindowId>(window));
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::optional<std::wstring> Win32WindowLayer::ReadText(WindowId window) {
  // The system copies the text across processes for WM_GETTEXT; the caption GetWindowText
  // reads is not an edit box's content.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(Hwnd(window), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) {
    return std::nullopt;
  }
  return ReadTextUpTo(window, length);
}

std::optional<std::wstring> Win32WindowLayer::ReadTextUpTo(WindowId window, std::size_t count) {
  std::wstring text(count + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(Hwnd(window), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
    return std::nullopt;
  }
  text.resize(std::min<std::size_t>(copied, count));
  return text;
}

bool Win32WindowLayer::SetText(WindowId window, const std::wstring& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(Hwnd(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &result) != 0;
}

bool Win32WindowLayer::Responds(WindowId window) {
  constexpr UINT kBusyMs = 50;
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(Hwnd(window), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kBusyMs, &result) != 0;
}

}  // namespace tavrolin::win
