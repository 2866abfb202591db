#include "testbed/client/testbed_client.h"

#include <winspool.h>

#include <oleauto.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <sstream>
#include <thread>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "testbed/client/utf8.h"

namespace tavrolin::testbed {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(25);

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (key_) RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

void PutString(HKEY key, const wchar_t* name, const std::wstring& value) {
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void PutDword(HKEY key, const wchar_t* name, DWORD value) {
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::wstring GetString(HKEY key, const wchar_t* name, const std::wstring& fallback) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
    return fallback;
  }
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS) {
    return fallback;
  }
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

DWORD GetDword(HKEY key, const wchar_t* name, DWORD fallback) {
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return fallback;
  }
  return value;
}

std::wstring ModuleDirectory() {
  wchar_t path[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  std::wstring p(path, n);
  size_t slash = p.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : p.substr(0, slash);
}

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

// Keeps COM initialised for the scope when the caller had not done it.
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT hr_;
};

bool ActiveObjectPresent() {
  IUnknown* unknown = nullptr;
  if (FAILED(GetActiveObject(kStandInClsid, nullptr, &unknown)) || !unknown) return false;
  unknown->Release();
  return true;
}

// Members missing or of another type read as empty or 0, as an old log line may lack them.
template <typename T>
T Member(const nlohmann::json& line, const char* key, T fallback = {}) {
  const auto found = line.find(key);
  if (found == line.end()) return fallback;
  if constexpr (std::is_same_v<T, bool>) {
    if (!found->is_boolean()) return fallback;
  } else if constexpr (std::is_arithmetic_v<T>) {
    if (!found->is_number()) return fallback;
  } else {
    if (!found->is_string()) return fallback;
  }
  return found->get<T>();
}

std::wstring Text(const nlohmann::json& line, const char* key) { return FromUtf8(Member<std::string>(line, key)); }

LogEntry ToEntry(const nlohmann::json& v, const std::string& raw) {
  LogEntry e;
  e.raw = raw;
  e.kind = Member<std::string>(v, "kind");
  e.pid = Member<unsigned long>(v, "pid");
  e.t = Member<double>(v, "t");
  e.object = Text(v, "object");
  e.member = Text(v, "member");
  e.flags = Member<int>(v, "flags");
  e.hr = Member<long>(v, "hr");
  e.window = Text(v, "window");
  e.msg = Member<unsigned>(v, "msg");
  e.wParam = Member<unsigned long long>(v, "wParam");
  e.lParam = Member<long long>(v, "lParam");
  e.posted = Member<bool>(v, "posted");
  e.event = Text(v, "event");
  e.detail = Text(v, "detail");
  if (const auto args = v.find("args"); args != v.end() && args->is_array()) {
    for (const auto& a : *args) {
      if (!a.is_object()) continue;
      LogArg arg;
      arg.name = Text(a, "name");
      arg.position = Member<int>(a, "pos");
      arg.vt = Member<VARTYPE>(a, "vt");
      arg.value = Text(a, "value");
      e.args.push_back(std::move(arg));
    }
  }
  if (const auto names = v.find("names"); names != v.end() && names->is_array()) {
    for (const auto& n : *names) e.names.push_back(n.is_string() ? FromUtf8(n.get<std::string>()) : L"");
  }
  return e;
}

}  // namespace

