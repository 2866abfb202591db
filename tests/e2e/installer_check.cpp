// Checks the MSI (scripts/package.sh) as an administrator and a user meet it: a silent install
// of an older version, then of this one over it, the files, the Start menu shortcut, Explorer's
// verb started as Explorer starts it, a repeated install that repairs, and a silent uninstall that
// leaves nothing of Tavrolin's and every document of the user's. The MSIs come in TAVROLIN_MSI
// and TAVROLIN_OLD_MSI. Run by scripts/test.sh, not by ctest; the steps build on each other, in
// the order written.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/export_driver.h"

using namespace e2e;

namespace {

constexpr wchar_t kVerb[] = L"Tavrolin.ExportToPdf";
constexpr wchar_t kVerbText[] = L"Export to PDF with Tavrolin";
const std::vector<std::wstring> kDocumentTypes = {L".doc", L".docx", L".docm", L".dot", L".dotx", L".rtf", L".odt"};
const std::vector<std::wstring> kInstalledFiles = {L"HAND-M.CUR", L"README.txt", L"drag.ico", L"tavrolin.exe"};

std::string Narrow(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH * 4] = {};
  return GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value))) ? value : L"";
}

// One property of an MSI's Property table.
std::wstring MsiProperty(const std::wstring& msi, const std::wstring& name) {
  MSIHANDLE database = 0;
  if (MsiOpenDatabaseW(msi.c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS) return {};
  std::wstring value;
  MSIHANDLE view = 0;
  const std::wstring query = L"SELECT `Value` FROM `Property` WHERE `Property` = '" + name + L"'";
  if (MsiDatabaseOpenViewW(database, query.c_str(), &view) == ERROR_SUCCESS) {
    MSIHANDLE record = 0;
    if (MsiViewExecute(view, 0) == ERROR_SUCCESS && MsiViewFetch(view, &record) == ERROR_SUCCESS) {
      wchar_t text[256] = {};
      DWORD size = static_cast<DWORD>(std::size(text));
      if (MsiRecordGetStringW(record, 1, text, &size) == ERROR_SUCCESS) value = text;
      MsiCloseHandle(record);
    }
    MsiCloseHandle(view);
  }
  MsiCloseHandle(database);
  return value;
}

struct Msi {
  std::wstring path, productCode, upgradeCode, version;
  explicit Msi(const std::wstring& file)
      : path(file),
        productCode(MsiProperty(file, L"ProductCode")),
        upgradeCode(MsiProperty(file, L"UpgradeCode")),
        version(MsiProperty(file, L"ProductVersion")) {}
};

// msiexec's exit code, or -1 when it did not end within `seconds`.
int MsiExec(const std::wstring& arguments, double seconds = 180) {
  std::wstring line = L"msiexec.exe " + arguments;
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return -1;
  CloseHandle(process.hThread);
  WaitFor([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, seconds);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return code == STILL_ACTIVE ? -1 : static_cast<int>(code);
}
std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }
int Install(const Msi& msi) { return MsiExec(L"/i " + Quoted(msi.path) + L" /qn"); }

std::wstring KnownFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}
std::wstring InstallDir() { return KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Tavrolin"; }
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> FilesIn(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// The Start menu shortcut: in all users' Programs for a per-machine install. Wine's installer
// puts it into the user's Programs instead, so that one counts too.
std::vector<std::wstring> Shortcuts() {
  std::vector<std::wstring> found;
  for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
    const std::wstring path = KnownFolder(csidl) + L"\\Tavrolin.lnk";
    if (Exists(path)) found.push_back(path);
  }
  return found;
}
std::wstring ShortcutTarget(const std::wstring& lnk) {
  IShellLinkW* link = nullptr;
  std::wstring target;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return target;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(lnk.c_str(), STGM_READ)) && SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0))) {
      target = path;
    }
    file->Release();
  }
  link->Release();
  return target;
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}
// A string value; a missing one reads as a text no value holds, so that it never equals "".
std::wstring RegText(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD size = sizeof(value);
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                   nullptr, value, &size) != ERROR_SUCCESS) {
    return L"\x01(missing)";
  }
  return value;
}

