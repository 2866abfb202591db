#include "doclist/add_files.h"

#include <cwchar>

#include "common/paths.h"

namespace tavrolin {

std::vector<std::wstring> SplitSelection(const std::wstring& selection) {
  if (selection.empty()) return {};
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t nul = selection.find(L'\0', start);
    parts.push_back(selection.substr(start, nul - start));
    if (nul == std::wstring::npos) break;
    start = nul + 1;
  }
  if (parts.size() == 1) return parts;

  std::vector<std::wstring> paths;
  paths.reserve(parts.size() - 1);
  for (std::size_t i = 1; i < parts.size(); ++i) {
    paths.push_back(CollapseDoubleBackslashes(parts[0] + L"\\" + parts[i]));
  }
  return paths;
}

void AddFilesByDialog(CommonDialog& dialog, DocumentList& list, MessageBoxes& boxes) {
  dialog.SetFileName(L"");
  dialog.SetFlags(kOpenDialogFlags);
  dialog.SetDialogTitle(kOpenDialogTitle);
  dialog.SetFilter(kOpenDialogFilter);
  switch (dialog.ShowOpen()) {
    case CommonDialog::Outcome::Chosen:
      break;
    case CommonDialog::Outcome::Cancelled:
      return;
    case CommonDialog::Outcome::TooManyFiles:
      // Half a selection would look like a whole one; tell the user instead.
      boxes.Notify(kTooManyFilesText);
      return;
    case CommonDialog::Outcome::Failed: {
      wchar_t code[16];
      std::swprintf(code, std::size(code), L"0x%X", static_cast<unsigned>(dialog.ErrorCode()));
      boxes.Notify(std::wstring(L"The file dialog could not be shown (error ") + code +
                      L"). No file was added.");
      return;
    }
  }
  for (auto& path : SplitSelection(dialog.FileName())) list.Append(std::move(path));
}

std::uint32_t DragOverEffect(bool offersFileDrop, std::uint32_t proposed) {
  return offersFileDrop ? proposed : kDropEffectNone;
}

std::uint32_t DropDoneEffect(bool offersFileDrop, std::uint32_t allowed) {
  if (!offersFileDrop) return kDropEffectNone;
  if (allowed & kDropEffectCopy) return kDropEffectCopy;
  if (allowed & kDropEffectLink) return kDropEffectLink;
  return kDropEffectNone;
}

void AppendDropped(DocumentList& list, const std::vector<std::wstring>& paths) {
  for (const auto& path : paths) list.Append(path);
}

}  // namespace tavrolin