void Apply(const Settings& s) {
  // Each test starts on the stand-in's usual default printer, whatever an earlier one left.
  SetDefaultPrinterW(L"Office Laser");
  RegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Out(),
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  PutString(key.Get(), L"LogFile", s.logFile);
  PutString(key.Get(), L"OpenFailPattern", s.openFailPattern);
  PutString(key.Get(), L"RejectPrinterPattern", s.rejectPrinterPattern);
  PutDword(key.Get(), L"PrintOutFails", s.printOutFails);
  PutDword(key.Get(), L"NoDialog", s.noDialog);
  PutDword(key.Get(), L"DialogDelayMs", s.dialogDelayMs);
  PutDword(key.Get(), L"PdfDelayMs", s.pdfDelayMs);
  PutDword(key.Get(), L"PdfWriteMs", s.pdfWriteMs);
  PutDword(key.Get(), L"SaveBeforeEdit", s.saveBeforeEdit);
  PutString(key.Get(), L"InitialText", s.initialText);
  PutDword(key.Get(), L"InitialTextSelected", s.initialTextSelected);
  PutDword(key.Get(), L"RejectCalls", s.rejectCalls);
  PutString(key.Get(), L"HangMember", s.hangMember);
  PutDword(key.Get(), L"HangSeconds", s.hangSeconds);
  PutDword(key.Get(), L"HangForever", s.hangForever ? 1 : 0);
  PutString(key.Get(), L"DieMember", s.dieMember);
  PutDword(key.Get(), L"ConfirmConversions", s.confirmConversions);
  PutDword(key.Get(), L"BackgroundPrintMs", s.backgroundPrintMs);
  PutDword(key.Get(), L"ManagedDefaultPrinter", s.managedDefaultPrinter);
  PutString(key.Get(), L"SaveAsDialog", s.saveAsDialog);
  PutString(key.Get(), L"SuggestedName", s.suggestedName);
  PutDword(key.Get(), L"RefusePath", s.refusePath);
  PutDword(key.Get(), L"IgnorePostedClick", s.ignorePostedClick);
  PutDword(key.Get(), L"DialogDuringPrintOut", s.dialogDuringPrintOut);
  PutDword(key.Get(), kUpdateFieldsAtPrintValue, s.updateFieldsAtPrint);
  PutString(key.Get(), L"DialogTitle", s.dialogTitle);
  PutString(key.Get(), L"SaveButtonText", s.saveButtonText);
  PutString(key.Get(), L"DialogLocale", s.dialogLocale);
  PutDword(key.Get(), L"ProgressWindowMs", s.progressWindowMs);
  PutDword(key.Get(), L"ExportFeatureMissing", s.exportFeatureMissing);
  PutString(key.Get(), L"ExportFailPattern", s.exportFailPattern);
  PutString(key.Get(), L"UnknownMembers", s.unknownMembers);
  PutDword(key.Get(), L"StartupDelayMs", s.startupDelayMs);
  PutString(key.Get(), L"UserDocument", s.userDocument);
}

