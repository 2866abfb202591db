#pragma once
// What every test against the stand-ins sets up and checks: a COM apartment, no stand-in left
// from an earlier test, a folder of its own with the call log and a document in it, and at the
// end no stand-in left over.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "shared/message_sequence.h"
#include "shared/test_files.h"
#include "testbed/client/testbed_client.h"

namespace tavrolin::testing {

class StandInTest : public ::testing::Test {
 protected:
  explicit StandInTest(const wchar_t* folderPrefix, const char* outlived = "stand-in processes outlived the test")
      : temp_(folderPrefix), outlived_(outlived) {}

  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_TRUE(testbed::WaitNoStandIns(std::chrono::seconds(15))) << "a stand-in of an earlier test is still running";
    dir_ = temp_.path();
    settings_.logFile = dir_ + L"\\calls.log";
    document_ = dir_ + L"\\memo.txt";
    ASSERT_TRUE(testfiles::WriteFileBytes(document_, "Memo\r\nBring the keys.\r\n"));
    Apply();
  }

  void TearDown() override {
    testbed::Reset();
    const bool none = testbed::WaitNoStandIns(std::chrono::seconds(20));
    if (!none) testbed::KillStandIns();
    EXPECT_TRUE(none) << outlived_;
    CoUninitialize();
  }

  void Apply() { testbed::Apply(settings_); }
  std::vector<testbed::LogEntry> Log() { return testbed::ReadLog(settings_.logFile); }
  // Every message the stand-in dialog logged, in order, as the sequence tables read them; all
  // but the pointer's moves, which depend on where an earlier test left the pointer, and the
  // reads of the box's text, which change nothing and are repeated until the typing has arrived.
  std::vector<WindowMessage> DialogMessages() {
    std::vector<WindowMessage> messages;
    for (const auto& e : Log()) {
      if (e.kind != "msg" || e.msg == WM_MOUSEMOVE || e.msg == WM_NCMOUSEMOVE || e.msg == WM_MOUSELEAVE) continue;
      if (!e.posted && (e.msg == WM_GETTEXT || e.msg == WM_GETTEXTLENGTH)) continue;
      messages.push_back({std::string(e.window.begin(), e.window.end()), e.msg, e.wParam, e.lParam,
                          e.posted ? kPosted : 0u});
    }
    return messages;
  }

  static inline const std::function<bool()> kNeverStop = [] { return false; };

  testbed::Settings settings_;  // set by a derived constructor, applied by SetUp
  testfiles::TempFolder temp_;
  std::wstring dir_;
  std::wstring document_;

 private:
  const char* outlived_;
};

}  // namespace tavrolin::testing
