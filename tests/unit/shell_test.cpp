#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/message_text.h"
#include "common/home_page.h"

namespace tavrolin {
namespace {

struct RecordingStarter : ProgramStarter {
  struct Started {
    std::wstring program;
    std::wstring commandLine;
  };
  std::vector<Started> started;
  bool Start(const std::wstring& program, const std::wstring& commandLine) override {
    started.push_back({program, commandLine});
    return false;  // a failure must not reach the caller
  }
};

TEST(HomePage, StartsExplorerByItsFullPathInTheWindowsFolder) {
  RecordingStarter starter;
  OpenHomePage(L"C:\\Windows", starter);
  OpenHomePage(L"D:\\", starter);  // a Windows folder at a drive's root
  ASSERT_EQ(starter.started.size(), 2u);
  EXPECT_EQ(starter.started[0].program, L"C:\\Windows\\explorer.exe");
  EXPECT_EQ(starter.started[0].commandLine,
            L"\"C:\\Windows\\explorer.exe\" \"" + std::wstring(kHomePage) + L"\"");
  EXPECT_EQ(starter.started[1].program, L"D:\\explorer.exe");

  RecordingStarter none;
  OpenHomePage(L"", none);
  EXPECT_TRUE(none.started.empty()) << "never a bare name that the system would search for";
}

TEST(WithLineBreaks, LoneCarriageReturnsBreakTheLine) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"The file is locked.\rTry again.", L"The file is locked.\r\nTry again."},
      {L"a\r\nb", L"a\r\nb"},
      {L"a\r\r\nb\r", L"a\r\n\r\nb\r\n"},
      {L"a\nb", L"a\nb"},
      {L"", L""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(WithLineBreaks(text), expected);
}

}  // namespace
}  // namespace tavrolin
