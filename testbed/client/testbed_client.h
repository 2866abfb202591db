#pragma once
// Control of the stand-in Word and PDF printer (testbed_word.exe) from tests.
//
// A COM-started stand-in does not inherit the test's environment, so everything it should do
// is written to the registry (HKCU\Software\TavrolinTestbed) and read by the stand-in at each
// call. Every stand-in process appends what it sees to one log file as JSON lines; ReadLog
// parses them back.
//
// Typical use:
//   tavrolin::testbed::Settings settings;
//   settings.logFile = dir + L"\\calls.log";
//   settings.dialogDelayMs = 100;
//   tavrolin::testbed::Apply(settings);
//   ... create "Word.Application", print, drive the dialog ...
//   auto entries = tavrolin::testbed::ReadLog(settings.logFile);
//   tavrolin::testbed::Reset();
//   EXPECT_TRUE(tavrolin::testbed::WaitNoStandIns(std::chrono::seconds(10)));
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavrolin::testbed {

// The class the stand-in registers as "Word.Application".
// {6B3C1E52-3A0F-4C1B-9E61-5D2A7B8C9F01}
inline constexpr CLSID kStandInClsid = {
    0x6b3c1e52, 0x3a0f, 0x4c1b, {0x9e, 0x61, 0x5d, 0x2a, 0x7b, 0x8c, 0x9f, 0x01}};
inline constexpr wchar_t kSettingsKey[] = L"Software\\TavrolinTestbed";
inline constexpr wchar_t kServerExe[] = L"testbed_word.exe";
// Word's option "Update fields before printing", kept where the user's Word keeps its options:
// each stand-in reads it when it starts and writes its own value back when it quits.
inline constexpr wchar_t kUpdateFieldsAtPrintValue[] = L"UpdateFieldsAtPrint";

// What the next calls of every stand-in process do. The defaults are a working Word and PDF
// printer; each field that differs is a fault. Patterns are case-insensitive wildcards
// (* and ?) matched against the whole text.
struct Settings {
  std::wstring logFile;              // appended to by every stand-in; empty: no log
  std::wstring openFailPattern;      // Documents.Open fails for a file name matching it
  std::wstring rejectPrinterPattern; // putting ActivePrinter to a matching name fails
  bool printOutFails = false;        // PrintOut fails with a printer error
  bool noDialog = false;             // PrintOut on "PDF Printer" never shows the dialog
  unsigned dialogDelayMs = 200;      // from PrintOut's return to the dialog being shown
  unsigned pdfDelayMs = 0;           // from the click on "&Save" to the PDF being on disk
  unsigned pdfWriteMs = 0;           // the PDF is created at once and written over this long,
                                     // held open for writing, as real PDF printers do
  bool saveBeforeEdit = false;       // "&Save" comes before the edit box in z-order
  std::wstring initialText;          // text the file-name box starts with
  bool initialTextSelected = false;  // whether that text starts selected
  unsigned rejectCalls = 0;          // first N incoming IDispatch calls of each process get
                                     // SERVERCALL_RETRYLATER from its message filter
  std::wstring hangMember;           // a call of this member (any object) ...
  unsigned hangSeconds = 0;          // ... blocks this long before it is carried out
  bool hangForever = false;          // ... or never returns (a hidden prompt in real Word)
  std::wstring dieMember;            // the process ends abruptly inside a call of this member
  bool confirmConversions = false;   // Word's option: opening a file not in Word's format asks
                                     // which converter to use, unless Open says otherwise
  unsigned backgroundPrintMs = 0;    // BackgroundPrintingStatus stays above 0 this long after
                                     // PrintOut returns; Quit meanwhile asks about the job
  bool managedDefaultPrinter = false;  // Windows makes the printer of a finished job the default
  // The printer's "Save As" dialog: "system" (the platform's GetSaveFileNameW), "plain" (a
  // hand-made dialog with a direct edit box), "windows" (a window tree shaped like the
  // Windows 10/11 dialog), "itemdialog" (the platform's IFileSaveDialog).
  std::wstring saveAsDialog = L"system";
  std::wstring suggestedName;        // the name the printer suggests in the box (not "plain")
  bool refusePath = false;           // Save shows a message and the dialog stays open
  bool ignorePostedClick = false;    // the Save button ignores posted mouse messages
  bool dialogDuringPrintOut = false; // PrintOut returns only once the dialog is completed
  bool updateFieldsAtPrint = false;  // the user's Word option (see kUpdateFieldsAtPrintValue):
                                     // PrintOut of a document with a FILLIN or ASK field asks
  // The dialog's title: empty is the platform's own default in the system's language ("system"
  // and "itemdialog" are given none; the hand-made ones say "Save As"), else this text.
  std::wstring dialogTitle;
  std::wstring saveButtonText;       // "windows": its Save button's text; empty: "&Save"
  // A locale such as "de_DE.UTF-8": the dialog is shown by a process of its own started under
  // it, so that the platform draws it in that language. Empty: in the stand-in's own process.
  std::wstring dialogLocale;
  unsigned progressWindowMs = 0;     // a "Printing..." dialog box without a file name box is
                                     // shown this long before the save dialog
  unsigned startupDelayMs = 0;       // a started process registers its class (and so answers
                                     // its creation) only this long after it starts, as a Word
                                     // loading add-ins from a cold disk does
};

// The switch that makes the stand-in a process that only runs one print job: the dialog the
// settings say (in its own process, whatever Settings::dialogLocale says), then the PDF.
inline constexpr wchar_t kPrintJobSwitch[] = L"/print-job";
// Starts `exe` (the stand-in) as such a process for `document` under `locale` (for example
// "de_DE.UTF-8"): the platform's dialogs in it speak that locale's language. The process sets
// the named event `doneEvent` (when not empty) once the job is over. False when it could not
// start.
bool StartPrintJobProcess(const std::wstring& exe, const std::wstring& document, const std::wstring& locale,
                          const std::wstring& doneEvent);

// Writes every field (so nothing of an earlier test lingers). Affects the next calls.
void Apply(const Settings& settings);
// Back to a working Word and printer; keeps the log file that is set.
void ResetFaults();
// Back to a working Word and printer with no log.
void Reset();
// The settings as currently written.
Settings Current();

// One argument of a logged call, in the order the caller put them (positional ones first, in
// position order; then named ones in the order given). `name` is the stand-in's spelling of
// the parameter ("" for a positional one); `value` is the text form: strings as they are,
// numbers in decimal, booleans -1/0, other types empty. For VT_BYREF the value is the target.
struct LogArg {
  std::wstring name;
  int position = 0;  // parameter index the argument was bound to
  VARTYPE vt = VT_EMPTY;
  std::wstring value;
};

// One log line. `kind` says which fields are filled:
//   "call":  object ("Application", "Documents", "Document"), member (stand-in's spelling),
//            flags (Invoke's wFlags), args, hr (what Invoke returned).
//   "names": object, names (exactly as the caller passed them to GetIDsOfNames), hr.
//   "msg":   window ("edit", "save", "cancel", "dialog"), msg, wParam, lParam, posted
//            (true: came through the queue; false: sent from another thread).
//   "event": event (for example "start", "exit", "dialog-shown", "pdf-written", "printed",
//            "rejected-call", "dialog-closed", "save-failed"), detail.
struct LogEntry {
  std::string kind;
  unsigned long pid = 0;
  double t = 0;  // seconds on the performance counter when it was written
  std::wstring object;
  std::wstring member;
  int flags = 0;
  std::vector<LogArg> args;
  long hr = 0;
  std::vector<std::wstring> names;
  std::wstring window;
  unsigned msg = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  bool posted = false;
  std::wstring event;
  std::wstring detail;
  std::string raw;  // the line as written
};

// Parses the whole log; a missing file gives no entries. Lines that do not parse are skipped.
std::vector<LogEntry> ReadLog(const std::wstring& path);
// Polls ReadLog until `done` holds for the entries or `timeout` passes; returns the last read.
std::vector<LogEntry> WaitForLog(const std::wstring& path,
                                 const std::function<bool(const std::vector<LogEntry>&)>& done,
                                 std::chrono::milliseconds timeout);
// The "call" entries of one member (case-insensitive), in log order.
std::vector<LogEntry> CallsOf(const std::vector<LogEntry>& entries, const std::wstring& member);
// The "msg" entries of one window ("edit", "save", ...), in log order.
std::vector<LogEntry> MessagesTo(const std::vector<LogEntry>& entries, const std::wstring& window);
// The "event" entries of one kind, in log order.
std::vector<LogEntry> EventsOf(const std::vector<LogEntry>& entries, const std::wstring& event);

// A hand-started stand-in ("Word is already running"): a visible window, registered as the
// running object of "Word.Application". Stopped (closed, killed if it does not close within a
// few seconds) when the object is destroyed.
class RunningWord {
 public:
  RunningWord() = default;
  ~RunningWord();
  RunningWord(const RunningWord&) = delete;
  RunningWord& operator=(const RunningWord&) = delete;
  RunningWord(RunningWord&& other) noexcept;
  RunningWord& operator=(RunningWord&& other) noexcept;

  // Starts it and waits until GetActiveObject finds it; false on failure or timeout.
  bool Start(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Closes its window and waits for the process to end; kills it after `timeout`.
  void Stop(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  bool Running() const;
  DWORD ProcessId() const { return processId_; }

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// Full path of testbed_word.exe: the registered server, else beside the running program.
std::wstring ServerPath();

// Registers the server (ServerPath) as "Word.Application" as 64-bit Office does, or as 32-bit
// Office does on 64-bit Windows: its class (CLSID\{...}) in the registry's 32-bit view only. The
// ProgID key is in both views either way, as Windows shares it between them. Needs write access
// to HKLM\Software\Classes; false when a key could not be written.
bool RegisterServer(bool only32BitView);
// Folder of the sample documents the build makes (bin\..\samples), without trailing backslash.
std::wstring SamplesDirectory();
// Folder of the documents the tests cannot make themselves (bin\..\fixtures): protected.docx
// (password "Tavrolin-secret"), notes.odt.
std::wstring FixturesDirectory();

// Checks of a written PDF with the host's poppler tools, run through Wine. The PDF's Unix
// path comes from Wine's own mapping; every run is bounded.
// True when pdfinfo accepts the file; `pages` receives its page count.
bool PdfInfoAccepts(const std::wstring& pdf, int* pages = nullptr);
// The text pdftotext extracts (UTF-8 decoded); empty on failure.
std::wstring PdfText(const std::wstring& pdf);

// The system's default printer (Word sets it when its active printer is put, and so does the
// stand-in); empty when there is none.
std::wstring DefaultPrinter();

// Process ids of every stand-in process now running.
std::vector<DWORD> StandInProcesses();
// Ends every stand-in process; returns how many were asked to end.
std::size_t KillStandIns();
// Polls until no stand-in process is left; false on timeout.
bool WaitNoStandIns(std::chrono::milliseconds timeout);

}  // namespace tavrolin::testbed
