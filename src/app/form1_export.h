#pragma once
#include <memory>

#include "app/form1.h"
#include "export/export_run.h"
#include "export/win/files_win.h"
#include "export/word_automation.h"

namespace tavrolin {

// The export's state: its bounds, the file calls and the run while one is going on.
class ExportFeature final : public ProgressBar {
 public:
  explicit ExportFeature(Form1& form);

  // A press during a run goes to that run, which asks whether to stop it.
  void Press();

  void SetProgressValue(float value) override { form_.SetProgressValue(value); }

 private:
  Form1& form_;
  ExportBounds bounds_;
  WordBounds wordBounds_;
  win::Files files_;
  std::unique_ptr<ExportRunner> runner_;
};

}  // namespace tavrolin
