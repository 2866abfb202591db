#pragma once
#include <string>

namespace tavrolin {

// Word separates the lines of its error descriptions with a lone carriage return, which a
// message box runs together; every CR not followed by LF becomes CR LF.
std::wstring WithLineBreaks(std::wstring text);

}  // namespace tavrolin
