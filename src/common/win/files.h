#pragma once
#include <string>

namespace tavrolin::win {

// True exactly when the file system can tell the last change of the entry at `path`; never fails.
// Asked in the long form, so that paths beyond the classic limit are seen too.
bool FileExists(const std::wstring& path);
// The same for a path handed to the system as it stands (already in the long form, or short).
bool EntryExists(const std::wstring& systemPath);

// The folder of the running executable, without a trailing backslash.
std::wstring ProgramDirectory();

}  // namespace tavrolin::win