std::vector<std::wstring> VerbKeys() {
  std::vector<std::wstring> keys;
  for (const auto& type : kDocumentTypes) {
    keys.push_back(L"Software\\Classes\\SystemFileAssociations\\" + type + L"\\shell\\" + kVerb);
  }
  keys.push_back(std::wstring(L"Software\\Classes\\Directory\\shell\\") + kVerb);
  return keys;
}

constexpr wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The "Apps & features" entries named Tavrolin.
std::vector<std::wstring> UninstallEntries() {
  std::vector<std::wstring> entries;
  HKEY list = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ | KEY_WOW64_64KEY, &list) != ERROR_SUCCESS) return entries;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = static_cast<DWORD>(std::size(name));
    if (RegEnumKeyExW(list, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (RegText(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\" + name, L"DisplayName") == L"Tavrolin") {
      entries.push_back(name);
    }
  }
  RegCloseKey(list);
  return entries;
}

std::vector<std::wstring> RelatedProducts(const std::wstring& upgradeCode) {
  std::vector<std::wstring> products;
  wchar_t code[39];
  for (DWORD i = 0; MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, i, code) == ERROR_SUCCESS; ++i) {
    products.push_back(code);
  }
  return products;
}

// The publisher as the program's version resource names it (its product name without one).
std::wstring PublisherOf(const std::wstring& exe) {
  DWORD ignored = 0;
  std::vector<char> info(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
  if (info.empty() || !GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data())) return {};
  for (const wchar_t* field : {L"CompanyName", L"ProductName"}) {
    wchar_t* text = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + field;
    if (VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) && length > 1) return text;
  }
  return {};
}

std::vector<HWND> TavrolinWindows() {
  std::vector<HWND> windows;
  for (HWND window = FindWindowExW(nullptr, nullptr, tavrolin::kForm1Class, nullptr); window;
       window = FindWindowExW(nullptr, window, tavrolin::kForm1Class, nullptr)) {
    if (IsWindowVisible(window)) windows.push_back(window);
  }
  return windows;
}

// Starts a verb's command as Explorer does: the registered line with %1 replaced by the path.
bool StartVerb(const std::wstring& verbKey, const std::wstring& path) {
  std::wstring line = RegText(HKEY_LOCAL_MACHINE, verbKey + L"\\command", nullptr);
  const std::size_t at = line.find(L"%1");
  if (at == std::wstring::npos) return false;
  line.replace(at, 2, path);
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// Closes the window and waits for its process to end, so that no file of it is in use.
bool CloseWindowAndWait(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  PostMessageW(window, WM_CLOSE, 0, 0);
  const bool ended = !process || WaitFor([&] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, 30);
  if (process) CloseHandle(process);
  return ended;
}

std::wstring WorkDir() {
  static const std::wstring dir = MakeWorkDir(L"installer_check");
  return dir;
}
// The user's documents and PDFs, which neither the verb nor the uninstall may touch.
const std::vector<std::pair<std::wstring, std::string>>& UserFiles() {
  static const std::vector<std::pair<std::wstring, std::string>> files = [] {
    std::vector<std::pair<std::wstring, std::string>> made;
    for (int i = 1; i <= 6; ++i) {
      made.emplace_back(WorkDir() + L"\\letter " + std::to_wstring(i) + L".docx", "Letter " + std::to_string(i) + ".\r\n");
    }
    made.emplace_back(WorkDir() + L"\\letter 1.pdf", "%PDF-1.4\n% an earlier export\n");
    made.emplace_back(WorkDir() + L"\\Folder of memos\\memo.rtf", "{\\rtf1 Memo.}\r\n");
    made.emplace_back(WorkDir() + L"\\Folder of memos\\memo.pdf", "%PDF-1.4\n% the memo\n");
    CreateDirectoryW((WorkDir() + L"\\Folder of memos").c_str(), nullptr);
    for (const auto& [path, bytes] : made) WriteFileBytes(path, bytes);
    return made;
  }();
  return files;
}

class Installer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CoInitialize(nullptr); }
  Msi msi{Environment(L"TAVROLIN_MSI")};
  Msi old{Environment(L"TAVROLIN_OLD_MSI")};
};

