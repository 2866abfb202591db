#pragma once
#include <windows.h>

#include <string>

namespace tavrolin::win {

// The system's text for an error code (a Win32 code or an HRESULT), without its trailing line
// breaks, spaces and full stop, so callers can append to it; empty when the system has none.
std::wstring SystemMessage(DWORD code);

}  // namespace tavrolin::win
