#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/event_pump.h"
#include "common/message_boxes.h"
#include "common/window_pointer.h"
#include "export/call_runner.h"
#include "export/dialog_driver.h"
#include "export/word.h"
#include "export/word_process.h"

namespace tavrolin {

// The variant types the automation calls use; nothing else is ever passed.
enum class ArgType { Bstr, BstrByRef, I2, I4, Bool };

// One argument of a late-bound call. An empty name passes it by position.
struct Arg {
  std::wstring name;
  ArgType type = ArgType::I4;
  std::wstring text;      // Bstr, BstrByRef
  std::int32_t number = 0;  // I2, I4; Bool: true -1, false 0

  static Arg Str(std::wstring name, std::wstring text);
  static Arg StrByRef(std::wstring name, std::wstring text);
  static Arg I2(std::wstring name, std::int16_t value);
  static Arg I4(std::wstring name, std::int32_t value);
  static Arg Bool(std::wstring name, bool value);
  bool operator==(const Arg&) const = default;
};

// A late-bound automation object: members are reached by name. Every failure throws
// AutomationError carrying the member's name and the server's own description; a call given up
// throws CallAbandoned.
class Dispatch {
 public:
  virtual ~Dispatch() = default;
  // Property get as text. An empty member reads the default member.
  virtual std::wstring GetString(const std::wstring& member) = 0;
  // Property get of an object.
  virtual std::unique_ptr<Dispatch> GetDispatch(const std::wstring& member) = 0;
  virtual void Put(const std::wstring& member, const Arg& value) = 0;
  // A method call; its result is dropped.
  virtual void CallMethod(const std::wstring& member, const std::vector<Arg>& args) = 0;
  // A method call that gives an object (Documents.Open gives the document).
  virtual std::unique_ptr<Dispatch> CallForObject(const std::wstring& member, const std::vector<Arg>& args) = 0;
  // A method call during which `meanwhile` runs on this thread. `meanwhile` is given a test
  // that turns true once the call has failed or is to be given up, and should end soon then.
  // The call's own failure is reported before anything `meanwhile` throws.
  virtual void CallMethodAlongside(const std::wstring& member, const std::vector<Arg>& args,
                                   const std::function<void(const std::function<bool()>&)>& meanwhile) {
    CallMethod(member, args);
    meanwhile([] { return false; });
  }
  // The bounds of this object's calls from now on.
  virtual void Limit(const CallBounds& bounds) = 0;
};

// Where automation objects come from.
class Automation {
 public:
  virtual ~Automation() = default;
  // A new instance of the class.
  virtual std::unique_ptr<Dispatch> CreateObject(const std::wstring& progId) = 0;
  // The same, running `meanwhile` (which never throws), when given, once on this thread while
  // the server starts.
  virtual std::unique_ptr<Dispatch> CreateObjectAlongside(const std::wstring& progId,
                                                          const std::function<void()>& meanwhile) {
    std::unique_ptr<Dispatch> made;
    try {
      made = CreateObject(progId);
    } catch (...) {
      if (meanwhile) meanwhile();
      throw;
    }
    if (meanwhile) meanwhile();
    return made;
  }
  // The running instance registered for the class, its calls held to `bounds`; throws when
  // there is none.
  virtual std::unique_ptr<Dispatch> RunningObject(const std::wstring& progId, const CallBounds& bounds) = 0;
};

inline constexpr wchar_t kWordClass[] = L"Word.Application";
inline constexpr wchar_t kWordName[] = L"Microsoft Word";
inline constexpr wchar_t kPdfPrinterName[] = L"PDF Printer";
inline constexpr wchar_t kWordRunningQuestion[] =
    L"Word may be open. It is recommended that you close Word first.\r\n\r\n"
    L"Would you like to proceed anyway?";
// Macros of an opened document never run.
inline constexpr std::int32_t kAutomationSecurityForceDisable = 3;
// wdAlertsNone: Word raises none of its alerts, which nobody could answer in a hidden instance.
inline constexpr std::int32_t kDisplayAlertsNone = 0;
// Given to every Open: a protected document then fails at once with Word's error instead of
// asking for its password in a window nobody sees. No real document uses it.
inline constexpr wchar_t kNoDocumentPassword[] = L"#Tavrolin-none#";
// Word's "The password is incorrect. Word cannot open the document."
inline constexpr std::int32_t kWordErrorPasswordIncorrect = 5408;
inline constexpr wchar_t kPasswordNeeded[] =
    L"The document is protected by a password. Tavrolin cannot export documents that need a "
    L"password to open; remove the password in Word to export it.";

// Word's open that never asks whether to recover a damaged document: it opens what it can read,
// or fails. Word before 2007 does not know it; those are opened through Open.
inline constexpr wchar_t kOpenNoRepairDialog[] = L"OpenNoRepairDialog";
// DISP_E_UNKNOWNNAME: the server does not know a member or argument by that name.
inline constexpr std::int32_t kUnknownName = static_cast<std::int32_t>(0x80020006u);
// Word's option "Update fields before printing" (Options): on, printing asks for the text of
// every FILLIN and ASK field in a window nobody sees. Word keeps its options for the next start
// and writes them when it quits, so one changed for a run is put back before Quit.
inline constexpr wchar_t kUpdateFieldsAtPrint[] = L"UpdateFieldsAtPrint";

// What the user reads about the Word instance in hand once it is dealt with.
inline constexpr wchar_t kWordEnded[] = L"That Word instance was ended.";
inline constexpr wchar_t kWordClosed[] = L"That Word instance was closed.";
inline constexpr wchar_t kWordGoneByItself[] = L"That Word instance had ended by itself.";
inline constexpr wchar_t kWordNotIdentified[] =
    L"Tavrolin could not tell which Word process it had started, so it ended none; that Word "
    L"may still be running.";

// The 14 named arguments of PrintOut, in the order they are given.
std::vector<Arg> PrintOutArguments();
// Documents.Open's arguments: the path by position and by reference, then the named ones that
// keep Word from asking anything (conversion, encoding, password) and from changing the user's
// recent files or locking the document for writing.
std::vector<Arg> OpenArguments(const std::wstring& documentPath);

// wdExportFormatPDF, and wdFormatPDF for SaveAs2: the same number.
inline constexpr std::int32_t kWordPdfFormat = 17;
// wdExportDocumentContent, and wdExportDocumentWithMarkup: comments and tracked changes shown.
inline constexpr std::int32_t kExportContent = 0;
inline constexpr std::int32_t kExportWithMarkup = 7;
// Document.ExportAsFixedFormat's named arguments: the whole document for print, bookmarks from
// headings, structure tags, properties and rights kept, and PDF/A only when asked.
std::vector<Arg> ExportAsFixedFormatArguments(const std::wstring& outputPath, const PdfOptions& options);
// Said at the end of the run for a Word that knows no ExportAsFixedFormat (`reason`: its words).
std::wstring SavedAsPdfNote(const std::wstring& reason);

// Bounds of the Word calls and of the dialog driver, in seconds; tests shorten them.
struct WordBounds {
  double busyRetrySeconds = 60;  // a call Word rejects as busy is retried this long in all
  double callSeconds = 120;      // a call that has not returned by then is given up
  double quitSeconds = 10;       // from Quit to the process gone, before it is ended
  // Before Quit, while Word still counts background print jobs (Quit would ask whether to
  // cancel them): polled every `printingPollSeconds`, for this long at most.
  double printingSeconds = 30;
  double printingPollSeconds = 0.25;
  DialogBounds dialog;
  // The next document's Word is started while the printer finishes a PDF; false (the tests'
  // hook only) starts each one after the last has quit.
  bool startAhead = true;
};

// A lock shared by every Tavrolin of this desktop. One for the printer's dialog: another export
// printing meanwhile would take this one's dialog as its own. One for Word's start: the new Word
// is told apart by the process lists around its creation, which another export's start would
// muddle (its Word taken for this one's, and ended with it).
class SessionLock {
 public:
  virtual ~SessionLock() = default;
  // True once this process holds it; never waits.
  virtual bool TryTake() = 0;
  virtual void Give() = 0;
};

// How long a run waits for another's turn (at the printer, or starting Word): that one's printing
// and dialog bounds, and a margin.
double TurnSeconds(const WordBounds& bounds);

// A running Word answers its default member with exactly "Microsoft Word"; one that refuses as
// busy or does not answer within a second is running too. Nothing found gives false.
bool IsWordRunning(Automation& automation);

// What AutomatedWord works through.
struct WordPorts {
  Automation& automation;
  Processes& processes;
  DefaultPrinter& printers;
  MessageBoxes& boxes;
  BusyMark& busy;
  WindowLayer& windows;
  EventPump& pump;
  const RunStop& stop;  // the run's one stop, which every wait observes
  SessionLock* printLock = nullptr;  // none: this process is the only one that prints
  SessionLock* startLock = nullptr;  // none: this process is the only one that starts Word
};

// The Word port over late binding, the window layer and the event pump. It knows the process of
// every instance it starts (the one new process of Word's server program around the creation)
// and ends exactly that process when the instance does not answer, does not quit, or the run is
// stopped; it never touches a Word it did not start.
class AutomatedWord final : public Word {
 public:
  AutomatedWord(WordPorts ports, WordBounds bounds = {});
  ~AutomatedWord() override;

