// The export run's part of the window: "Export to PDF".
#include <windows.h>

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

ExportFeature::ExportFeature(Form1& form) : form_(form) {
  const TestBounds test = ParseTestBounds(EnvironmentText(kTestBoundsVariable));
  if (test.pdf) bounds_.pdfSeconds = *test.pdf;
  if (test.dialog) wordBounds_.dialog.dialogSeconds = *test.dialog;
  if (test.call) {
    wordBounds_.callSeconds = *test.call;
    if (wordBounds_.busyRetrySeconds > *test.call) wordBounds_.busyRetrySeconds = *test.call;
  }
}

void ExportFeature::Press() {
  if (runner_) {
    runner_->Press();
    return;
  }
  // One stop for the run, seen by every wait in it: the user's Yes and the window closed.
  RunStop stop(win::UiPump());
  // Word's automation lives only as long as the run that uses it.
  std::unique_ptr<win::ComWord> word;
  try {
    word = std::make_unique<win::ComWord>(form_, form_.Busy(), win::UiPump(), wordBounds_, stop);
  } catch (const std::exception&) {
    form_.Notify(L"The export could not start: Word's automation is not available.");
    return;
  }
  runner_ = std::make_unique<ExportRunner>(
      ExportPorts{form_.Documents(), word->word(), files_, *this, form_, form_.Busy(), win::UiPump(), stop},
      bounds_);
  struct Release {
    ExportFeature& feature;
    ~Release() { feature.runner_.reset(); }
  } release{*this};
  runner_->Press();
}

void Form1::Check2_Click() {
  if (!TakePress(Check2)) return;
  export_->Press();
}

}  // namespace tavrolin