Settings Current() {
  Settings s;
  RegKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS) return s;
  HKEY k = key.Get();
  s.logFile = GetString(k, L"LogFile", s.logFile);
  s.openFailPattern = GetString(k, L"OpenFailPattern", s.openFailPattern);
  s.rejectPrinterPattern = GetString(k, L"RejectPrinterPattern", s.rejectPrinterPattern);
  s.printOutFails = GetDword(k, L"PrintOutFails", s.printOutFails) != 0;
  s.noDialog = GetDword(k, L"NoDialog", s.noDialog) != 0;
  s.dialogDelayMs = GetDword(k, L"DialogDelayMs", s.dialogDelayMs);
  s.pdfDelayMs = GetDword(k, L"PdfDelayMs", s.pdfDelayMs);
  s.pdfWriteMs = GetDword(k, L"PdfWriteMs", s.pdfWriteMs);
  s.saveBeforeEdit = GetDword(k, L"SaveBeforeEdit", s.saveBeforeEdit) != 0;
  s.initialText = GetString(k, L"InitialText", s.initialText);
  s.initialTextSelected = GetDword(k, L"InitialTextSelected", s.initialTextSelected) != 0;
  s.rejectCalls = GetDword(k, L"RejectCalls", s.rejectCalls);
  s.hangMember = GetString(k, L"HangMember", s.hangMember);
  s.hangSeconds = GetDword(k, L"HangSeconds", s.hangSeconds);
  s.hangForever = GetDword(k, L"HangForever", 0) != 0;
  s.dieMember = GetString(k, L"DieMember", s.dieMember);
  s.confirmConversions = GetDword(k, L"ConfirmConversions", 0) != 0;
  s.backgroundPrintMs = GetDword(k, L"BackgroundPrintMs", 0);
  s.managedDefaultPrinter = GetDword(k, L"ManagedDefaultPrinter", 0) != 0;
  s.saveAsDialog = GetString(k, L"SaveAsDialog", s.saveAsDialog);
  if (s.saveAsDialog.empty()) s.saveAsDialog = Settings{}.saveAsDialog;
  s.suggestedName = GetString(k, L"SuggestedName", s.suggestedName);
  s.refusePath = GetDword(k, L"RefusePath", 0) != 0;
  s.ignorePostedClick = GetDword(k, L"IgnorePostedClick", 0) != 0;
  s.dialogDuringPrintOut = GetDword(k, L"DialogDuringPrintOut", 0) != 0;
  s.updateFieldsAtPrint = GetDword(k, kUpdateFieldsAtPrintValue, 0) != 0;
  s.dialogTitle = GetString(k, L"DialogTitle", s.dialogTitle);
  s.saveButtonText = GetString(k, L"SaveButtonText", s.saveButtonText);
  s.dialogLocale = GetString(k, L"DialogLocale", s.dialogLocale);
  s.progressWindowMs = GetDword(k, L"ProgressWindowMs", 0);
  s.exportFeatureMissing = GetDword(k, L"ExportFeatureMissing", 0) != 0;
  s.exportFailPattern = GetString(k, L"ExportFailPattern", s.exportFailPattern);
  s.unknownMembers = GetString(k, L"UnknownMembers", s.unknownMembers);
  s.startupDelayMs = GetDword(k, L"StartupDelayMs", 0);
  s.userDocument = GetString(k, L"UserDocument", s.userDocument);
  return s;
}

void ResetFaults() {
  Settings s;
  s.logFile = Current().logFile;
  Apply(s);
}

void Reset() { Apply(Settings{}); }

std::vector<LogEntry> ReadLog(const std::wstring& path) {
  std::vector<LogEntry> entries;
  // Opened with full sharing: the stand-ins may be appending at the same moment.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return entries;
  std::string content;
  char buffer[16384];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
  CloseHandle(file);
  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A line still being written, or not JSON, is passed over.
    const auto v = nlohmann::json::parse(line, nullptr, false);
    if (v.is_discarded() || !v.is_object()) continue;
    entries.push_back(ToEntry(v, line));
  }
  return entries;
}

std::vector<LogEntry> WaitForLog(const std::wstring& path,
                                 const std::function<bool(const std::vector<LogEntry>&)>& done,
                                 std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    auto entries = ReadLog(path);
    if (done(entries) || std::chrono::steady_clock::now() >= deadline) return entries;
    std::this_thread::sleep_for(kPollInterval);
  }
}

std::vector<LogEntry> CallsOf(const std::vector<LogEntry>& entries, const std::wstring& member) {
  std::vector<LogEntry> out;
  for (const auto& e : entries) {
    if (e.kind == "call" && Lower(e.member) == Lower(member)) out.push_back(e);
  }
  return out;
}

std::vector<LogEntry> MessagesTo(const std::vector<LogEntry>& entries, const std::wstring& window) {
  std::vector<LogEntry> out;
  for (const auto& e : entries) {
    if (e.kind == "msg" && e.window == window) out.push_back(e);
  }
  return out;
}

std::vector<LogEntry> EventsOf(const std::vector<LogEntry>& entries, const std::wstring& event) {
  std::vector<LogEntry> out;
  for (const auto& e : entries) {
    if (e.kind == "event" && e.event == event) out.push_back(e);
  }
  return out;
}

