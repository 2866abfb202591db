#include "printer.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "document_text.h"
#include "log.h"
#include "pdf.h"
#include "platform_dialogs.h"

namespace tavrolin::testbed {
namespace {

constexpr int kEditId = 1148;
constexpr int kLabelId = 1090;
constexpr DWORD kPdfWriteGraceMs = 10000;

// Set when the process is ending: dialogs still waiting close without a PDF.
HANDLE StopEvent() {
  static HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return stop;
}

std::mutex g_jobsMutex;
std::vector<HANDLE> g_jobs;

struct Job {
  std::wstring document;
  Settings settings;
  HANDLE done = nullptr;  // set once the dialog is finished with (PrintOut may wait for it)
  HWND dialog = nullptr;
  HWND edit = nullptr;
  HWND save = nullptr;
  HWND cancel = nullptr;
  bool buttonDown = false;
  bool saveRequested = false;
  bool cancelled = false;
  bool initialSelectionDone = false;
};

// An in-memory dialog template: DWORD-aligned items after the header.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short cx, short cy, const wchar_t* title) {
    Align(4);
    DLGTEMPLATE header{};
    header.style = style;
    header.cx = cx;
    header.cy = cy;
    Append(&header, sizeof header);
    Word(0);  // no menu
    Word(0);  // the standard dialog class "#32770"
    String(title);
    Word(8);
    String(L"MS Shell Dlg");
    countAt_ = offsetof(DLGTEMPLATE, cdit);
  }

  void Item(WORD classAtom, const wchar_t* text, WORD id, DWORD style, short x, short y, short cx, short cy) {
    Align(4);
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = id;
    Append(&item, sizeof item);
    Word(0xffff);
    Word(classAtom);
    String(text);
    Word(0);  // no creation data
    ++reinterpret_cast<DLGTEMPLATE*>(bytes_.data())->cdit;
  }

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  void Append(const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  void Word(WORD w) { Append(&w, sizeof w); }
  void String(const wchar_t* s) { Append(s, (wcslen(s) + 1) * sizeof(wchar_t)); }
  void Align(size_t n) {
    while (bytes_.size() % n) bytes_.push_back(0);
  }

  std::vector<unsigned char> bytes_;
  size_t countAt_ = 0;
};

const wchar_t* WindowName(const Job& job, HWND window) {
  if (window == job.edit) return L"edit";
  if (window == job.save) return L"save";
  if (window == job.cancel) return L"cancel";
  if (window == job.dialog) return L"dialog";
  return nullptr;
}

}  // namespace

std::wstring DialogTitle(const Settings& settings) {
  return settings.dialogTitle.empty() ? L"Save As" : settings.dialogTitle;
}

bool IgnoredClick(const Settings& settings, const MSG& msg, bool toSave) {
  if (!settings.ignorePostedClick || !toSave) return false;
  return msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONUP;
}

bool RefuseIfAsked(const Settings& settings, HWND dialog, const std::wstring& typed) {
  if (!settings.refusePath) return false;
  LogEvent(L"save-refused", typed);
  // What the platform's dialog says for a folder the user cannot write to.
  MessageBoxW(dialog, L"You don't have permission to save in this location.\r\nContact the administrator to obtain permission.",
              L"Save As", MB_OK | MB_ICONERROR);
  return true;
}

namespace {

LRESULT CALLBACK ControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* job = static_cast<Job*>(GetPropW(window, L"TestbedJob"));
  auto original = reinterpret_cast<WNDPROC>(GetPropW(window, L"TestbedProc"));
  if (job) {
    // Queued messages are logged by the loop; here only those sent from another thread.
    if (InSendMessage()) LogMessage(WindowName(*job, window), msg, wParam, lParam, false);
    // The driver posts a press and a release, never BM_CLICK: that pair is the click.
    if (window == job->save && msg == WM_LBUTTONDOWN) job->buttonDown = true;
    if (window == job->save && msg == WM_LBUTTONUP && job->buttonDown) {
      job->buttonDown = false;
      job->saveRequested = true;
    }
  }
  return CallWindowProcW(original, window, msg, wParam, lParam);
}

