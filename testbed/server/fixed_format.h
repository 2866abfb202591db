#pragma once
// Word's own PDF export of a document (Document.ExportAsFixedFormat, SaveAs2 as PDF).
#include <string>

namespace tavrolin::testbed {

struct ExportChoices {
  bool headingBookmarks = false;  // CreateBookmarks wdExportCreateHeadingBookmarks
  bool structureTags = false;     // DocStructureTags
  bool pdfa = false;              // UseISO19005_1
  bool markup = false;            // Item wdExportDocumentWithMarkup: comments shown
};

// Writes the PDF of `document`'s text at `output`; false with `error` set when it cannot.
bool ExportPdf(const std::wstring& document, const std::wstring& output, const ExportChoices& choices,
               std::wstring& error);

}  // namespace tavrolin::testbed
