#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/event_pump.h"
#include "common/messages.h"
#include "common/window_pointer.h"
#include "export/dialog_driver.h"
#include "export/word.h"

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
// AutomationError carrying the member's name and the server's own description.
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
};

// Where automation objects come from.
class Automation {
 public:
  virtual ~Automation() = default;
  // A new instance of the class.
  virtual std::unique_ptr<Dispatch> CreateObject(const std::wstring& progId) = 0;
  // The running instance registered for the class; throws when there is none.
  virtual std::unique_ptr<Dispatch> RunningObject(const std::wstring& progId) = 0;
};

inline constexpr wchar_t kWordClass[] = L"Word.Application";
inline constexpr wchar_t kWordName[] = L"Microsoft Word";
inline constexpr wchar_t kPdfPrinterName[] = L"PDF Printer";
inline constexpr wchar_t kWordRunningQuestion[] =
    L"Word may be open. It is recommended that you close Word first.\r\n\r\n"
    L"Would you like to proceed anyway?";
// Macros of an opened document never run.
inline constexpr std::int32_t kAutomationSecurityForceDisable = 3;

// The 14 named arguments of PrintOut, in the order they are given.
std::vector<Arg> PrintOutArguments();

// Bounds of the Word calls and of the dialog driver, in seconds; tests shorten them.
struct WordBounds {
  double busyRetrySeconds = 60;  // a call Word rejects as busy is retried this long in all
  double callSeconds = 120;      // a call that has not returned by then is cancelled
  DialogBounds dialog;
};

// True when a running Word answers its default member with exactly "Microsoft Word"; every
// failure gives false.
bool IsWordRunning(Automation& automation);

// The Word port over late binding, the window layer and the event pump.
class AutomatedWord final : public Word {
 public:
  AutomatedWord(Automation& automation, Messages& messages, BusyMark& busy, WindowLayer& windows,
                EventPump& pump, DialogBounds bounds = {});

  bool ConfirmWordClosed() override;
  std::unique_ptr<WordApplication> OpenWordDocument(const std::wstring& documentPath) override;
  void PrintToPdfPrinter(WordApplication& word, const std::wstring& outputPath,
                         const std::function<bool()>& stopRequested) override;
  void Quit(WordApplication& word) override;

 private:
  Automation& automation_;
  Messages& messages_;
  BusyMark& busy_;
  WindowLayer& windows_;
  EventPump& pump_;
  DialogBounds bounds_;
};

}  // namespace tavrolin