void Subclass(HWND control, Job* job) {
  SetPropW(control, L"TestbedJob", job);
  SetPropW(control, L"TestbedProc", reinterpret_cast<HANDLE>(GetWindowLongPtrW(control, GWLP_WNDPROC)));
  SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc));
}

void ApplyInitialSelection(Job& job) {
  SetFocus(job.edit);
  int length = GetWindowTextLengthW(job.edit);
  if (job.settings.initialTextSelected) {
    SendMessageW(job.edit, EM_SETSEL, 0, -1);
  } else {
    SendMessageW(job.edit, EM_SETSEL, length, length);
  }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* job = reinterpret_cast<Job*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      job = reinterpret_cast<Job*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      job->dialog = dialog;
      job->edit = GetDlgItem(dialog, kEditId);
      job->save = GetDlgItem(dialog, IDOK);
      job->cancel = GetDlgItem(dialog, IDCANCEL);
      SetWindowTextW(job->edit, job->settings.initialText.c_str());
      Subclass(job->edit, job);
      Subclass(job->save, job);
      Subclass(job->cancel, job);
      ApplyInitialSelection(*job);
      return FALSE;  // focus and selection are set above, not by the dialog manager
    }
    case WM_ACTIVATE:
      // The dialog manager would select the whole box on activation; keep the selection the
      // test asked for.
      if (LOWORD(wParam) != WA_INACTIVE && job) SetFocus(job->edit);
      return TRUE;
    case WM_COMMAND:
      if (!job) return FALSE;
      if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) job->saveRequested = true;
      if (LOWORD(wParam) == IDCANCEL) job->cancelled = true;
      return TRUE;
    case WM_CLOSE:
      if (job) job->cancelled = true;
      return TRUE;
    default:
      return FALSE;
  }
}

HWND CreateSaveAsDialog(Job& job) {
  DialogTemplate t(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 240, 50,
                   L"");
  auto label = [&] { t.Item(0x0082, L"File &name:", kLabelId, SS_LEFT, 7, 9, 40, 8); };
  auto edit = [&] {
    t.Item(0x0081, L"", kEditId, ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 50, 7, 183, 12);
  };
  auto save = [&] { t.Item(0x0080, L"&Save", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 127, 28, 50, 14); };
  auto cancel = [&] { t.Item(0x0080, L"Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 183, 28, 50, 14); };
  // The template's order is the children's z-order.
  label();
  if (job.settings.saveBeforeEdit) {
    save();
    edit();
  } else {
    edit();
    save();
  }
  cancel();
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.Get(), nullptr, DialogProc,
                                    reinterpret_cast<LPARAM>(&job));
}

std::vector<std::wstring> PdfLines(const std::wstring& document) {
  size_t slash = document.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? document : document.substr(slash + 1);
  std::vector<std::wstring> lines = {L"Source: " + name, L"Path: " + document, L""};
  bool readable = false;
  auto paragraphs = DocumentParagraphs(document, readable);
  if (!readable) lines.push_back(L"(The stand-in printer cannot read the text of this document.)");
  lines.insert(lines.end(), paragraphs.begin(), paragraphs.end());
  return lines;
}

}  // namespace

// Returns the full path when the name typed can be saved to; logs why not otherwise.
bool TargetPath(const std::wstring& typed, std::wstring& path) {
  if (typed.empty()) {
    LogEvent(L"save-failed", L"no file name");
    return false;
  }
  wchar_t buffer[MAX_PATH * 4];
  DWORD n = GetFullPathNameW(typed.c_str(), static_cast<DWORD>(std::size(buffer)), buffer, nullptr);
  if (n == 0 || n >= std::size(buffer)) {
    LogEvent(L"save-failed", L"not a valid file name: " + typed);
    return false;
  }
  path.assign(buffer, n);
  std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  DWORD attributes = GetFileAttributesW(folder.c_str());
  if (folder.size() > 2 && (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))) {
    LogEvent(L"save-failed", L"folder does not exist: " + folder);
    return false;
  }
  return true;
}

