#include "platform_dialogs.h"

#include <windows.h>
#include <commdlg.h>
#include <shobjidl.h>

#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "log.h"

namespace tavrolin::testbed {
namespace {

// What one job thread's dialog is made of, for the hooks that log and filter its messages.
struct Watch {
  const Settings* settings = nullptr;
  HANDLE stop = nullptr;
  std::wstring kind;
  HWND dialog = nullptr;
  HWND box = nullptr;      // the file name box, where this kind keeps it
  HWND address = nullptr;  // "windows": the address bar's own edit box
  bool abandoned = false;
};
thread_local Watch* t_watch = nullptr;

bool IsClass(HWND window, const wchar_t* name) {
  wchar_t actual[128] = {};
  GetClassNameW(window, actual, 128);
  return _wcsicmp(actual, name) == 0;
}

HWND FindBox(const Watch& w) {
  if (w.kind == L"system") {
    // The classic common dialog: ComboBoxEx32 1148 > ComboBox > Edit.
    HWND combo = FindWindowExW(GetDlgItem(w.dialog, 1148), nullptr, L"ComboBox", nullptr);
    return combo ? FindWindowExW(combo, nullptr, L"Edit", nullptr) : nullptr;
  }
  return FindWindowExW(w.dialog, nullptr, L"Edit", nullptr);
}

const wchar_t* Name(Watch& w, HWND window) {
  if (!w.dialog || !window) return nullptr;
  if (window == w.dialog) return L"dialog";
  if (!w.box) w.box = FindBox(w);
  if (window == w.box) return L"edit";
  if (window == w.address) return L"address";
  if (GetAncestor(window, GA_PARENT) == w.dialog && IsClass(window, L"Button")) {
    const int id = GetDlgCtrlID(window);
    if (id == IDOK) return L"save";
    if (id == IDCANCEL) return L"cancel";
  }
  return nullptr;
}

// Posted messages, as the dialog's loop takes them: logged, and a click dropped when asked.
LRESULT CALLBACK GetMessageHook(int code, WPARAM removed, LPARAM lParam) {
  if (code == HC_ACTION && removed == PM_REMOVE && t_watch) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (const wchar_t* name = Name(*t_watch, msg->hwnd); name && !Generated(msg->message)) {
      LogMessage(name, msg->message, msg->wParam, msg->lParam, true);
      if (IgnoredClick(*t_watch->settings, *msg, std::wcscmp(name, L"save") == 0)) msg->message = WM_NULL;
    }
  }
  return CallNextHookEx(nullptr, code, removed, lParam);
}

std::wstring TextOf(HWND w) {
  wchar_t t[1024] = {};
  GetWindowTextW(w, t, 1024);
  return t;
}

// Messages sent from another thread, and the dialog itself once it is set up.
LRESULT CALLBACK CallWndHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && t_watch) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    // What the box holds when Save is pressed: what the dialog goes on to check.
    if (call->hwnd == t_watch->dialog && call->message == WM_COMMAND && LOWORD(call->wParam) == IDOK) {
      LogEvent(L"save-pressed", TextOf(t_watch->box ? t_watch->box : FindBox(*t_watch)));
    }
    if (InSendMessage()) {
      if (const wchar_t* name = Name(*t_watch, call->hwnd)) {
        LogMessage(name, call->message, call->wParam, call->lParam, false);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CallWndRetHook(int code, WPARAM wParam, LPARAM lParam) {
  // The hand-built dialog names itself once it is complete.
  if (code == HC_ACTION && t_watch && !t_watch->dialog && t_watch->kind != L"windows") {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (call->message == WM_INITDIALOG && GetAncestor(call->hwnd, GA_PARENT) == GetDesktopWindow() &&
        IsClass(call->hwnd, L"#32770")) {
      t_watch->dialog = call->hwnd;
      LogEvent(L"dialog-shown", t_watch->kind);
      LogEvent(L"dialog-title", TextOf(call->hwnd));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A modal dialog gives no other way in: a thread timer looks for the end of the process.
void CALLBACK StopTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (!t_watch || t_watch->abandoned || WaitForSingleObject(t_watch->stop, 0) != WAIT_OBJECT_0) return;
  t_watch->abandoned = true;
  LogEvent(L"dialog-abandoned", t_watch->kind);
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM) -> BOOL {
        if (GetWindow(window, GW_OWNER) && IsClass(window, L"#32770")) PostMessageW(window, WM_COMMAND, IDOK, 0);
        return TRUE;
      },
      0);
  if (t_watch->dialog) PostMessageW(t_watch->dialog, WM_COMMAND, IDCANCEL, 0);
}

// The hooks and the timer, for as long as one dialog runs on this thread.
class WatchScope {
 public:
  explicit WatchScope(Watch& watch) {
    t_watch = &watch;
    const DWORD thread = GetCurrentThreadId();
    hooks_[0] = SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, thread);
    hooks_[1] = SetWindowsHookExW(WH_CALLWNDPROC, CallWndHook, nullptr, thread);
    hooks_[2] = SetWindowsHookExW(WH_CALLWNDPROCRET, CallWndRetHook, nullptr, thread);
    timer_ = SetTimer(nullptr, 0, 100, StopTimer);
  }
  ~WatchScope() {
    KillTimer(nullptr, timer_);
    for (HHOOK hook : hooks_) {
      if (hook) UnhookWindowsHookEx(hook);
    }
    t_watch = nullptr;
  }
  WatchScope(const WatchScope&) = delete;
  WatchScope& operator=(const WatchScope&) = delete;

 private:
  HHOOK hooks_[3] = {};
  UINT_PTR timer_ = 0;
};

// ---- "system": the platform's GetSaveFileNameW ----

// Only with RefusePath: a hook is how a printer turns down the name the user gave.
UINT_PTR CALLBACK RefusingHook(HWND child, UINT msg, WPARAM, LPARAM lParam) {
  if (msg != WM_NOTIFY || !t_watch) return 0;
  const auto* notify = reinterpret_cast<const OFNOTIFYW*>(lParam);
  if (notify->hdr.code != CDN_FILEOK) return 0;
  if (!RefuseIfAsked(*t_watch->settings, GetParent(child), notify->lpOFN->lpstrFile)) return 0;
  SetWindowLongPtrW(child, DWLP_MSGRESULT, 1);
  return 1;
}

bool SystemDialog(Watch& w, std::wstring& target) {
  std::vector<wchar_t> file(32768, L'\0');
  w.settings->suggestedName.copy(file.data(), file.size() - 1);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = L"PDF files (*.pdf)\0*.pdf\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  // No title: the platform's own, in the system's language, as a printer driver leaves it.
  ofn.lpstrTitle = w.settings->dialogTitle.empty() ? nullptr : w.settings->dialogTitle.c_str();
  ofn.lpstrDefExt = L"pdf";
  ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (w.settings->refusePath) {
    ofn.Flags |= OFN_ENABLEHOOK;
    ofn.lpfnHook = RefusingHook;
  }
  if (!GetSaveFileNameW(&ofn)) {
    const DWORD error = CommDlgExtendedError();
    if (error) LogEvent(L"dialog-failed", std::to_wstring(error));
    return false;
  }
  return TargetPath(file.data(), target);
}

// ---- "itemdialog": the platform's IFileSaveDialog ----

class RefusingEvents final : public IFileDialogEvents {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IFileDialogEvents) {
      *out = static_cast<IFileDialogEvents*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnFileOk(IFileDialog* dialog) override {
    std::wstring typed;
    wchar_t* name = nullptr;
    if (SUCCEEDED(dialog->GetFileName(&name)) && name) {
      typed = name;
      CoTaskMemFree(name);
    }
    HWND window = nullptr;
    IOleWindow* ole = nullptr;
    if (SUCCEEDED(dialog->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&ole)))) {
      ole->GetWindow(&window);
      ole->Release();
    }
    return RefuseIfAsked(*t_watch->settings, window ? window : t_watch->dialog, typed) ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnFolderChanging(IFileDialog*, IShellItem*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnFolderChange(IFileDialog*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnSelectionChange(IFileDialog*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShareViolation(IFileDialog*, IShellItem*, FDE_SHAREVIOLATION_RESPONSE*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnTypeChange(IFileDialog*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnOverwrite(IFileDialog*, IShellItem*, FDE_OVERWRITE_RESPONSE*) override {
    return S_OK;
  }
};

bool ItemDialog(Watch& w, std::wstring& target) {
  IFileSaveDialog* dialog = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSaveDialog,
                                reinterpret_cast<void**>(&dialog));
  if (FAILED(hr)) {
    LogEvent(L"dialog-failed", L"IFileSaveDialog " + std::to_wstring(hr));
    return false;
  }
  const COMDLG_FILTERSPEC types[] = {{L"PDF files", L"*.pdf"}};
  dialog->SetFileTypes(1, types);
  dialog->SetDefaultExtension(L"pdf");
  if (!w.settings->dialogTitle.empty()) dialog->SetTitle(w.settings->dialogTitle.c_str());
  if (!w.settings->suggestedName.empty()) dialog->SetFileName(w.settings->suggestedName.c_str());
  RefusingEvents events;
  DWORD cookie = 0;
  const bool advised = w.settings->refusePath && SUCCEEDED(dialog->Advise(&events, &cookie));
  hr = dialog->Show(nullptr);
  bool saving = false;
  IShellItem* item = nullptr;
  if (SUCCEEDED(hr) && SUCCEEDED(dialog->GetResult(&item))) {
    wchar_t* path = nullptr;
    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
      saving = TargetPath(path, target);
      CoTaskMemFree(path);
    }
    item->Release();
  }
  if (advised) dialog->Unadvise(cookie);
  dialog->Release();
  return saving;
}

// ---- "windows": the Windows 10/11 dialog's window tree, built here ----

// What the public UI-automation descriptions of that dialog walk: its view holds the file name
// box five levels down (a combo box without an ID, whose edit has the combo box's 1001); its
// address bar keeps an edit of its own; Save and Cancel are the dialog's direct children.
struct ItemsDialog {
  Watch* watch = nullptr;
  HWND combo = nullptr;
  bool done = false;
  bool saving = false;
  std::wstring target;
};

LRESULT CALLBACK PaneProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, msg, wParam, lParam);
}

const wchar_t* const kPaneClasses[] = {L"DUIViewWndClassName", L"DirectUIHWND", L"CtrlNotifySink",
                                       L"FloatNotifySink",     L"WorkerW",      L"ReBarWindow32",
                                       L"Address Band Root",   L"msctls_progress32", L"ComboBoxEx32",
                                       L"SHELLDLL_DefView"};

void RegisterPanes() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const wchar_t* name : kPaneClasses) {
      WNDCLASSW c{};
      c.lpfnWndProc = PaneProc;
      c.hInstance = GetModuleHandleW(nullptr);
      c.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
      c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      c.lpszClassName = name;
      RegisterClassW(&c);
    }
  });
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int cx, int cy,
           int id = 0) {
  return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, cx, cy, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

INT_PTR CALLBACK ItemsDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = reinterpret_cast<ItemsDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      return FALSE;
    case WM_COMMAND: {
      if (!d || HIWORD(wParam) != BN_CLICKED) return FALSE;
      if (LOWORD(wParam) == IDCANCEL) {
        d->done = true;
        return TRUE;
      }
      if (LOWORD(wParam) != IDOK) return FALSE;
      wchar_t text[MAX_PATH * 4] = {};
      GetWindowTextW(d->combo, text, static_cast<int>(std::size(text)));
      if (RefuseIfAsked(*d->watch->settings, dialog, text)) return TRUE;
      if (TargetPath(text, d->target)) {
        d->saving = d->done = true;
      } else {
        MessageBoxW(dialog, (std::wstring(text) + L"\r\nPath does not exist.\r\nCheck the path and try again.").c_str(),
                    DialogTitle(*d->watch->settings).c_str(), MB_OK | MB_ICONWARNING);
      }
      return TRUE;
    }
    case WM_CLOSE:
      if (d) d->done = true;
      return TRUE;
    default:
      return FALSE;
  }
}

