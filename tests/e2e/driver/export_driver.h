#pragma once
// Driver additions for the export scenarios: small file helpers and the scenarios' fixture.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "driver/doclist_driver.h"
#include "driver/driver.h"
#include "testbed/client/testbed_client.h"

namespace e2e {

using testfiles::WriteFileBytes;
// The whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);

// The program reads its test bounds from this variable (see src/app/test_bounds.h).
inline constexpr wchar_t kBoundsVariable[] = L"TAVROLIN_TEST_BOUNDS";
// The scenarios' usual bounds. A call's is above Wine's own 30 one-second looks for a starting
// server's class: a creation Wine gives up (E_NOINTERFACE) is asked once more, as the program
// does, instead of being taken for a Word that hangs.
inline constexpr wchar_t kScenarioBounds[] = L"dialog=30;pdf=30;call=45";

// The name of the test running now, for a work folder of its own.
std::wstring CurrentTestName();

// One export scenario against the stand-ins: a work folder of its own with the call log in it,
// the dialog shown 100 ms after printing, and the program's bounds; nothing lingers afterwards.
// `Base` is ::testing::Test or a ::testing::TestWithParam.
template <typename Base = ::testing::Test>
class ExportScenario : public Base {
 protected:
  void Arrange(const std::wstring& folder, const wchar_t* bounds) {
    tavrolin::testbed::KillStandIns();
    dir = MakeWorkDir(folder);
    settings.logFile = dir + L"\\calls.log";
    settings.dialogDelayMs = 100;
    SetEnvironmentVariableW(kBoundsVariable, bounds);
  }
  void TearDown() override {
    app.reset();
    tavrolin::testbed::Reset();
    tavrolin::testbed::KillStandIns();
    SetEnvironmentVariableW(kBoundsVariable, nullptr);
  }
  // The program, started with the stand-ins as `settings` says.
  void Start() {
    MoveMouseTo(2, 2);
    tavrolin::testbed::Apply(settings);
    app = std::make_unique<App>();
    ASSERT_TRUE(app->Started());
  }
  // ... with `documents` added through its open dialog, then "Export to PDF" pressed.
  void StartExport(const std::vector<std::wstring>& documents) {
    ASSERT_NO_FATAL_FAILURE(Start());
    for (const auto& path : documents) ASSERT_TRUE(AddFilesThroughDialog(*app, {path})) << path;
    ASSERT_TRUE(WaitForListTexts(app->Control(tavrolin::kIdListView1), documents));
    PressButton(app->Control(tavrolin::kIdCheck2));
  }

  std::wstring dir;
  tavrolin::testbed::Settings settings;
  std::unique_ptr<App> app;
};

}  // namespace e2e