bool StartPrintJobProcess(const std::wstring& exe, const std::wstring& document, const std::wstring& locale,
                          const std::wstring& doneEvent) {
  // This process's environment with the locale replaced.
  std::vector<wchar_t> block;
  const auto add = [&](const std::wstring& entry) {
    block.insert(block.end(), entry.begin(), entry.end());
    block.push_back(L'\0');
  };
  if (wchar_t* env = GetEnvironmentStringsW()) {
    for (const wchar_t* p = env; *p; p += wcslen(p) + 1) {
      const std::wstring entry = p;
      if (entry.rfind(L"LC_ALL=", 0) == 0 || entry.rfind(L"LANG=", 0) == 0 || entry.rfind(L"LANGUAGE=", 0) == 0 ||
          entry.rfind(L"WINEUSERLOCALE=", 0) == 0) {
        continue;
      }
      add(entry);
    }
    FreeEnvironmentStringsW(env);
  }
  add(L"LC_ALL=" + locale);
  add(L"LANG=" + locale);
  // Wine hands a process's user locale to the processes it starts through this variable, in
  // the Windows form: de_DE.UTF-8 is de-DE.
  std::wstring name = locale.substr(0, locale.find(L'.'));
  std::replace(name.begin(), name.end(), L'_', L'-');
  add(L"WINEUSERLOCALE=" + name);
  block.push_back(L'\0');
  // A Windows process started by another runs in the Unix locale of that one, whatever its
  // environment says; a Unix program started from here gets this environment as its own. So
  // the job goes through env(1) to Wine's loader.
  wchar_t loader[1024] = {};
  if (!GetEnvironmentVariableW(L"WINELOADER", loader, 1024)) std::wcscpy(loader, L"wine");
  std::wstring command = L"env LC_ALL=" + locale + L" LANG=" + locale + L" " + loader + L" \"" + exe + L"\" " +
                         kPrintJobSwitch + L" " + (doneEvent.empty() ? L"-" : doneEvent) + L" \"" + document + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(L"Z:\\usr\\bin\\env", command.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      block.data(), nullptr, &startup, &process)) {
    return false;
  }
  // A Unix program has no Windows process to hand back.
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  return true;
}

std::wstring ServerPath() {
  std::wstring key = L"CLSID\\";
  wchar_t clsid[64];
  StringFromGUID2(kStandInClsid, clsid, static_cast<int>(std::size(clsid)));
  key += clsid;
  key += L"\\LocalServer32";
  RegKey k;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, k.Out()) == ERROR_SUCCESS) {
    std::wstring path = GetString(k.Get(), nullptr, L"");
    if (!path.empty() && path.front() == L'"') {
      size_t end = path.find(L'"', 1);
      path = path.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
    }
    if (!path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return path;
  }
  return ModuleDirectory() + L"\\" + kServerExe;
}

bool RegisterServer(bool only32BitView) {
  const std::wstring server = ServerPath();
  wchar_t clsid[64];
  StringFromGUID2(kStandInClsid, clsid, static_cast<int>(std::size(clsid)));
  const std::wstring classKey = std::wstring(L"Software\\Classes\\CLSID\\") + clsid;
  const auto write = [](REGSAM view, const std::wstring& key, const std::wstring& value) {
    RegKey k;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, k.Out(),
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    PutString(k.Get(), nullptr, value);
    return true;
  };
  bool ok = true;
  for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    ok = write(view, L"Software\\Classes\\Word.Application\\CLSID", clsid) && ok;
    const bool here = only32BitView == (view == KEY_WOW64_32KEY);
    if (!here) {
      RegKey k;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, classKey.c_str(), 0, KEY_ALL_ACCESS | view, k.Out()) == ERROR_SUCCESS) {
        RegDeleteTreeW(k.Get(), nullptr);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, classKey.c_str(), view, 0);
      }
      continue;
    }
    ok = write(view, classKey + L"\\LocalServer32", server) && ok;
    ok = write(view, classKey + L"\\ProgID", L"Word.Application") && ok;
  }
  return ok;
}

std::wstring SamplesDirectory() {
  std::wstring dir = ModuleDirectory();
  size_t slash = dir.find_last_of(L"\\/");
  return (slash == std::wstring::npos ? dir : dir.substr(0, slash)) + L"\\samples";
}