  bool ConfirmWordClosed() override;
  void OpenWordDocument(const std::wstring& documentPath, std::unique_ptr<WordApplication>& word) override;
  void OpenNextDocument(const std::wstring& documentPath, WordApplication& word) override;
  void CloseDocument(WordApplication& word) override;
  std::wstring PrintToPdfPrinter(WordApplication& word, const std::wstring& outputPath) override;
  std::wstring ExportToPdf(WordApplication& word, const std::wstring& outputPath, const PdfOptions& options) override;
  std::wstring Quit(WordApplication& word) override;
  std::wstring Dismiss(WordApplication& word) override;
  void PrepareNext(const std::function<void()>& pdf) override;
  void EndRun() override;

  class Instance;

 private:
  template <typename F>
  void Guarded(Instance& word, F&& calls);
  std::unique_ptr<OwnedProcess> Identify(const std::wstring& program, const std::vector<ProcessInfo>& before);
  void SwitchToPdfPrinter(Instance& word);
  // Waits (pumped, stoppable, bounded) until no other export holds `lock`; the returned turn
  // gives it back when it goes. `busy` says what the other export was doing, for the failure.
  class Turn;
  Turn TakeTurn(SessionLock* lock, const std::wstring& busy);
  // Whether the user has work in the instance (another document, shown, under the user's control).
  bool HoldsUsersWork(Instance& word);
  std::wstring LeaveToUser(Instance& word);
  // Turns off what would make printing ask, remembering what it was.
  void KeepFieldsFromAsking(Instance& word);
  // The document opened in a set-up instance, with the arguments that keep Word from asking.
  void OpenIn(Instance& word, const std::wstring& documentPath);
  // The options changed for the run back as the user had them; false when that failed.
  bool PutOptionsBack(Instance& word);
  enum class Printing { Done, Stopped, StillPrinting };
  Printing WaitForBackgroundPrinting(Instance& word);
  // Each says what became of the instance.
  // Held to the short bounds of the end once the window is closed.
  // `handOff`: once Quit is answered, its process is left to go beside the next document
  // (departing_) instead of being waited for here.
  std::wstring QuitAndEnd(Instance& word, bool handOff = false);
  std::wstring EndNow(Instance& word);
  std::wstring Closed(Instance& word);
  // A new instance set up for a document, nothing opened. `word` holds it from the moment it
  // exists, so that on a failure it is dismissed. `meanwhile`, when given, runs during its
  // creation.
  void StartInstance(std::unique_ptr<Instance>& word, const std::function<void()>& meanwhile = nullptr);
  // The instance that quit while the next one was up: waited for (pumped, within its quit
  // bound) and ended if it stays, then the user's printer back.
  void FinishDeparting();
  // The spare that no document will use: quit, or ended.
  void DropSpare();

  // At most two instances exist at once: the one with the document, and either the next one
  // (started while the printer finishes) or the last one on its way out.
  struct Spare {
    std::unique_ptr<Instance> word;
    std::exception_ptr failure;  // its start's failure, for the next document
  };
  std::unique_ptr<Spare> spare_;
  std::unique_ptr<Instance> departing_;
  double departingUntil_ = 0;  // on the pump's clock

  WordPorts ports_;
  WordBounds bounds_;
  // The system's default printer as the user had it, last seen other than "PDF Printer".
  std::optional<std::wstring> usersPrinter_;
  // Word's program, read from the registry once per run: it does not change between documents.
  std::optional<std::wstring> program_;
};

}  // namespace tavrolin