namespace {

struct PdfWrite {
  std::wstring document;
  std::wstring target;
  DWORD delayMs;
  DWORD writeMs;
};

// As a real PDF printer writes: the file is there at once, header first, and filled in pieces
// over `writeMs` while it is held open for writing (readers allowed).
bool WritePdfSlowly(const std::wstring& path, const std::string& pdf, DWORD writeMs,
                    std::wstring& error) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = L"cannot create the file (error " + std::to_wstring(GetLastError()) + L")";
    return false;
  }
  LogEvent(L"pdf-started", path);
  constexpr int kPieces = 10;
  const size_t piece = (pdf.size() + kPieces - 1) / kPieces;
  bool ok = true;
  for (size_t at = 0; ok && at < pdf.size(); at += piece) {
    // Not cut short when Word quits: a real printer finishes its file whatever Word does.
    if (at) Sleep(writeMs / kPieces);
    const DWORD n = static_cast<DWORD>(std::min(piece, pdf.size() - at));
    DWORD written = 0;
    ok = WriteFile(file, pdf.data() + at, n, &written, nullptr) && written == n;
  }
  Sleep(writeMs / kPieces);  // the last piece written is not the end of the job yet
  if (!ok) error = L"cannot write the file (error " + std::to_wstring(GetLastError()) + L")";
  CloseHandle(file);
  return ok;
}

DWORD WINAPI WriteThread(void* parameter) {
  std::unique_ptr<PdfWrite> write(static_cast<PdfWrite*>(parameter));
  // A slow printer: the PDF appears a while after the dialog has gone. A job that has not begun
  // writing when Word's process ends is dropped with it, so a stopped export sees no late PDF.
  if (write->delayMs && WaitForSingleObject(StopEvent(), write->delayMs) == WAIT_OBJECT_0) {
    LogEvent(L"pdf-abandoned", write->target);
    return 0;
  }
  // Windows managing the default printer makes the printer of the job that ends the default;
  // done before the file is complete, so whoever sees the finished PDF sees this too.
  if (Current().managedDefaultPrinter) SetDefaultPrinterW(kPdfPrinter);
  std::wstring error;
  const std::string pdf = MakePdf(write->document, PdfLines(write->document));
  const bool ok = write->writeMs ? WritePdfSlowly(write->target, pdf, write->writeMs, error)
                                 : WritePdfFile(write->target, pdf, error);
  if (!ok) {
    LogEvent(L"save-failed", write->target + L": " + error);
    return 0;
  }
  LogEvent(L"pdf-written", write->target);
  return 0;
}

// The hand-made dialog; true with `target` when Save was pressed on a path it can write.
bool PlainDialog(Job* job, std::wstring& target);

INT_PTR CALLBACK ProgressProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
  // Sent from another thread: someone took it for the save dialog.
  if (InSendMessage()) LogMessage(L"progress", msg, wParam, lParam, false);
  return FALSE;
}

