// The export run's part of the window: "Export to PDF".
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "app/form1_export.h"
#include "app/test_bounds.h"
#include "common/win/pump.h"
#include "export/win/com_word.h"

namespace tavrolin {
namespace {

std::wstring EnvironmentText(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

}  // namespace

void ProgressControl::SetProgressValue(float value) {
  SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(value + 0.5f), 0);
}

ExportFeature::ExportFeature(FaceButton& check2, HWND progressBar1, const DocumentList& documents,
                             MessageBoxes& boxes, BusyMark& busy)
    : check2_(check2), progress_(progressBar1), documents_(documents), boxes_(boxes), busy_(busy) {
  check2_.OnClick([this] { Check2_Click(); });
  const TestBounds test = ParseTestBounds(EnvironmentText(kTestBoundsVariable));
  if (test.pdf) bounds_.pdfSeconds = *test.pdf;
  if (test.dialog) wordBounds_.dialog.dialogSeconds = *test.dialog;
  if (test.spare) wordBounds_.startInPause = *test.spare;
  if (test.call) {
    wordBounds_.callSeconds = *test.call;
    if (wordBounds_.busyRetrySeconds > *test.call) wordBounds_.busyRetrySeconds = *test.call;
  }
}

void ExportFeature::Check2_Click() {
  if (!check2_.TakePress()) return;
  // A press during a run goes to that run, which asks whether to stop it.
  if (runner_) {
    runner_->Press();
    return;
  }
  if (!StartRun(boxes_, nullptr)) {
    boxes_.Notify(L"The export could not start: Word's automation is not available.");
  }
}

bool ExportFeature::RunUnattended(MessageBoxes& boxes, RunObserver& observer) {
  return !runner_ && StartRun(boxes, &observer);
}

bool ExportFeature::StartRun(MessageBoxes& boxes, RunObserver* observer) {
  // One stop for the run, seen by every wait in it: the user's Yes and the window closed.
  RunStop stop(win::UiPump());
  // Word's automation lives only as long as the run that uses it.
  std::unique_ptr<win::ComWord> word;
  try {
    word = std::make_unique<win::ComWord>(boxes, busy_, win::UiPump(), wordBounds_, stop);
  } catch (const std::exception&) {
    return false;
  }
  runner_ = std::make_unique<ExportRunner>(
      ExportPorts{documents_, word->word(), files_, progress_, boxes, busy_, win::UiPump(), stop, observer},
      bounds_);
  struct Release {
    ExportFeature& feature;
    ~Release() { feature.runner_.reset(); }
  } release{*this};
  runner_->Press();
  return true;
}

ExportFeature::~ExportFeature() { check2_.OnClick(nullptr); }

}  // namespace tavrolin
