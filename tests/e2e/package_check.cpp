// Checks the unzipped Windows package (scripts/package.sh) as a user would meet it: its
// program starts from its own folder and shows the hand over a button, which needs the
// package's HAND-M.CUR; its version resources carry the project's version. The folder comes in
// TAVROLIN_PACKAGE_DIR. Run by scripts/test.sh, not by ctest (it needs the package built first).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/window_pointer.h"
#include "driver/driver.h"

using namespace e2e;

namespace {

std::wstring PackageExe() {
  wchar_t dir[MAX_PATH * 4] = {};
  if (!GetEnvironmentVariableW(L"TAVROLIN_PACKAGE_DIR", dir, static_cast<DWORD>(std::size(dir)))) return {};
  return std::wstring(dir) + L"\\tavrolin.exe";
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The attribute `name="..."` of the first element `<element ...>` whose text holds `marker`.
std::string AttributeOf(const std::string& xml, const std::string& element, const std::string& marker,
                        const std::string& name) {
  for (std::size_t at = xml.find("<" + element); at != std::string::npos; at = xml.find("<" + element, at + 1)) {
    const std::string tag = xml.substr(at, xml.find('>', at) - at);
    if (tag.find(marker) == std::string::npos) continue;
    const std::size_t value = tag.find(" " + name + "=\"");
    if (value == std::string::npos) return {};
    const std::size_t start = value + name.size() + 3;
    return tag.substr(start, tag.find('"', start) - start);
  }
  return {};
}

TEST(Package, TheProgramCarriesTheProjectVersion) {
  const std::wstring exe = PackageExe();
  ASSERT_FALSE(exe.empty()) << "TAVROLIN_PACKAGE_DIR is not set";
  const std::string expected = TAVROLIN_EXPECTED_VERSION;

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "no version resource in " << Narrow(exe);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::string fileVersion = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                  std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                  std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                                  std::to_string(LOWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(fileVersion, expected);
  wchar_t* text = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904b0\\FileVersion",
                             reinterpret_cast<void**>(&text), &length));
  EXPECT_EQ(Narrow(text), expected);

  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr) << "no manifest";
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
  const std::string manifest(bytes, SizeofResource(module, found));
  FreeLibrary(module);
  EXPECT_EQ(AttributeOf(manifest, "assemblyIdentity", "name=\"Tavrolin\"", "version"), expected) << manifest;
}

TEST(Package, TheWindowShowsTheHandOverAButton) {
  const std::wstring exe = PackageExe();
  ASSERT_FALSE(exe.empty()) << "TAVROLIN_PACKAGE_DIR is not set";
  MoveMouseTo(2, 2);
  App app(exe);
  ASSERT_TRUE(app.Started()) << Narrow(exe);
  HWND form = app.Window();
  SetWindowPos(form, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  const RECT client = ClientRectOnScreen(form);
  ASSERT_TRUE(HoverUntil({client.left + 461, client.top + 116},  // the gap right of the list
                         [&] { return CurrentCursor() != nullptr && MousePointerOf(form) == 0; }));
  const HCURSOR arrow = CurrentCursor();

  const RECT button = WindowRectOnScreen(app.Control(tavrolin::kIdCheck1));
  EXPECT_TRUE(HoverUntil({(button.left + button.right) / 2, (button.top + button.bottom) / 2},
                         [&] { return MousePointerOf(form) == tavrolin::kPointerCustom; }));
  // Without the package's HAND-M.CUR the setting would show the arrow.
  EXPECT_TRUE(WaitFor([&] { return CurrentCursor() != arrow; }, 10)) << "the hand over the button";
  SaveScreenshot(nullptr, ScreenshotDir() + L"\\package_hand.bmp");
  EXPECT_TRUE(app.Close(30));
}

}  // namespace