// What some printers show while they prepare the job: a dialog box with a label, a progress
// bar and Cancel, and no file name box. Every message it is posted or sent is logged.
void ShowProgressWindow(DWORD ms) {
  DialogTemplate t(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_VISIBLE, 200, 60, kPdfPrinter);
  t.Item(0x0082, L"Printing page 1...", 0xFFFF, SS_LEFT, 7, 7, 186, 8);
  t.Item(0x0080, L"Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 143, 40, 50, 14);
  HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.Get(), nullptr, ProgressProc, 0);
  if (!window) return;
  LogEvent(L"progress-shown", std::to_wstring(ms));
  const ULONGLONG until = GetTickCount64() + ms;
  HANDLE stop = StopEvent();
  for (ULONGLONG now = GetTickCount64(); now < until; now = GetTickCount64()) {
    if (MsgWaitForMultipleObjects(1, &stop, FALSE, static_cast<DWORD>(until - now), QS_ALLINPUT) == WAIT_OBJECT_0) break;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      const bool ours = msg.hwnd == window || GetAncestor(msg.hwnd, GA_PARENT) == window;
      if (ours && !Generated(msg.message)) LogMessage(L"progress", msg.message, msg.wParam, msg.lParam, true);
      DispatchMessageW(&msg);
    }
  }
  ShowWindow(window, SW_HIDE);
  DestroyWindow(window);
}

// The dialog of this job, shown and saved by a process of its own started under the setting's
// locale (the platform's dialogs speak the language of their process's locale). Waits for it.
void PrintInLocale(const Job& job) {
  wchar_t exe[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, exe, static_cast<DWORD>(std::size(exe)));
  static LONG jobs = 0;
  const std::wstring name = L"Local\\TavrolinPrintJob-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(InterlockedIncrement(&jobs));
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
  if (!done || !StartPrintJobProcess(exe, job.document, job.settings.dialogLocale, name)) {
    LogEvent(L"dialog-failed", L"no process for locale " + job.settings.dialogLocale);
    if (done) CloseHandle(done);
    return;
  }
  // As long as a user may take over the dialog; a process ending leaves the job to its end.
  constexpr DWORD kJobAwaitedMs = 300000;
  HANDLE waits[] = {done, StopEvent()};
  WaitForMultipleObjects(2, waits, FALSE, kJobAwaitedMs);
  CloseHandle(done);
}

DWORD WINAPI JobThread(void* parameter) {
  std::unique_ptr<Job> job(static_cast<Job*>(parameter));
  struct Done {
    HANDLE event;
    ~Done() {
      if (event) SetEvent(event);
    }
  } done{job->done};
  if (WaitForSingleObject(StopEvent(), job->settings.dialogDelayMs) == WAIT_OBJECT_0) return 0;
  if (!job->settings.dialogLocale.empty()) {
    PrintInLocale(*job);
    return 0;
  }
  if (job->settings.progressWindowMs) ShowProgressWindow(job->settings.progressWindowMs);
  std::wstring target;
  const std::wstring& kind = job->settings.saveAsDialog;
  const bool saving = kind == L"plain" ? PlainDialog(job.get(), target)
                                       : RunPlatformDialog(kind, job->document, job->settings, StopEvent(), target);
  if (!saving) return 0;
  LogEvent(L"dialog-closed", target);
  // The printer writes while its dialog goes away: without a window manager, Wine waits up to
  // two seconds for a closed top-level window to be withdrawn, and no printer waits for that.
  auto* write = new PdfWrite{job->document, target, job->settings.pdfDelayMs, job->settings.pdfWriteMs};
  if (HANDLE writer = CreateThread(nullptr, 0, WriteThread, write, 0, nullptr)) {
    std::lock_guard lock(g_jobsMutex);
    g_jobs.push_back(writer);
  } else {
    delete write;
    LogEvent(L"save-failed", target + L": no thread");
  }
  if (job->dialog) {
    ShowWindow(job->dialog, SW_HIDE);
    DestroyWindow(job->dialog);
  }
  return 0;
}

