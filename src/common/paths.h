#pragma once
#include <string>

namespace tavrolin {

// The path without the extension of its last component: everything before the last "." of the
// file name. A dot in a folder name never counts, and a file name without a dot keeps the whole
// path, so the PDF always lands beside its document.
std::wstring StripExtension(const std::wstring& path);

// The PDF path of a document: StripExtension(path) + ".pdf".
std::wstring OutputPathFor(const std::wstring& documentPath);

// Replaces every "\\" by "\" in one left-to-right pass. A leading "\\" (a network path) is kept.
std::wstring CollapseDoubleBackslashes(const std::wstring& path);

// True when the file name of `path` ends in ".pdf", in any letter case.
bool HasPdfExtension(const std::wstring& path);

}  // namespace tavrolin
