#pragma once
// Where a run's PDFs go: beside their documents, or into one folder the user names.
#include <string>
#include <vector>

namespace tavrolin {

class FileSystem;

// Two file names as the file system compares them: letter case ignored, one character at a time
// (no folding of one letter into two, as NTFS does not).
bool SameFileName(const std::wstring& a, const std::wstring& b);

// Into a folder, each PDF lands at its document's path relative to the deepest folder the run's
// documents share. When they lie on more than one drive or share, each lands below a first
// folder named after its own ("C", "server\share"); so does a document outside the shared folder
// (one added during the run).
class PdfPlacement {
 public:
  PdfPlacement() = default;  // beside the documents
  PdfPlacement(std::wstring folder, const std::vector<std::wstring>& documents);

  bool IntoFolder() const { return !folder_.empty(); }
  const std::wstring& Folder() const { return folder_; }
  std::wstring PdfPathFor(const std::wstring& document) const;

 private:
  std::wstring folder_;  // empty: beside; else ends without a separator
  std::wstring volume_;  // the shared drive or share; empty when none is shared
  std::vector<std::wstring> root_;  // the shared folders below it
};

// The folder a PDF path lies in ("" for a bare name).
std::wstring FolderOf(const std::wstring& path);

// Makes the folders of `pdfPath` that are missing, from the outermost in. False with the
// system's reason, and the folder that could not be made, when one fails.
bool MakeFoldersFor(FileSystem& files, const std::wstring& pdfPath, std::wstring& reason);

}  // namespace tavrolin
