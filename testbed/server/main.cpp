// The stand-in Word: an out-of-process server of "Word.Application". Started by COM (with
// -Embedding) it is invisible and ends with its last reference or on Quit; started by hand it
// shows a small window and registers itself as the running Word.
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "dispatch.h"
#include "log.h"
#include "printer.h"
#include "prompts.h"
#include "testbed/client/testbed_client.h"
#include "word_objects.h"

namespace tavrolin::testbed {
namespace {

// An embedded server nobody uses any more (a client that died holding a reference) must not
// outlive the test run.
constexpr DWORD kUnusedLimitMs = 5 * 60 * 1000;
constexpr DWORD kNeverCreatedLimitMs = 60 * 1000;
// After Quit the reply still has to reach the caller before the process ends.
constexpr UINT kQuitDelayMs = 500;

bool g_created = false;

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    IDispatch* app = CreateApplication();
    g_created = true;
    HRESULT hr = app->QueryInterface(iid, out);
    app->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// Rejects the first N incoming automation calls, as a busy Word does.
class MessageFilter final : public IMessageFilter {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
      *out = static_cast<IMessageFilter*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO info) override {
    // Only GetIDsOfNames and Invoke: reference counting must never be refused.
    if (!info || info->iid != IID_IDispatch || (info->wMethod != 5 && info->wMethod != 6)) {
      return SERVERCALL_ISHANDLED;
    }
    // Word refuses calls while one of its dialogs waits for an answer.
    if (InPrompt()) {
      LogEvent(L"rejected-call", L"prompt");
      MarkCallRejected();
      return SERVERCALL_RETRYLATER;
    }
    if (rejected_ < Current().rejectCalls) {
      ++rejected_;
      LogEvent(L"rejected-call", std::to_wstring(rejected_));
      MarkCallRejected();
      return SERVERCALL_RETRYLATER;
    }
    return SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

 private:
  unsigned rejected_ = 0;
};

bool HasEmbeddingSwitch(const wchar_t* commandLine) {
  std::wstring line = commandLine ? commandLine : L"";
  for (auto& c : line) c = towlower(c);
  return line.find(L"-embedding") != std::wstring::npos || line.find(L"/embedding") != std::wstring::npos;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      DrawTextW(dc, L"Word stand-in (already running)", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, msg, wParam, lParam);
  }
}

HWND CreateMainWindow(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"TavrolinTestbedWord";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"Word stand-in", WS_OVERLAPPEDWINDOW, 40, 40, 320, 120,
                                nullptr, nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  return window;
}

int Run(HINSTANCE instance, bool embedded) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  MessageFilter filter;
  IMessageFilter* previous = nullptr;
  CoRegisterMessageFilter(&filter, &previous);
  LogEvent(L"start", embedded ? L"embedded" : L"by hand");

  DWORD mainThread = GetCurrentThreadId();
  ClassFactory factory;
  DWORD classCookie = 0;
  DWORD activeCookie = 0;
  IDispatch* runningApp = nullptr;
  HWND window = nullptr;
  if (embedded) {
    EndWhenUnused(mainThread);
    // A Word loading its add-ins: CoCreateInstance waits until the class is registered.
    if (const unsigned delay = Current().startupDelayMs) Sleep(delay);
    // Single use: the next CreateObject starts a process of its own.
    if (FAILED(CoRegisterClassObject(kStandInClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &classCookie))) {
      LogEvent(L"exit", L"class registration failed");
      CoUninitialize();
      return 2;
    }
    LogEvent(L"registered", L"");
  } else {
    window = CreateMainWindow(instance);
    runningApp = CreateApplication();
    RegisterActiveObject(runningApp, kStandInClsid, ACTIVEOBJECT_STRONG, &activeCookie);
  }

  UINT_PTR watchdog = SetTimer(nullptr, 0, 1000, nullptr);
  UINT_PTR quitTimer = 0;
  ULONGLONG started = GetTickCount64();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == nullptr && msg.message == kQuitRequested) {
      if (!quitTimer) quitTimer = SetTimer(nullptr, 0, kQuitDelayMs, nullptr);
      continue;
    }
    if (msg.hwnd == nullptr && msg.message == WM_TIMER) {
      if (msg.wParam == quitTimer && quitTimer) break;
      if (msg.wParam == watchdog && embedded) {
        ULONGLONG idle = GetTickCount64() - std::max(started, LastActivity());
        if ((!g_created && GetTickCount64() - started > kNeverCreatedLimitMs) || idle > kUnusedLimitMs) {
          LogEvent(L"exit", L"unused");
          break;
        }
      }
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }

  LogEvent(L"exit", L"");
  StopPrintJobs();
  if (classCookie) CoRevokeClassObject(classCookie);
  if (activeCookie) RevokeActiveObject(activeCookie, nullptr);
  if (runningApp) runningApp->Release();
  if (window && IsWindow(window)) DestroyWindow(window);
  CoRegisterMessageFilter(previous, nullptr);
  CoUninitialize();
  return 0;
}

}  // namespace
}  // namespace tavrolin::testbed

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  // A print job's own process (a dialog in another locale): the event to set when done ("-":
  // none) and the document follow the switch.
  const std::wstring line = commandLine ? commandLine : L"";
  if (const auto at = line.find(tavrolin::testbed::kPrintJobSwitch); at != std::wstring::npos) {
    std::wstring rest = line.substr(at + wcslen(tavrolin::testbed::kPrintJobSwitch));
    rest.erase(0, rest.find_first_not_of(L' '));
    std::wstring event = rest.substr(0, rest.find(L' '));
    std::wstring document = rest.substr(std::min(rest.size(), event.size()));
    document.erase(0, document.find_first_not_of(L' '));
    document.erase(document.find_last_not_of(L' ') + 1);
    if (document.size() >= 2 && document.front() == L'"' && document.back() == L'"') {
      document = document.substr(1, document.size() - 2);
    }
    if (event == L"-") event.clear();
    ExitProcess(static_cast<UINT>(tavrolin::testbed::RunPrintJobHere(document, event)));
  }
  int code = tavrolin::testbed::Run(instance, tavrolin::testbed::HasEmbeddingSwitch(commandLine));
  // Objects still held by clients must not keep a finished server alive.
  ExitProcess(static_cast<UINT>(code));
}
