#pragma once
#include <windows.h>

#include <memory>

#include "app/face_button.h"
#include "common/message_boxes.h"
#include "common/window_pointer.h"
#include "doclist/document_list.h"
#include "export/export_run.h"
#include "export/win/files_win.h"
#include "export/word_automation.h"

namespace tavrolin {

// The export's progress, shown by the progress control itself.
class ProgressControl final : public ProgressBar {
 public:
  explicit ProgressControl(HWND bar) : bar_(bar) {}
  void SetProgressValue(float value) override;

 private:
  HWND bar_;
};

// The export's part of the window: "Export to PDF" and the progress bar. Holds the bounds, the
// file calls and the run while one is going on.
class ExportFeature final {
 public:
  ExportFeature(FaceButton& check2, HWND progressBar1, const DocumentList& documents,
                MessageBoxes& boxes, BusyMark& busy);
  ~ExportFeature();
  ExportFeature(const ExportFeature&) = delete;
  ExportFeature& operator=(const ExportFeature&) = delete;

  // The export of the whole list, unattended: `boxes` answer for the user and `observer` follows
  // each document, the way `choices` say. False when Word's automation could not be set up.
  bool RunUnattended(MessageBoxes& boxes, RunObserver& observer, const ExportChoices& choices);
  bool Running() const { return runner_ != nullptr; }

 private:
  void Check2_Click();
  // One run with these boxes (and observer); false when Word's automation is not available.
  // Gives back the choices as the run ended them.
  bool StartRun(MessageBoxes& boxes, RunObserver* observer, ExportChoices& choices);
  // The menu of export options, at `at` in screen coordinates ((-1, -1): below the button).
  void ShowOptions(POINT at);

  FaceButton& check2_;
  ProgressControl progress_;
  const DocumentList& documents_;
  MessageBoxes& boxes_;
  BusyMark& busy_;
  ExportBounds bounds_;
  WordBounds wordBounds_;
  win::Files files_;
  ExportChoices choices_;  // the window's, from its menu; held until it closes
  std::unique_ptr<ExportRunner> runner_;
};

}  // namespace tavrolin
