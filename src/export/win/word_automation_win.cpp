#include "export/win/word_automation_win.h"

#include "export/win/call_runner.h"
#include "export/win/late_binding.h"
#include "export/win/window_layer_win.h"

namespace tavrolin::win {

struct WordAutomation::Impl {
  Impl(HWND ownerWindow, Messages& messages, BusyMark& busy, EventPump& pump, const WordBounds& bounds)
      : owner(ownerWindow),
        runner(CallRunner::Create(pump, CallBounds{bounds.busyRetrySeconds, bounds.callSeconds})),
        automation(runner),
        word(automation, messages, busy, windows, pump, bounds.dialog) {}

  HWND owner;
  std::shared_ptr<CallRunner> runner;
  ComAutomation automation;
  Win32WindowLayer windows;
  AutomatedWord word;
};

WordAutomation::WordAutomation(HWND owner, Messages& messages, BusyMark& busy, EventPump& pump,
                               WordBounds bounds)
    : impl_(std::make_unique<Impl>(owner, messages, busy, pump, bounds)) {}

WordAutomation::~WordAutomation() = default;

bool WordAutomation::ConfirmWordClosed() { return impl_->word.ConfirmWordClosed(); }

std::unique_ptr<WordApplication> WordAutomation::OpenWordDocument(const std::wstring& documentPath) {
  return impl_->word.OpenWordDocument(documentPath);
}

void WordAutomation::PrintToPdfPrinter(WordApplication& word, const std::wstring& outputPath,
                                       const std::function<bool()>& stopRequested) {
  impl_->word.PrintToPdfPrinter(word, outputPath, stopRequested);
}

void WordAutomation::Quit(WordApplication& word) { impl_->word.Quit(word); }

}  // namespace tavrolin::win
