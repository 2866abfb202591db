#pragma once
#include <string>

namespace tavrolin {

// A duration as the user reads it: "1 second", "0.4 seconds", "120 seconds" (tenths at most).
std::wstring SecondsText(double seconds);

}  // namespace tavrolin
