#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "common/event_pump.h"
#include "common/messages.h"
#include "common/window_pointer.h"
#include "export/word.h"
#include "export/word_automation.h"

namespace tavrolin::win {

// Word through late-bound COM automation, and the printer's "Save As" dialog through posted
// window messages. Calls that Word rejects as busy are retried and a call that hangs is given up
// (see WordBounds); the window keeps handling its events while a call is under way. Create and
// use it on the UI thread; it needs no COM initialisation of that thread.
class WordAutomation final : public Word {
 public:
  WordAutomation(HWND owner, Messages& messages, BusyMark& busy, EventPump& pump,
                 WordBounds bounds = {});
  ~WordAutomation() override;
  WordAutomation(const WordAutomation&) = delete;
  WordAutomation& operator=(const WordAutomation&) = delete;

  bool ConfirmWordClosed() override;
  std::unique_ptr<WordApplication> OpenWordDocument(const std::wstring& documentPath) override;
  void PrintToPdfPrinter(WordApplication& word, const std::wstring& outputPath,
                         const std::function<bool()>& stopRequested) override;
  void Quit(WordApplication& word) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavrolin::win
