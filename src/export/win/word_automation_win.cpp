#include "export/win/word_automation_win.h"

#include <objbase.h>

#include "export/win/late_binding.h"
#include "export/win/message_filter.h"
#include "export/win/window_layer_win.h"

namespace tavrolin::win {
namespace {

// COM on this thread for as long as the object lives; balanced only when this call started it.
class ComApartment {
 public:
  ComApartment() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    initialized_ = SUCCEEDED(hr);
  }
  ~ComApartment() {
    if (initialized_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialized_ = false;
};

}  // namespace

struct WordAutomation::Impl {
  Impl(HWND ownerWindow, Messages& messages, BusyMark& busy, EventPump& pump, const WordBounds& bounds)
      : owner(ownerWindow),
        filter(pump, bounds.busyRetrySeconds, bounds.callSeconds),
        automation(pump, CallBounds{bounds.busyRetrySeconds, bounds.callSeconds}),
        word(automation, messages, busy, windows, pump, bounds.dialog) {}

  HWND owner;
  ComApartment apartment;
  MessageFilterRegistration filter;
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