bool PlainDialog(Job* job, std::wstring& target) {
  if (!CreateSaveAsDialog(*job)) {
    LogEvent(L"dialog-failed", std::to_wstring(GetLastError()));
    return false;
  }
  // Again after showing: activation may have moved the selection.
  ApplyInitialSelection(*job);
  // Titled only now, so whoever looks for it by its title finds it with all its controls.
  SetWindowTextW(job->dialog, DialogTitle(job->settings).c_str());
  LogEvent(L"dialog-shown", job->document);

  bool saving = false;
  while (!saving && !job->cancelled) {
    HANDLE stop = StopEvent();
    DWORD wait = MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) {
      LogEvent(L"dialog-abandoned", job->document);
      DestroyWindow(job->dialog);
      return false;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (const wchar_t* name = WindowName(*job, msg.hwnd); name && !Generated(msg.message)) {
        LogMessage(name, msg.message, msg.wParam, msg.lParam, true);
      }
      if (IgnoredClick(job->settings, msg, msg.hwnd == job->save)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      if (job->saveRequested) {
        job->saveRequested = false;
        wchar_t text[MAX_PATH * 4] = {};
        GetWindowTextW(job->edit, text, static_cast<int>(std::size(text)));
        if (RefuseIfAsked(job->settings, job->dialog, text)) continue;
        if (TargetPath(text, target)) {
          saving = true;
          break;
        }
      }
    }
  }
  if (!saving) {
    DestroyWindow(job->dialog);
    LogEvent(L"dialog-cancelled", job->document);
    return false;
  }
  // Gone for everyone looking for it, before the file can appear. Hiding comes after the
  // writer has started: Wine may take two seconds to withdraw a window without a window manager.
  SetWindowTextW(job->dialog, L"");
  SetWindowPos(job->dialog, nullptr, -32000, -32000, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);  // off the screen at once
  return true;
}

}  // namespace

void StartPrintJob(const std::wstring& document, const Settings& settings, HANDLE done) {
  auto* job = new Job{document, settings, done};
  HANDLE thread = CreateThread(nullptr, 0, JobThread, job, 0, nullptr);
  if (!thread) {
    delete job;
    LogEvent(L"dialog-failed", L"no thread");
    return;
  }
  std::lock_guard lock(g_jobsMutex);
  g_jobs.push_back(thread);
}

void PrintWithDialogNow(const std::wstring& document, const Settings& settings) {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!done) return;
  StartPrintJob(document, settings, done);
  // A printer that asks on the printing thread: the call returns once its dialog is done with.
  constexpr DWORD kDialogAwaitedMs = 300000;
  HANDLE waits[] = {done, StopEvent()};
  // Left open when the job may still set it.
  if (WaitForMultipleObjects(2, waits, FALSE, kDialogAwaitedMs) == WAIT_OBJECT_0) CloseHandle(done);
}

namespace {

// Waits for every job thread, each for up to `eachMs`, also for those started meanwhile.
void JoinJobs(DWORD eachMs) {
  for (;;) {
    std::vector<HANDLE> threads;
    {
      std::lock_guard lock(g_jobsMutex);
      threads.swap(g_jobs);
    }
    if (threads.empty()) return;
    for (HANDLE thread : threads) {
      WaitForSingleObject(thread, eachMs);
      CloseHandle(thread);
    }
  }
}

}  // namespace

int RunPrintJobHere(const std::wstring& document, const std::wstring& doneEvent) {
  Settings settings = Current();
  settings.dialogLocale.clear();
  settings.dialogDelayMs = 0;
  LogEvent(L"start", L"print job in locale");
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  StartPrintJob(document, settings, done);
  // The dialog first, then the PDF's writer; each thread ends by itself.
  constexpr DWORD kJobAwaitedMs = 300000;
  JoinJobs(kJobAwaitedMs);
  if (done) CloseHandle(done);
  if (HANDLE told = doneEvent.empty() ? nullptr : OpenEventW(EVENT_MODIFY_STATE, FALSE, doneEvent.c_str())) {
    SetEvent(told);
    CloseHandle(told);
  }
  return 0;
}

void StopPrintJobs() {
  SetEvent(StopEvent());
  // A job may still hand over its PDF writer; wait until no thread is left.
  JoinJobs(kPdfWriteGraceMs);
}

}  // namespace tavrolin::testbed
