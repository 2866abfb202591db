// The export run's part of the window: "Export to PDF".
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "app/form1_export.h"
#include "app/form1_unattended.h"
#include "app/test_bounds.h"
#include "common/win/pump.h"
#include "doclist/win/folder_win.h"
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
  check2_.OnContextMenu([this](POINT at) { ShowOptions(at); });
  const TestBounds test = ParseTestBounds(EnvironmentText(kTestBoundsVariable));
  if (test.pdf) bounds_.pdfSeconds = *test.pdf;
  if (test.dialog) wordBounds_.dialog.dialogSeconds = *test.dialog;
  if (test.spare) wordBounds_.startAhead = *test.spare;
  if (test.perWord) bounds_.documentsPerWord = *test.perWord;
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
  // Held by the session's end as an unattended run is: a restart at night unwinds it first.
  RunEnd::Begin();
  struct Unwound {
    ~Unwound() { RunEnd::Unwound(); }
  } unwound;
  if (!StartRun(boxes_, nullptr, choices_)) {
    boxes_.Notify(L"The export could not start: Word's automation is not available.");
  }
}

bool ExportFeature::RunUnattended(MessageBoxes& boxes, RunObserver& observer, const ExportChoices& choices) {
  ExportChoices taken = choices;
  return !runner_ && StartRun(boxes, &observer, taken);
}

bool ExportFeature::StartRun(MessageBoxes& boxes, RunObserver* observer, ExportChoices& choices) {
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
      bounds_, choices);
  struct Release {
    ExportFeature& feature;
    ExportChoices& choices;
    ~Release() {
      choices = feature.runner_->Choices();
      feature.runner_.reset();
    }
  } release{*this, choices};
  runner_->Press();
  return true;
}

void ExportFeature::ShowOptions(POINT at) {
  const HWND owner = GetParent(check2_.hwnd());
  if (at.x == -1 && at.y == -1) {
    RECT button{};
    GetWindowRect(check2_.hwnd(), &button);
    at = {button.left, button.bottom};
  }
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  for (const ExportMenuLine& line : ExportMenuLines(choices_)) {
    std::wstring text;
    for (wchar_t c : line.text) text += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
    MENUITEMINFOW item{sizeof(item)};
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
    item.fType = MFT_STRING | (line.radio ? MFT_RADIOCHECK : 0);
    // During a run its choices are shown but kept: they are that run's.
    item.fState = (line.checked ? MFS_CHECKED : 0) | (line.enabled && !runner_ ? 0 : MFS_GRAYED);
    item.wID = static_cast<UINT>(line.item);
    item.dwTypeData = text.data();
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &item);
    if (line.separatorAfter) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  }
  const UINT picked = static_cast<UINT>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, 0, owner, nullptr));
  DestroyMenu(menu);
  if (picked == 0 || runner_) return;
  const auto item = static_cast<ExportMenuItem>(picked);
  std::wstring folder;
  if (item == ExportMenuItem::IntoFolder) folder = win::BrowseForFolder(owner, L"Choose the folder for the PDFs.");
  choices_ = Choose(choices_, item, folder);
}

ExportFeature::~ExportFeature() {
  check2_.OnClick(nullptr);
  check2_.OnContextMenu(nullptr);
}

}  // namespace tavrolin
