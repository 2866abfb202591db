#include "export/pdf_placement.h"

#include <algorithm>

#include "common/paths.h"
#include "export/export_run.h"

namespace tavrolin {
namespace {

// The upper case of one letter as the file system's table has it, for the scripts documents
// are named in most often (Latin, Greek, Cyrillic); anything else compares as it is.
wchar_t Upper(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : static_cast<wchar_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  const bool pairOddLower = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
  if (pairOddLower) return static_cast<wchar_t>(c & ~1u);
  const bool pairEvenLower = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if (pairEvenLower) return (c & 1u) ? c : static_cast<wchar_t>(c - 1);
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<wchar_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<wchar_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 0x50);
  return c;
}

// A full path taken apart: its drive or share, its folders and its file name.
struct PathParts {
  std::wstring volume;  // "C", "server\share"; empty for a path without one
  std::vector<std::wstring> folders;
  std::wstring file;
};

std::vector<std::wstring> Components(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (wchar_t c : path) {
    if (c != L'\\') {
      part += c;
      continue;
    }
    // Doubled and trailing separators name no folder.
    if (!part.empty()) parts.push_back(std::move(part));
    part.clear();
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

PathParts Split(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  bool unc = false;
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    path.erase(0, 8);
    unc = true;
  } else if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) {
    path.erase(0, 4);
  } else if (path.rfind(L"\\\\", 0) == 0) {
    path.erase(0, 2);
    unc = true;
  }
  PathParts parts;
  std::vector<std::wstring> names = Components(path);
  std::size_t first = 0;
  if (unc && names.size() >= 2) {
    parts.volume = names[0] + L"\\" + names[1];
    first = 2;
  } else if (!unc && path.size() >= 2 && path[1] == L':') {
    parts.volume = std::wstring(1, Upper(path[0]));
    names = Components(path.substr(2));
  }
  if (names.size() > first) {
    parts.file = names.back();
    names.pop_back();
  }
  parts.folders.assign(names.begin() + static_cast<std::ptrdiff_t>(std::min(first, names.size())), names.end());
  return parts;
}

std::wstring TrimSeparators(std::wstring folder) {
  while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) {
    // "C:\" keeps its separator; the PDF paths then add none twice.
    if (folder.size() == 3 && folder[1] == L':') break;
    folder.pop_back();
  }
  return folder;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (!folder.empty() && folder.back() == L'\\') return folder + name;
  return folder + L"\\" + name;
}

}  // namespace

bool SameFileName(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

PdfPlacement::PdfPlacement(std::wstring folder, const std::vector<std::wstring>& documents)
    : folder_(TrimSeparators(std::move(folder))) {
  if (folder_.empty() || documents.empty()) return;
  const PathParts first = Split(documents.front());
  volume_ = first.volume;
  root_ = first.folders;
  for (const auto& document : documents) {
    const PathParts parts = Split(document);
    if (!SameFileName(parts.volume, volume_)) {
      volume_.clear();
      root_.clear();
      return;
    }
    std::size_t shared = 0;
    while (shared < root_.size() && shared < parts.folders.size() && SameFileName(root_[shared], parts.folders[shared])) {
      ++shared;
    }
    root_.resize(shared);
  }
}

std::wstring PdfPlacement::PdfPathFor(const std::wstring& document) const {
  if (folder_.empty()) return OutputPathFor(document);
  const PathParts parts = Split(document);
  bool below = !volume_.empty() && SameFileName(parts.volume, volume_) && parts.folders.size() >= root_.size();
  for (std::size_t i = 0; below && i < root_.size(); ++i) below = SameFileName(root_[i], parts.folders[i]);
  std::wstring path = folder_;
  std::size_t from = root_.size();
  if (!below) {
    if (!parts.volume.empty()) path = Join(path, parts.volume);
    from = 0;
  }
  for (std::size_t i = from; i < parts.folders.size(); ++i) path = Join(path, parts.folders[i]);
  return OutputPathFor(Join(path, parts.file));
}

std::wstring FolderOf(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool MakeFoldersFor(FileSystem& files, const std::wstring& pdfPath, std::wstring& reason) {
  std::vector<std::wstring> missing;
  for (std::wstring folder = FolderOf(pdfPath); !folder.empty() && !files.Exists(folder); folder = FolderOf(folder)) {
    // A drive ("C:") or a share ("\\server\share") is never made.
    if (Split(folder + L"\\x").folders.empty()) break;
    missing.push_back(folder);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (std::wstring why; !files.MakeFolder(*it, why)) {
      reason = L"The folder " + *it + L" could not be made: " + why;
      return false;
    }
  }
  return true;
}

}  // namespace tavrolin