std::wstring FixturesDirectory() {
  std::wstring dir = ModuleDirectory();
  size_t slash = dir.find_last_of(L"\\/");
  return (slash == std::wstring::npos ? dir : dir.substr(0, slash)) + L"\\fixtures";
}

namespace {

// Wine's own mapping from a Windows path to the host's.
std::string UnixPath(const std::wstring& path) {
  using Fn = char*(CDECL*)(LPCWSTR);
  auto fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!fn) return {};
  char* unix = fn(path.c_str());
  if (!unix) return {};
  std::string out = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return out;
}

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::wstring TempOutput();
std::string ReadAndDelete(const std::wstring& path);

// Runs `script` with the host's /bin/sh; its exit code, or -1. Wine gives no usable handle for
// a host process, so the script reports its exit code through a file that appears when done.
int RunHostShell(const std::string& script, DWORD timeoutMs = 60000) {
  std::wstring done = TempOutput();
  DeleteFileW(done.c_str());
  std::string unixDone = UnixPath(done);
  if (unixDone.empty()) return -1;
  std::string full = "(" + script + "); echo $? > " + ShellQuote(unixDone + ".partial") + " && mv " +
                     ShellQuote(unixDone + ".partial") + " " + ShellQuote(unixDone);
  std::wstring quoted;
  for (wchar_t c : FromUtf8(full)) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  std::wstring commandLine = L"Z:\\bin\\sh -c \"" + quoted + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &info)) {
    return -1;
  }
  if (info.hThread) CloseHandle(info.hThread);
  if (info.hProcess) CloseHandle(info.hProcess);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(kPollInterval);
  }
  return std::atoi(ReadAndDelete(done).c_str());
}

std::string ReadAndDelete(const std::wstring& path) {
  std::string content;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    char buffer[16384];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(file);
  }
  DeleteFileW(path.c_str());
  return content;
}

std::wstring TempOutput() {
  wchar_t dir[MAX_PATH];
  wchar_t file[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"tbp", 0, file);
  return file;
}

}  // namespace

bool PdfInfoAccepts(const std::wstring& pdf, int* pages) {
  std::string unixPdf = UnixPath(pdf);
  std::wstring output = TempOutput();
  std::string unixOutput = UnixPath(output);
  if (unixPdf.empty() || unixOutput.empty()) return false;
  int code = RunHostShell("pdfinfo " + ShellQuote(unixPdf) + " > " + ShellQuote(unixOutput) + " 2>&1");
  std::string info = ReadAndDelete(output);
  if (pages) {
    *pages = 0;
    size_t at = info.find("Pages:");
    if (at != std::string::npos) *pages = std::atoi(info.c_str() + at + 6);
  }
  return code == 0;
}

std::wstring PdfText(const std::wstring& pdf) {
  std::string unixPdf = UnixPath(pdf);
  std::wstring output = TempOutput();
  std::string unixOutput = UnixPath(output);
  if (unixPdf.empty() || unixOutput.empty()) return {};
  int code = RunHostShell("pdftotext -enc UTF-8 " + ShellQuote(unixPdf) + " " + ShellQuote(unixOutput));
  std::string text = ReadAndDelete(output);
  if (code != 0) return {};
  return FromUtf8(text);
}