TEST_F(Installer, UpgradesFromAnOlderVersionToOneCopyOfTheNewFiles) {
  ASSERT_FALSE(msi.productCode.empty()) << "TAVROLIN_MSI is not an MSI: " << Narrow(msi.path);
  ASSERT_FALSE(old.productCode.empty()) << "TAVROLIN_OLD_MSI is not an MSI: " << Narrow(old.path);
  EXPECT_EQ(msi.upgradeCode, old.upgradeCode);
  EXPECT_NE(msi.productCode, old.productCode) << "a product code per version";
  // The MSI's three fields of the project's version (the program's resources carry four).
  EXPECT_EQ(Narrow(msi.version) + ".0", TAVROLIN_EXPECTED_VERSION);
  // What an earlier failed run left in the prefix goes first.
  for (const auto& code : RelatedProducts(msi.upgradeCode)) MsiExec(L"/x " + code + L" /qn");
  ASSERT_TRUE(UninstallEntries().empty());
  UserFiles();

  ASSERT_EQ(Install(old), 0) << Narrow(old.path);
  EXPECT_EQ(RelatedProducts(msi.upgradeCode), std::vector<std::wstring>{old.productCode});
  ASSERT_EQ(Install(msi), 0) << Narrow(msi.path);

  EXPECT_EQ(RelatedProducts(msi.upgradeCode), std::vector<std::wstring>{msi.productCode}) << "the old one replaced";
  const std::vector<std::wstring> entries = UninstallEntries();
  ASSERT_EQ(entries, std::vector<std::wstring>{msi.productCode}) << "one entry in Apps & features";
  const std::wstring entry = std::wstring(kUninstall) + L"\\" + entries.front();
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, entry, L"DisplayVersion"), msi.version);
  const std::wstring exe = InstallDir() + L"\\tavrolin.exe";
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, entry, L"Publisher"), PublisherOf(exe));
  wchar_t icon[MAX_PATH] = {};
  DWORD iconSize = MAX_PATH;
  EXPECT_EQ(MsiGetProductInfoW(msi.productCode.c_str(), INSTALLPROPERTY_PRODUCTICON, icon, &iconSize), ERROR_SUCCESS);
  EXPECT_TRUE(Exists(icon)) << "the entry's icon: " << Narrow(icon);

  EXPECT_EQ(FilesIn(InstallDir()), kInstalledFiles) << "one copy of the files, nothing else";
  const std::string readme = ReadFileBytes(InstallDir() + L"\\README.txt");
  EXPECT_EQ(readme.substr(0, readme.find('\r')), "Tavrolin " + Narrow(msi.version)) << "the new version's files";

  const std::vector<std::wstring> shortcuts = Shortcuts();
  ASSERT_EQ(shortcuts.size(), 1u) << "one Start menu shortcut";
  EXPECT_EQ(ShortcutTarget(shortcuts.front()), exe);

  for (const auto& key : VerbKeys()) {
    SCOPED_TRACE(Narrow(key));
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, key, nullptr), kVerbText);
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, key, L"MultiSelectModel"), L"Player");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, key, L"Icon"), exe + L",-3");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, key + L"\\command", nullptr), Quoted(exe) + L" \"%1\"");
  }

  // An older MSI run later (a stale policy) is refused and changes nothing.
  EXPECT_NE(Install(old), 0);
  EXPECT_EQ(RelatedProducts(msi.upgradeCode), std::vector<std::wstring>{msi.productCode});
}

