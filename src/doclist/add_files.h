#pragma once
// Adding files through the open-file dialog and by dropping them on the list.
#include <cstdint>
#include <string>
#include <vector>

#include "common/message_boxes.h"
#include "doclist/document_list.h"

namespace tavrolin {

// The open-file dialog, set up property by property as a dialog component is.
class CommonDialog {
 public:
  enum class Outcome {
    Chosen,
    Cancelled,
    // The selection did not fit the dialog's buffer; FileName() holds nothing usable.
    TooManyFiles,
    Failed,
  };
  virtual ~CommonDialog() = default;
  virtual void SetFileName(const std::wstring& fileName) = 0;
  virtual void SetFlags(std::uint32_t flags) = 0;
  virtual void SetDialogTitle(const std::wstring& title) = 0;
  // Descriptions and patterns, each pair and each half separated by "|".
  virtual void SetFilter(const std::wstring& filter) = 0;
  // Shows the Open dialog modally.
  virtual Outcome ShowOpen() = 0;
  // The selection: "" when cancelled, one full path, or the folder and the chosen names
  // separated by single NULs without one at the end.
  virtual std::wstring FileName() const = 0;
  // The platform's error code after Outcome::Failed.
  virtual std::uint32_t ErrorCode() const { return 0; }
};

// OFN_READONLY | OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_LONGNAMES
inline constexpr std::uint32_t kOpenDialogFlags = 0x280201;
inline constexpr wchar_t kOpenDialogTitle[] =
    L"Add File(s) - Use Ctrl & Shift to select multiple files";
inline constexpr wchar_t kOpenDialogFilter[] = L"Word Documents (*.do*)|*.do*|All Files (*.*)|*.*";
inline constexpr wchar_t kTooManyFilesText[] =
    L"Too many files were selected at once. No file was added; please add them in smaller groups.";

// The full paths that a selection string names, in its order. A folder that ends in "\" (a
// drive's root) still gives single separators.
std::vector<std::wstring> SplitSelection(const std::wstring& selection);

// "Add Word File(s)": shows the dialog and appends every chosen file to the end of the list.
void AddFilesByDialog(CommonDialog& dialog, DocumentList& list, MessageBoxes& boxes);

// Drop effects as the platform numbers them.
inline constexpr std::uint32_t kDropEffectNone = 0;
inline constexpr std::uint32_t kDropEffectCopy = 1;
inline constexpr std::uint32_t kDropEffectMove = 2;
inline constexpr std::uint32_t kDropEffectLink = 4;

// While data is dragged over the list: refused without a file-drop list, otherwise the effect the
// source proposed stays.
std::uint32_t DragOverEffect(bool offersFileDrop, std::uint32_t proposed);
// The effect reported back when the drop is done. Only the paths are taken, never the files: a
// move reported to the shell would let it delete the originals, so a copy (or a link) is reported.
std::uint32_t DropDoneEffect(bool offersFileDrop, std::uint32_t allowed);

// Dropped paths go to the end of the list in the order of the drop, files and folders alike.
void AppendDropped(DocumentList& list, const std::vector<std::wstring>& paths);

}  // namespace tavrolin
