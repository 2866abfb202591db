#pragma once
// Driver additions for the export scenarios: adding documents through the real open-file
// dialog, and small file helpers.
#include <string>
#include <vector>

#include "driver/driver.h"

namespace e2e {

inline constexpr wchar_t kAddFilesTitle[] =
    L"Add File(s) - Use Ctrl & Shift to select multiple files";

// Presses "Add Word File(s)", types `fileName` (a full path) into the dialog's file-name box,
// presses Open and waits until the list holds one more item. False on any step's timeout.
bool AddThroughOpenDialog(const App& app, const std::wstring& fileName, double seconds = 30);

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);

}  // namespace e2e
