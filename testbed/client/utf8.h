#pragma once
// The stand-ins' log and documents are UTF-8; the Win32 side is UTF-16.
#include <string>

namespace tavrolin::testbed {

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace tavrolin::testbed
