#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace tavrolin {

// The home page that about one start in a hundred opens.
inline constexpr std::wstring_view kHomePage = L"https://www.tavrolin.example/";

// Draws n = floor(r * 100) + 1 from r in [0, 1); true when n is 7.
bool ShouldVisitHomePage(const std::function<double()>& uniform01);

// Starts another program without waiting for it.
class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;
  // `program` is the full path of the executable; false when it could not be started.
  virtual bool Start(const std::wstring& program, const std::wstring& commandLine) = 0;
};

// Opens the home page minimised through explorer.exe of the Windows folder, named by its full
// path: a bare "explorer" would be looked for first in the program's and the current folder.
// A failure to start is ignored.
void OpenHomePage(const std::wstring& windowsDirectory, ProgramStarter& starter);

}  // namespace tavrolin
