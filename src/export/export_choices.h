#pragma once
// How a run exports: the road to the PDF, its options and where the PDFs go. Chosen in the
// window's menu of export options or on the command line; held only while the program runs.
#include <string>
#include <vector>

#include "export/word.h"

namespace tavrolin {

enum class ExportRoad { Printer, Word };

struct ExportChoices {
  ExportRoad road = ExportRoad::Printer;
  PdfOptions pdf;       // Word's road only
  std::wstring folder;  // empty: each PDF beside its document
  bool operator==(const ExportChoices&) const = default;
};

// The menu of export options, item by item, as the window shows it.
enum class ExportMenuItem { ByPrinter = 1, ByWord, PdfA, Markup, Beside, IntoFolder };

struct ExportMenuLine {
  ExportMenuItem item;
  std::wstring text;
  bool checked = false;
  bool enabled = true;
  bool radio = false;          // one of a group, shown with a dot
  bool separatorAfter = false;
};

std::vector<ExportMenuLine> ExportMenuLines(const ExportChoices& choices);

// The choices after `item` was picked; `folder` is the one the folder picker gave (empty when
// it was cancelled, which keeps the choice as it was).
ExportChoices Choose(ExportChoices choices, ExportMenuItem item, const std::wstring& folder = {});

// The road's name in the unattended report.
const wchar_t* RoadName(ExportRoad road);

}  // namespace tavrolin
