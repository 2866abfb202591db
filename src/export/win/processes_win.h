#pragma once
#include <windows.h>

#include "common/event_pump.h"
#include "export/word_automation.h"
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

// A mutex in the session's namespace, so that every Tavrolin of this desktop shares it.
class Win32SessionLock final : public SessionLock {
 public:
  explicit Win32SessionLock(const wchar_t* name);
  ~Win32SessionLock() override;
  Win32SessionLock(const Win32SessionLock&) = delete;
  Win32SessionLock& operator=(const Win32SessionLock&) = delete;
  // Without the mutex (the system refused it) nothing is held: this process prints as before.
  bool TryTake() override;
  void Give() override;

 private:
  HANDLE mutex_ = nullptr;
  int held_ = 0;
};

}  // namespace tavrolin::win
