#pragma once
// The stand-in "PDF Printer": a print job shows the printer's "Save As" dialog on a thread of
// its own and writes the PDF to the path typed there once "&Save" is clicked.
#include <string>

#include "testbed/client/testbed_client.h"

namespace tavrolin::testbed {

inline constexpr wchar_t kPdfPrinter[] = L"PDF Printer";

// `done`, when given, is set once the dialog is finished with.
void StartPrintJob(const std::wstring& document, const Settings& settings, HANDLE done = nullptr);
// As a printer that asks on the printing thread: returns once the dialog is finished with.
void PrintWithDialogNow(const std::wstring& document, const Settings& settings);
// The job of `document` in this process, to its end: the dialog, then the PDF; then sets the
// named event `doneEvent` when there is one.
int RunPrintJobHere(const std::wstring& document, const std::wstring& doneEvent);
// Closes dialogs still waiting for input and waits (bounded) for PDFs already being written.
void StopPrintJobs();

}  // namespace tavrolin::testbed
