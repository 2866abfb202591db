#include "common/home_page.h"

#include <cmath>

namespace tavrolin {

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
