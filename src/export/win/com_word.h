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
// run. Use it on the UI thread; that thread needs no COM initialisation of its own for it.
struct ComWord {
  ComWord(MessageBoxes& boxes, BusyMark& busy, EventPump& pump, const WordBounds& bounds,
          std::function<bool()> stopRequested = nullptr)
      : runner(CallRunner::Create(CallPorts(pump, stopRequested),
                                  CallBounds{bounds.busyRetrySeconds, bounds.callSeconds})),
        automation(runner),
        word(WordPorts{automation, processes, printers, boxes, busy, windows, pump, quietPump, stopRequested},
             bounds) {}
  ComWord(const ComWord&) = delete;
  ComWord& operator=(const ComWord&) = delete;

  std::shared_ptr<CallRunner> runner;
  ComAutomation automation;
  Win32Processes processes;
  Win32DefaultPrinter printers;
  Win32WindowLayer windows;
  QuietPump quietPump;
  AutomatedWord word;
};

}  // namespace tavrolin::win
