#pragma once
#include <functional>
#include <memory>

#include "common/event_pump.h"
#include "common/message_boxes.h"
#include "common/window_pointer.h"
#include "export/call_runner.h"
#include "export/win/call_thread_win.h"
#include "export/win/late_binding.h"
#include "export/win/processes_win.h"
#include "export/win/window_layer_win.h"
#include "export/word_automation.h"

namespace tavrolin::win {

// Word through COM on this system: the Win32 ports and the automated Word over them, for one
// run, all observing the run's one stop. Use it on the UI thread; that thread needs no COM
// initialisation of its own for it.
class ComWord {
 public:
  // Built in the body and let go of in the destructor's, so the order of the members does not
  // matter: the automated Word goes first, the runner whose threads its references use last.
  ComWord(MessageBoxes& boxes, BusyMark& busy, EventPump& pump, const WordBounds& bounds, const RunStop& stop) {
    runner_ = CallRunner::Create(CallPorts(pump, &stop), CallBounds{bounds.busyRetrySeconds, bounds.callSeconds});
    automation_ = std::make_unique<ComAutomation>(runner_);
    word_ = std::make_unique<AutomatedWord>(
        WordPorts{*automation_, processes_, printers_, boxes, busy, windows_, pump, stop, &printLock_, &startLock_}, bounds);
  }
  ComWord(const ComWord&) = delete;
  ComWord& operator=(const ComWord&) = delete;
  ~ComWord() {
    word_.reset();
    automation_.reset();
    runner_.reset();
  }

  AutomatedWord& word() { return *word_; }

 private:
  std::unique_ptr<AutomatedWord> word_;
  std::unique_ptr<ComAutomation> automation_;
  std::shared_ptr<CallRunner> runner_;
  Win32Processes processes_;
  Win32DefaultPrinter printers_;
  Win32WindowLayer windows_;
  Win32SessionLock printLock_{L"Local\\Tavrolin.PrinterDialog"};
  Win32SessionLock startLock_{L"Local\\Tavrolin.WordStart"};
};

}  // namespace tavrolin::win