namespace {

using Json = nlohmann::json;

std::string Base64Decode(const std::string& in) {
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (char c : in) {
    int v = c >= 'A' && c <= 'Z' ? c - 'A' : c >= 'a' && c <= 'z' ? c - 'a' + 26 : c >= '0' && c <= '9' ? c - '0' + 52
          : c == '+' ? 62 : c == '/' ? 63 : -1;
    if (v < 0) continue;
    bits = (bits << 6) | static_cast<unsigned>(v);
    if ((count += 6) >= 8) out += static_cast<char>((bits >> (count -= 8)) & 0xff);
  }
  return out;
}

// qpdf's objects by reference ("3 0 R"): a value, or a stream's dictionary with its data.
class QpdfObjects {
 public:
  explicit QpdfObjects(const Json& objects) : objects_(objects) {}
  // The value `v` stands for, following a reference; a stream gives its dictionary.
  const Json& Resolve(const Json& v) const {
    if (!v.is_string()) return v;
    const auto it = objects_.find("obj:" + v.get<std::string>());
    if (it == objects_.end()) return v;
    if (it->contains("stream")) return (*it)["stream"]["dict"];
    return it->contains("value") ? (*it)["value"] : v;
  }
  const Json& Get(const Json& dict, const char* key) const {
    static const Json none;
    return dict.is_object() && dict.contains(key) ? Resolve(dict[key]) : none;
  }
  std::string StreamData(const Json& ref) const {
    if (!ref.is_string()) return {};
    const auto it = objects_.find("obj:" + ref.get<std::string>());
    if (it == objects_.end() || !it->contains("stream") || !(*it)["stream"].contains("data")) return {};
    return Base64Decode((*it)["stream"]["data"].get<std::string>());
  }
  const Json& All() const { return objects_; }

 private:
  const Json& objects_;
};

// A text string as qpdf writes it: "u:" and its UTF-8.
std::wstring QpdfText(const Json& v) {
  if (!v.is_string()) return {};
  std::string s = v.get<std::string>();
  return FromUtf8(s.rfind("u:", 0) == 0 ? s.substr(2) : s);
}

void AddOutline(const Json& entries, int depth, std::vector<PdfOutlineEntry>& out) {
  if (!entries.is_array() || depth > 32) return;
  for (const auto& e : entries) {
    out.push_back({FromUtf8(e.value("title", std::string())), depth});
    if (e.contains("kids")) AddOutline(e["kids"], depth + 1, out);
  }
}

bool PdfaIdentified(const QpdfObjects& objects, const Json& catalog) {
  const std::string xmp = objects.StreamData(catalog.value("/Metadata", Json()));  // catalog: an object
  const auto says = [&](const char* name, const char* value) {
    const std::string attribute = std::string("pdfaid:") + name + "=\"" + value + "\"";
    const std::string element = std::string("<pdfaid:") + name + ">" + value + "<";
    return xmp.find(attribute) != std::string::npos || xmp.find(element) != std::string::npos;
  };
  if (!says("part", "1") || !(says("conformance", "B") || says("conformance", "A"))) return false;
  const Json& intents = objects.Get(catalog, "/OutputIntents");
  if (!intents.is_array()) return false;
  for (const auto& i : intents) {
    const Json& intent = objects.Resolve(i);
    if (intent.is_object() && intent.value("/S", std::string()) == "/GTS_PDFA1" && !objects.StreamData(intent.value("/DestOutputProfile", Json())).empty()) {
      return true;
    }
  }
  return false;
}

}  // namespace

PdfStructure ReadPdfStructure(const std::wstring& pdf) {
  PdfStructure result;
  std::string unixPdf = UnixPath(pdf);
  std::wstring output = TempOutput();
  std::string unixOutput = UnixPath(output);
  if (unixPdf.empty() || unixOutput.empty()) return result;
  // Exit code 3 is qpdf's "read with warnings": the structure is there all the same.
  int code = RunHostShell("qpdf --json --json-key=outlines --json-key=qpdf --json-stream-data=inline "
                          "--decode-level=generalized " + ShellQuote(unixPdf) + " > " + ShellQuote(unixOutput));
  const Json json = Json::parse(ReadAndDelete(output), nullptr, false);
  if ((code != 0 && code != 3) || !json.is_object() || !json.contains("qpdf") || !json["qpdf"].is_array() ||
      json["qpdf"].size() < 2) {
    return result;
  }
  const QpdfObjects objects(json["qpdf"][1]);
  const Json& trailer = objects.All().contains("trailer") ? objects.All()["trailer"].value("value", Json()) : Json();
  const Json& catalog = objects.Get(trailer, "/Root");
  if (!catalog.is_object()) return result;
  result.read = true;
  if (json.contains("outlines")) AddOutline(json["outlines"], 1, result.outline);
  for (const auto& [key, object] : objects.All().items()) {
    const Json& annotation = object.contains("value") ? object["value"] : Json();
    if (!annotation.is_object() || annotation.value("/Subtype", std::string()) != "/Link") continue;
    const Json& action = objects.Get(annotation, "/A");
    if (action.is_object() && action.value("/S", std::string()) == "/URI") result.linkUris.push_back(QpdfText(objects.Get(action, "/URI")));
  }
  const Json& mark = objects.Get(catalog, "/MarkInfo");
  result.tagged = mark.is_object() && mark.value("/Marked", false) && objects.Get(catalog, "/StructTreeRoot").is_object();
  result.pdfa1 = PdfaIdentified(objects, catalog);
  return result;
}

