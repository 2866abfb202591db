#include "export/export_choices.h"

namespace tavrolin {

std::vector<ExportMenuLine> ExportMenuLines(const ExportChoices& choices) {
  const bool byWord = choices.road == ExportRoad::Word;
  const bool intoFolder = !choices.folder.empty();
  std::wstring folderText = L"PDFs into a folder...";
  if (intoFolder) folderText = L"PDFs into " + choices.folder + L"...";
  return {
      {ExportMenuItem::ByPrinter, L"Print on \"PDF Printer\"", !byWord, true, true},
      {ExportMenuItem::ByWord, L"Word's own PDF export (links, bookmarks, tags)", byWord, true, true, true},
      {ExportMenuItem::PdfA, L"PDF/A for archiving", choices.pdf.pdfa, byWord},
      {ExportMenuItem::Markup, L"Show comments and tracked changes", choices.pdf.markup, byWord, false, true},
      {ExportMenuItem::Beside, L"PDFs beside their documents", !intoFolder, true, true},
      {ExportMenuItem::IntoFolder, folderText, intoFolder, true, true},
  };
}

ExportChoices Choose(ExportChoices choices, ExportMenuItem item, const std::wstring& folder) {
  const bool byWord = choices.road == ExportRoad::Word;
  switch (item) {
    case ExportMenuItem::ByPrinter:
      choices.road = ExportRoad::Printer;
      break;
    case ExportMenuItem::ByWord:
      choices.road = ExportRoad::Word;
      break;
    // Greyed on the printer's road, whose PDFs can have neither.
    case ExportMenuItem::PdfA:
      if (byWord) choices.pdf.pdfa = !choices.pdf.pdfa;
      break;
    case ExportMenuItem::Markup:
      if (byWord) choices.pdf.markup = !choices.pdf.markup;
      break;
    case ExportMenuItem::Beside:
      choices.folder.clear();
      break;
    case ExportMenuItem::IntoFolder:
      if (!folder.empty()) choices.folder = folder;
      break;
  }
  return choices;
}

const wchar_t* RoadName(ExportRoad road) { return road == ExportRoad::Word ? L"word" : L"printer"; }

}  // namespace tavrolin
