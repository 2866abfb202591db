#pragma once
#include "common/event_pump.h"
#include "export/word_process.h"

namespace tavrolin::win {

// Word's server program from the class's LocalServer32, and its processes from the system's
// process list.
class Win32Processes final : public Processes {
 public:
  std::wstring ServerProgram(const std::wstring& progId) override;
  std::vector<ProcessInfo> List(const std::wstring& program) override;
  std::unique_ptr<OwnedProcess> Open(const ProcessInfo& process) override;
};

// GetDefaultPrinterW and SetDefaultPrinterW.
class Win32DefaultPrinter final : public DefaultPrinter {
 public:
  std::optional<std::wstring> Get() override;
  bool Set(const std::wstring& printer) override;
};

}  // namespace tavrolin::win