std::wstring DefaultPrinter() {
  wchar_t name[256];
  DWORD size = 256;
  return GetDefaultPrinterW(name, &size) ? std::wstring(name) : std::wstring();
}

std::vector<DWORD> StandInProcesses() {
  std::vector<DWORD> pids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return pids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, kServerExe) == 0 && entry.th32ProcessID != GetCurrentProcessId()) {
      pids.push_back(entry.th32ProcessID);
    }
  }
  CloseHandle(snapshot);
  return pids;
}

namespace {

// Each thread of the process told to end its message loop.
void PostQuitToThreads(DWORD pid) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == pid) PostThreadMessageW(entry.th32ThreadID, WM_QUIT, 0, 0);
  }
  CloseHandle(snapshot);
}

}  // namespace

std::size_t KillStandIns() {
  // Asked first to end on their own, so that each revokes its class: Wine keeps the class of a
  // killed server registered, and the next CreateObject gets that dead server (0x800706BA).
  // A stand-in hung in a call cannot answer and is killed after the shared second.
  const auto running = StandInProcesses();
  for (DWORD pid : running) PostQuitToThreads(pid);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (!StandInProcesses().empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollInterval);
  }
  for (DWORD pid : StandInProcesses()) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) continue;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 2000);
    CloseHandle(process);
  }
  return running.size();
}

bool WaitNoStandIns(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!StandInProcesses().empty()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
  return true;
}

RunningWord::~RunningWord() { Stop(); }

RunningWord::RunningWord(RunningWord&& other) noexcept : process_(other.process_), processId_(other.processId_) {
  other.process_ = nullptr;
  other.processId_ = 0;
}

RunningWord& RunningWord::operator=(RunningWord&& other) noexcept {
  if (this != &other) {
    Stop();
    process_ = other.process_;
    processId_ = other.processId_;
    other.process_ = nullptr;
    other.processId_ = 0;
  }
  return *this;
}

bool RunningWord::Start(std::chrono::milliseconds timeout) {
  Stop();
  std::wstring path = ServerPath();
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;

  ComScope com;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!Running()) break;
    if (ActiveObjectPresent()) return true;
    std::this_thread::sleep_for(kPollInterval);
  }
  Stop(std::chrono::milliseconds(0));
  return false;
}

bool RunningWord::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

void RunningWord::Stop(std::chrono::milliseconds timeout) {
  if (!process_) return;
  if (Running() && timeout.count() > 0) {
    struct Search {
      DWORD pid;
    } search{processId_};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
          DWORD pid = 0;
          GetWindowThreadProcessId(window, &pid);
          if (pid == reinterpret_cast<Search*>(param)->pid) PostMessageW(window, WM_CLOSE, 0, 0);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    WaitForSingleObject(process_, static_cast<DWORD>(timeout.count()));
  }
  if (Running()) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 2000);
  }
  CloseHandle(process_);
  process_ = nullptr;
  processId_ = 0;
}

}  // namespace tavrolin::testbed
