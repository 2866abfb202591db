#include "export/win/processes_win.h"

#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>
#include <winspool.h>

#include <cmath>

#include "common/win/pump.h"
#include "common/win/system_error.h"
#include "common/win/window.h"
#include "export/win/late_binding.h"

namespace tavrolin::win {
namespace {

std::uint64_t CreationTime(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

class Win32OwnedProcess final : public OwnedProcess {
 public:
  explicit Win32OwnedProcess(HANDLE process) : process_(process) {}
  ~Win32OwnedProcess() override { CloseHandle(process_); }
  Win32OwnedProcess(const Win32OwnedProcess&) = delete;
  Win32OwnedProcess& operator=(const Win32OwnedProcess&) = delete;

  bool Running() override { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
  bool End(std::wstring& reason) override {
    // The caller waits, pumping, for it to be gone.
    if (TerminateProcess(process_, 1) || !Running()) return true;
    reason = SystemMessage(GetLastError());
    return false;
  }

 private:
  HANDLE process_;
};

}  // namespace

std::wstring Win32Processes::ServerProgram(const std::wstring& progId) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) return {};
  wchar_t* text = nullptr;
  if (FAILED(StringFromCLSID(clsid, &text))) return {};
  const std::wstring key = L"CLSID\\" + std::wstring(text) + L"\\LocalServer32";
  CoTaskMemFree(text);
  // 32-bit Office on 64-bit Windows registers its server in the 32-bit view only.
  for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY server = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE | view, &server) != ERROR_SUCCESS) continue;
    std::wstring command;
    DWORD size = 0;
    const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    if (RegGetValueW(server, nullptr, nullptr, flags, nullptr, nullptr, &size) == ERROR_SUCCESS) {
      command.assign(size / sizeof(wchar_t) + 1, L'\0');
      if (RegGetValueW(server, nullptr, nullptr, flags, nullptr, command.data(), &size) != ERROR_SUCCESS) command.clear();
    }
    RegCloseKey(server);
    command.resize(wcsnlen(command.c_str(), command.size()));
    if (const std::wstring program = ServerProgramName(command); !program.empty()) return program;
  }
  return {};
}

std::vector<ProcessInfo> Win32Processes::List(const std::wstring& program) {
  std::vector<ProcessInfo> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, program.c_str()) != 0) continue;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    if (!process) continue;
    found.push_back({entry.th32ProcessID, CreationTime(process)});
    CloseHandle(process);
  }
  CloseHandle(snapshot);
  return found;
}

std::unique_ptr<OwnedProcess> Win32Processes::Open(const ProcessInfo& info) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, info.id);
  if (!process) return nullptr;
  // The id may have gone to another process since the list was read.
  if (CreationTime(process) != info.createdAt) {
    CloseHandle(process);
    return nullptr;
  }
  return std::make_unique<Win32OwnedProcess>(process);
}

std::optional<std::wstring> Win32DefaultPrinter::Get() {
  DWORD size = 0;
  GetDefaultPrinterW(nullptr, &size);
  if (size == 0) return std::nullopt;
  std::wstring name(size, L'\0');
  if (!GetDefaultPrinterW(name.data(), &size)) return std::nullopt;
  name.resize(wcsnlen(name.c_str(), name.size()));
  return name;
}

bool Win32DefaultPrinter::Set(const std::wstring& printer) { return SetDefaultPrinterW(printer.c_str()) != FALSE; }

Win32SessionLock::Win32SessionLock(const wchar_t* name) : mutex_(CreateMutexW(nullptr, FALSE, name)) {}

Win32SessionLock::~Win32SessionLock() {
  while (held_ > 0) Give();
  if (mutex_) CloseHandle(mutex_);
}

bool Win32SessionLock::TryTake() {
  if (!mutex_) return true;
  // Abandoned: a process that held it ended without giving it back; it is this one's now.
  const DWORD waited = WaitForSingleObject(mutex_, 0);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return false;
  ++held_;
  return true;
}

void Win32SessionLock::Give() {
  if (!mutex_ || held_ == 0) return;
  --held_;
  ReleaseMutex(mutex_);
}

}  // namespace tavrolin::win