TEST_F(Installer, TheVerbOpensOneWindowWithEverySelectedItem) {
  ASSERT_TRUE(Exists(InstallDir() + L"\\tavrolin.exe")) << "installed by the test before";
  ASSERT_TRUE(TavrolinWindows().empty()) << "another Tavrolin window is open";
  const std::vector<std::wstring> keys = VerbKeys();
  const std::wstring docxVerb = keys[1];
  const std::wstring folderVerb = keys.back();

  // Six documents selected, no window open: Explorer starts six processes at once, one path each.
  std::vector<std::wstring> expected;
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(StartVerb(docxVerb, UserFiles()[i].first));
    expected.push_back(UserFiles()[i].first);
  }
  std::sort(expected.begin(), expected.end());  // the processes take their turns in any order
  ASSERT_TRUE(WaitFor([] { return !TavrolinWindows().empty(); }, 60)) << "the verb opens the window";
  HWND window = TavrolinWindows().front();
  HWND list = GetDlgItem(window, tavrolin::kIdListView1);
  std::vector<std::wstring> listed;
  WaitFor([&] {
    listed = ListViewTexts(list);
    std::sort(listed.begin(), listed.end());
    return listed.size() >= expected.size();
  }, 60);
  EXPECT_EQ(listed, expected) << "all six in the one window";
  // Each further start ends once it has handed its path over.
  EXPECT_TRUE(WaitFor([] { return TavrolinWindows().size() == 1; }, 30)) << TavrolinWindows().size() << " windows";

  // A folder's verb while the window is open.
  const std::wstring folder = WorkDir() + L"\\Folder of memos";
  ASSERT_TRUE(StartVerb(folderVerb, folder));
  EXPECT_TRUE(WaitFor([&] { return ListViewTexts(list).size() == expected.size() + 1; }, 60));
  const std::vector<std::wstring> after = ListViewTexts(list);
  EXPECT_EQ(after.empty() ? L"" : after.back(), folder) << "the folder as one item, last";
  EXPECT_EQ(TavrolinWindows().size(), 1u);
  SaveScreenshot(window, ScreenshotDir() + L"\\installer_verb.bmp");
  for (HWND open : TavrolinWindows()) EXPECT_TRUE(CloseWindowAndWait(open));
}

TEST_F(Installer, InstallingTheSameVersionAgainRepairs) {
  const std::wstring cursor = InstallDir() + L"\\HAND-M.CUR";
  ASSERT_TRUE(DeleteFileW(cursor.c_str())) << "installed by the test before";
  const std::wstring command = VerbKeys()[1] + L"\\command";
  ASSERT_EQ(RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, command.c_str(), nullptr), ERROR_SUCCESS);

  EXPECT_EQ(Install(msi), 0);
  EXPECT_TRUE(Exists(cursor)) << "the missing file is back";
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, command, nullptr), Quoted(InstallDir() + L"\\tavrolin.exe") + L" \"%1\"");
  EXPECT_EQ(UninstallEntries(), std::vector<std::wstring>{msi.productCode});
}

TEST_F(Installer, UninstallLeavesNothingOfItsOwnAndEveryFileOfTheUsers) {
  ASSERT_EQ(RelatedProducts(msi.upgradeCode), std::vector<std::wstring>{msi.productCode}) << "installed by the test before";
  EXPECT_EQ(MsiExec(L"/x " + Quoted(msi.path) + L" /qn"), 0);

  EXPECT_TRUE(RelatedProducts(msi.upgradeCode).empty());
  EXPECT_TRUE(UninstallEntries().empty());
  EXPECT_FALSE(Exists(InstallDir())) << Narrow(InstallDir());
  EXPECT_TRUE(Shortcuts().empty());
  for (const auto& key : VerbKeys()) EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << Narrow(key);
  for (const auto& [path, bytes] : UserFiles()) EXPECT_EQ(ReadFileBytes(path), bytes) << Narrow(path);
}

}  // namespace
