#include "doclist/win/open_file_dialog.h"

#include <commdlg.h>
#include <cderr.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "common/win/pump.h"

namespace tavrolin::win {

static_assert(kOpenDialogFlags == (OFN_READONLY | OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_LONGNAMES));

std::wstring SelectionFromBuffer(const wchar_t* buffer, std::size_t capacity,
                                 std::size_t fileOffset) {
  const std::size_t first = wcsnlen(buffer, capacity);
  // One file: the offset of its name lies inside the first string.
  if (fileOffset < first || first + 1 >= capacity) return std::wstring(buffer, first);
  std::size_t end = first;
  while (end + 1 < capacity && buffer[end + 1] != L'\0') {
    end = end + 1 + wcsnlen(buffer + end + 1, capacity - end - 1);
  }
  return std::wstring(buffer, std::min(end, capacity));
}

CommonDialog::Outcome OpenFileDialog::ShowOpen() {
  std::vector<wchar_t> buffer(std::max<std::size_t>(bufferChars_, 2), L'\0');
  std::copy_n(fileName_.begin(), std::min(fileName_.size(), buffer.size() - 1), buffer.begin());
  // "description|pattern|..." becomes the NUL-separated, double-NUL-ended list.
  std::wstring filter = filter_;
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  filter.push_back(L'\0');

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner_;
  dialog.lpstrFilter = filter_.empty() ? nullptr : filter.c_str();
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrTitle = title_.empty() ? nullptr : title_.c_str();
  dialog.Flags = flags_;

  error_ = 0;
  win::OwnBox box;
  if (GetOpenFileNameW(&dialog)) {
    fileName_ = SelectionFromBuffer(buffer.data(), buffer.size(), dialog.nFileOffset);
    return Outcome::Chosen;
  }
  fileName_.clear();
  error_ = CommDlgExtendedError();
  if (error_ == 0) return Outcome::Cancelled;
  if (error_ == FNERR_BUFFERTOOSMALL) return Outcome::TooManyFiles;
  return Outcome::Failed;
}

}  // namespace tavrolin::win
