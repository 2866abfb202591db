#pragma once
#include <string>

namespace tavrolin {

// The extended-length form of a full path, which the file system takes beyond the classic
// 260-character limit: "\\?\C:\..." for a drive path, "\\?\UNC\server\share\..." for a network
// path. That form reaches the file system as it stands, so "." and ".." parts are resolved here
// and every separator becomes one backslash. A path already in that form, a device path
// ("\\.\") and anything that is not a full path (empty, relative, "C:x") come back unchanged.
std::wstring LongPathForm(const std::wstring& path);

}  // namespace tavrolin
