#pragma once
// A minimal PDF 1.4 of plain text lines in Helvetica, written by hand: for the printer, and for
// Word's own export with its outline, links, tags and PDF/A identification.
#include <string>
#include <vector>

namespace tavrolin::testbed {

struct PdfLink {
  size_t start = 0;  // in the block's text
  size_t length = 0;
  std::wstring uri;
};

// A paragraph: its text (a '\v' breaks the line), and its heading level (1-9; 0 for body text).
struct PdfBlock {
  std::wstring text;
  int heading = 0;
  std::vector<PdfLink> links;
};

struct PdfOptions {
  bool outline = false;  // an outline entry per heading, nested by level
  bool tagged = false;   // marked content, a structure tree of Document, H1.., P
  bool pdfa = false;     // PDF/A-1b identification: XMP metadata and an sRGB output intent
  std::wstring producer = L"PDF Printer stand-in";
};

// The whole file for `blocks` (wrapped to the page, paged as needed), titled `title`.
std::string MakePdf(const std::wstring& title, const std::vector<PdfBlock>& blocks, const PdfOptions& options);
// The same for plain lines with no options.
std::string MakePdf(const std::wstring& title, const std::vector<std::wstring>& lines);
// Writes it next to `path` and renames it into place, so the file appears complete or not at
// all. False with `error` set on failure.
bool WritePdfFile(const std::wstring& path, const std::string& pdf, std::wstring& error);
// A small ICC version 2 display profile with sRGB's primaries and a 2.2 gamma.
std::string SrgbLikeProfile();

}  // namespace tavrolin::testbed