bool WindowsDialog(Watch& w, const std::wstring& document, std::wstring& target) {
  RegisterPanes();
  ItemsDialog d;
  d.watch = &w;
  // An empty dialog of the standard class; its children are made below, in z-order.
  struct {
    DLGTEMPLATE header;
    WORD menu, cls, title, pointSize;
    wchar_t font[13];
  } empty{};
  empty.header.style = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  empty.header.cx = 380;
  empty.header.cy = 230;
  empty.pointSize = 9;
  std::wcscpy(empty.font, L"Segoe UI");
  HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &empty.header, nullptr, ItemsDialogProc,
                                           reinterpret_cast<LPARAM>(&d));
  if (!dialog) {
    LogEvent(L"dialog-failed", std::to_wstring(GetLastError()));
    return false;
  }
  HWND view = Child(dialog, L"DUIViewWndClassName", L"", 0, 0, 44, 570, 270);
  HWND direct = Child(view, L"DirectUIHWND", L"", 0, 0, 0, 570, 270);
  HWND sink = Child(direct, L"CtrlNotifySink", L"", 0, 0, 0, 570, 200);
  Child(sink, L"SHELLDLL_DefView", L"ShellView", 0, 0, 0, 570, 200);
  HWND nameSink = Child(direct, L"FloatNotifySink", L"", 0, 100, 210, 460, 24);
  d.combo = Child(nameSink, L"ComboBox", L"", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_TABSTOP, 0, 0, 460, 200);
  HWND typeSink = Child(direct, L"FloatNotifySink", L"", 0, 100, 240, 460, 24);
  HWND type = Child(typeSink, L"ComboBox", L"", CBS_DROPDOWNLIST, 0, 0, 460, 200);
  SendMessageW(type, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"PDF files (*.pdf)"));
  SendMessageW(type, CB_SETCURSEL, 0, 0);

  HWND worker = Child(dialog, L"WorkerW", L"", 0, 0, 0, 570, 40);
  HWND rebar = Child(worker, L"ReBarWindow32", L"", 0, 0, 0, 570, 40);
  HWND band = Child(rebar, L"Address Band Root", L"", 0, 80, 6, 480, 28);
  HWND progress = Child(band, L"msctls_progress32", L"", 0, 0, 0, 480, 28);
  HWND comboEx = Child(progress, L"ComboBoxEx32", L"", 0, 0, 0, 480, 28);
  HWND addressCombo = Child(comboEx, L"ComboBox", L"", CBS_DROPDOWN | CBS_AUTOHSCROLL, 0, 0, 480, 200);
  const std::wstring folder = document.substr(0, document.find_last_of(L'\\'));
  SetWindowTextW(addressCombo, folder.c_str());

  const std::wstring& saveText = w.settings->saveButtonText;
  Child(dialog, L"Button", saveText.empty() ? L"&Save" : saveText.c_str(), BS_DEFPUSHBUTTON | WS_TABSTOP, 380, 320,
        90, 26, IDOK);
  Child(dialog, L"Button", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 476, 320, 90, 26, IDCANCEL);

  w.dialog = dialog;
  w.box = FindWindowExW(d.combo, nullptr, L"Edit", nullptr);
  w.address = FindWindowExW(addressCombo, nullptr, L"Edit", nullptr);
  // As that dialog opens: the suggested name in the box, its name part selected.
  const std::wstring& suggested = w.settings->suggestedName;
  SetWindowTextW(d.combo, suggested.c_str());
  const auto dot = suggested.find_last_of(L'.');
  ShowWindow(dialog, SW_SHOW);
  SetFocus(w.box);
  SendMessageW(w.box, EM_SETSEL, 0, dot == std::wstring::npos ? suggested.size() : dot);
  // Titled only now, so whoever looks for it by its title finds it with all its windows.
  SetWindowTextW(dialog, DialogTitle(*w.settings).c_str());
  LogEvent(L"dialog-shown", w.kind);
  LogEvent(L"dialog-title", DialogTitle(*w.settings));

  while (!d.done) {
    HANDLE stop = w.stop;
    if (MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0) {
      LogEvent(L"dialog-abandoned", w.kind);
      break;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (IsDialogMessageW(dialog, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // Gone for everyone looking for it at once.
  SetWindowTextW(dialog, L"");
  ShowWindow(dialog, SW_HIDE);
  DestroyWindow(dialog);
  target = d.target;
  return d.saving;
}

}  // namespace

bool RunPlatformDialog(const std::wstring& kind, const std::wstring& document, const Settings& settings,
                       HANDLE stop, std::wstring& target) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  Watch watch;
  watch.settings = &settings;
  watch.stop = stop;
  watch.kind = kind;
  bool saving = false;
  {
    WatchScope scope(watch);
    if (kind == L"windows") {
      saving = WindowsDialog(watch, document, target);
    } else if (kind == L"itemdialog") {
      saving = ItemDialog(watch, target);
    } else {
      saving = SystemDialog(watch, target);
    }
  }
  if (!saving) LogEvent(L"dialog-cancelled", document);
  if (SUCCEEDED(com)) CoUninitialize();
  return saving;
}

}  // namespace tavrolin::testbed
