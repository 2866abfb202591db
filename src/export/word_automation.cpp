#include "export/word_automation.h"

#include <utility>

namespace tavrolin {
namespace {

class AutomatedApplication final : public WordApplication {
 public:
  explicit AutomatedApplication(std::unique_ptr<Dispatch> app) : app_(std::move(app)) {}
  Dispatch& app() { return *app_; }

 private:
  std::unique_ptr<Dispatch> app_;
};

Dispatch& AppOf(WordApplication& word, const wchar_t* step) {
  auto* ours = dynamic_cast<AutomatedApplication*>(&word);
  if (!ours) throw AutomationError(step, L"The Word application was not started by this program.");
  return ours->app();
}

// Quits a Word instance that will not be handed on; it is invisible, so nobody else would.
void QuitQuietly(Dispatch& app) {
  try {
    app.CallMethod(L"Quit", {Arg::I4(L"Savechanges", 0)});
  } catch (const AutomationError&) {
    // The failure that brought us here is the one to report.
  }
}

}  // namespace

Arg Arg::Str(std::wstring name, std::wstring text) {
  return Arg{std::move(name), ArgType::Bstr, std::move(text), 0};
}
Arg Arg::StrByRef(std::wstring name, std::wstring text) {
  return Arg{std::move(name), ArgType::BstrByRef, std::move(text), 0};
}
Arg Arg::I2(std::wstring name, std::int16_t value) { return Arg{std::move(name), ArgType::I2, {}, value}; }
Arg Arg::I4(std::wstring name, std::int32_t value) { return Arg{std::move(name), ArgType::I4, {}, value}; }
Arg Arg::Bool(std::wstring name, bool value) {
  return Arg{std::move(name), ArgType::Bool, {}, value ? -1 : 0};
}

std::vector<Arg> PrintOutArguments() {
  return {
      Arg::Str(L"FileName", L""),
      Arg::I4(L"Range", 0),
      Arg::I4(L"Item", 0),
      Arg::I2(L"Copies", 1),
      Arg::Str(L"Pages", L""),
      Arg::I4(L"PageType", 0),
      Arg::Bool(L"ManualDuplexPrint", false),
      Arg::Bool(L"Collate", true),
      Arg::Bool(L"Background", true),
      Arg::Bool(L"PrintToFile", false),
      Arg::I2(L"PrintZoomColumn", 0),
      Arg::I2(L"PrintZoomRow", 0),
      Arg::I2(L"PrintZoomPaperWidth", 0),
      Arg::I2(L"PrintZoomPaperHeight", 0),
  };
}

bool IsWordRunning(Automation& automation) {
  try {
    auto word = automation.RunningObject(kWordClass);
    return word && word->GetString(L"") == kWordName;
  } catch (...) {
    return false;
  }
}

AutomatedWord::AutomatedWord(Automation& automation, Messages& messages, BusyMark& busy,
                             WindowLayer& windows, EventPump& pump, DialogBounds bounds)
    : automation_(automation),
      messages_(messages),
      busy_(busy),
      windows_(windows),
      pump_(pump),
      bounds_(bounds) {}

bool AutomatedWord::ConfirmWordClosed() {
  if (!IsWordRunning(automation_)) return false;
  return messages_.AskYesNo(kWordRunningQuestion) != Answer::Yes;
}

std::unique_ptr<WordApplication> AutomatedWord::OpenWordDocument(const std::wstring& documentPath) {
  auto app = automation_.CreateObject(kWordClass);
  busy_.Refresh();
  try {
    app->Put(L"AutomationSecurity", Arg::I4(L"", kAutomationSecurityForceDisable));
    auto documents = app->GetDispatch(L"Documents");
    documents->CallMethod(L"Open", {Arg::StrByRef(L"", documentPath)});
  } catch (...) {
    QuitQuietly(*app);
    throw;
  }
  busy_.Refresh();
  return std::make_unique<AutomatedApplication>(std::move(app));
}

void AutomatedWord::PrintToPdfPrinter(WordApplication& word, const std::wstring& outputPath,
                                      const std::function<bool()>& stopRequested) {
  Dispatch& app = AppOf(word, L"PrintOut");
  const std::wstring savedPrinter = app.GetString(L"ActivePrinter");
  app.Put(L"ActivePrinter", Arg::Str(L"", kPdfPrinterName));
  // Word's active printer is the user's default printer: it goes back on every way out.
  try {
    busy_.Refresh();
    const DialogSnapshot before = SnapshotSaveAsDialogs(windows_, pump_);
    app.CallMethod(L"PrintOut", PrintOutArguments());
    busy_.Refresh();
    CompleteSaveAsDialog(outputPath, before, windows_, pump_, stopRequested, bounds_);
    busy_.Refresh();
  } catch (...) {
    try {
      app.Put(L"ActivePrinter", Arg::Str(L"", savedPrinter));
    } catch (const AutomationError&) {
      // The failure that brought us here is the one to report.
    }
    throw;
  }
  app.Put(L"ActivePrinter", Arg::Str(L"", savedPrinter));
}

void AutomatedWord::Quit(WordApplication& word) {
  AppOf(word, L"Quit").CallMethod(L"Quit", {Arg::I4(L"Savechanges", 0)});
}

}  // namespace tavrolin
