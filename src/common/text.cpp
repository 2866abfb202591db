#include "common/text.h"

#include <cmath>

namespace tavrolin {

std::wstring SecondsText(double seconds) {
  const double rounded = std::round(seconds * 10) / 10;
  std::wstring text = std::to_wstring(rounded);
  text.erase(text.find_last_not_of(L'0') + 1);
  if (!text.empty() && text.back() == L'.') text.pop_back();
  return text + (rounded == 1 ? L" second" : L" seconds");
}

}  // namespace tavrolin
