#include "common/message_text.h"

namespace tavrolin {

std::wstring WithLineBreaks(std::wstring text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\r') continue;
    if (i + 1 < text.size() && text[i + 1] == L'\n') {
      ++i;
      continue;
    }
    text.insert(i + 1, 1, L'\n');
    ++i;
  }
  return text;
}

}  // namespace tavrolin
