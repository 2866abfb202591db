#pragma once
// Driver additions for the export scenarios: small file helpers.
#include <string>

#include "driver/driver.h"

namespace e2e {

using testfiles::WriteFileBytes;
// The whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);

}  // namespace e2e
