#include "common/placement.h"

#include <cmath>

namespace tavrolin {

Point CenteredPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
  const float left = (static_cast<float>(screenWidth) - static_cast<float>(windowWidth)) / 2.0f;
  const float top = (static_cast<float>(screenHeight) - static_cast<float>(windowHeight)) / 2.0f;
  return {static_cast<int>(std::floor(left)), static_cast<int>(std::floor(top))};
}

int TwipsToPixels(int twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

bool ShouldVisitHomePage(const std::function<double()>& uniform01) {
  const double r = uniform01();
  const int n = static_cast<int>(std::floor(r * 100.0)) + 1;
  return n == 7;
}

void OpenHomePage(const std::wstring& windowsDirectory, ProgramStarter& starter) {
  if (windowsDirectory.empty()) return;  // no trusted place to start it from
  std::wstring program = windowsDirectory;
  if (program.back() != L'\\') program += L'\\';
  program += L"explorer.exe";
  starter.Start(program, L"\"" + program + L"\" \"" + std::wstring(kHomePage) + L"\"");
}

}  // namespace tavrolin
