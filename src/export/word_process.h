#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavrolin {

// A process as the system lists it. The creation time tells two processes with one id apart.
struct ProcessInfo {
  std::uint32_t id = 0;
  std::uint64_t createdAt = 0;
  bool operator==(const ProcessInfo&) const = default;
};

// A process that was opened when it was identified, so its id cannot go to another one.
class OwnedProcess {
 public:
  virtual ~OwnedProcess() = default;
  virtual bool Running() = 0;
  // Ends it at once. On failure gives false and the system's reason.
  virtual bool End(std::wstring& reason) = 0;
};

// The processes of Word's server program.
class Processes {
 public:
  virtual ~Processes() = default;
  // The file name of the program registered to serve `progId` ("WINWORD.EXE"); empty when it
  // cannot be read.
  virtual std::wstring ServerProgram(const std::wstring& progId) = 0;
  // Every running process of that program.
  virtual std::vector<ProcessInfo> List(const std::wstring& program) = 0;
  // Opens the process; nothing when it is gone or is no longer the one listed.
  virtual std::unique_ptr<OwnedProcess> Open(const ProcessInfo& process) = 0;
};

// The system's default printer, which Word changes when its active printer is set.
class DefaultPrinter {
 public:
  virtual ~DefaultPrinter() = default;
  virtual std::optional<std::wstring> Get() = 0;
  virtual bool Set(const std::wstring& printer) = 0;
};

// The one process in `after` that is not in `before`; nothing when there is none or more than
// one, since then the instance cannot be told apart from a Word someone else started.
std::optional<ProcessInfo> NewProcess(const std::vector<ProcessInfo>& before,
                                      const std::vector<ProcessInfo>& after);

// The program's file name in a LocalServer32 command line: quoted or not, with or without
// switches ("C:\Program Files\...\WINWORD.EXE" /Automation gives WINWORD.EXE).
std::wstring ServerProgramName(const std::wstring& commandLine);

}  // namespace tavrolin
