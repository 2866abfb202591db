#include <gtest/gtest.h>

#include "common/long_path.h"

namespace tavrolin {
namespace {

TEST(LongPathForm, TurnsFullPathsIntoTheFormTheFileSystemTakesAsItStands) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\Docs\\Report.pdf", L"\\\\?\\C:\\Docs\\Report.pdf"},
      {L"C:\\", L"\\\\?\\C:\\"},
      {L"d:/Docs//Letters\\x.pdf", L"\\\\?\\d:\\Docs\\Letters\\x.pdf"},
      {L"C:\\Docs\\", L"\\\\?\\C:\\Docs\\"},  // a folder keeps its closing backslash
      {L"\\\\server\\share\\Docs\\a.pdf", L"\\\\?\\UNC\\server\\share\\Docs\\a.pdf"},
      {L"\\\\server\\share", L"\\\\?\\UNC\\server\\share"},
      // "." and ".." are not resolved by the file system in this form.
      {L"C:\\Docs\\.\\Old\\..\\Report.pdf", L"\\\\?\\C:\\Docs\\Report.pdf"},
      {L"C:\\..\\..\\a.pdf", L"\\\\?\\C:\\a.pdf"},
      {L"\\\\server\\share\\..\\x\\.\\a.pdf", L"\\\\?\\UNC\\server\\share\\x\\a.pdf"},
      {L"C:\\Docs\\..", L"\\\\?\\C:\\"},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(LongPathForm(path), expected) << path;
}

TEST(LongPathForm, LeavesLongDeviceAndPartialPathsAlone) {
  for (const std::wstring path :
       {L"\\\\?\\C:\\Docs\\..\\a.pdf", L"\\\\?\\UNC\\server\\share\\a.pdf", L"\\\\.\\COM1", L"",
        L"Docs\\a.pdf", L"C:a.pdf", L"\\Docs\\a.pdf", L"\\\\server", L"\\\\server\\..\\x"}) {
    EXPECT_EQ(LongPathForm(path), path) << path;
  }
}

TEST(LongPathForm, KeepsPathsBeyondTheClassicLimitWhole) {
  std::wstring path = L"C:";
  for (int i = 0; i < 40; ++i) path += L"\\folder" + std::to_wstring(i);
  path += L"\\a.pdf";
  ASSERT_GT(path.size(), 260u);
  EXPECT_EQ(LongPathForm(path), L"\\\\?\\" + path);
}

}  // namespace
}  // namespace tavrolin
