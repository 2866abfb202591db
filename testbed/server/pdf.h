#pragma once
// A minimal PDF 1.4 of plain text lines in Helvetica, written by hand.
#include <string>
#include <vector>

namespace tavrolin::testbed {

// The whole file for `lines` (wrapped to the page, paged as needed), titled `title`.
std::string MakePdf(const std::wstring& title, const std::vector<std::wstring>& lines);
// Writes it next to `path` and renames it into place, so the file appears complete or not at
// all. False with `error` set on failure.
bool WritePdfFile(const std::wstring& path, const std::string& pdf, std::wstring& error);

}  // namespace tavrolin::testbed
