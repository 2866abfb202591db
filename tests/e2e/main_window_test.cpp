#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "common/placement.h"
#include "driver/driver.h"
#include "driver/folder_driver.h"

using namespace e2e;

namespace {

struct Expected {
  int id;
  const wchar_t* className;
  const wchar_t* text;
  RECT rect;  // in the client area, pixels at 96 DPI
};

// Tab order is creation order: the rows below are in it.
const Expected kControls[] = {
    {tavrolin::kIdCommand1, L"Button", L"Command1", {-48, 176, -7, 209}},
    {tavrolin::kIdCheck1, L"Button", L"Add Word File(s)", {8, 120, 153, 193}},
    {tavrolin::kIdCheck2, L"Button", L"Export to PDF", {312, 120, 457, 193}},
    {tavrolin::kIdListView1, L"SysListView32", L"", {8, 8, 457, 113}},
    {tavrolin::kIdCheck4, L"Button", L" Add All Word Files In Folder", {160, 120, 305, 193}},
    {tavrolin::kIdProgressBar1, L"msctls_progress32", L"", {8, 200, 457, 225}},
    {tavrolin::kIdCheck3, L"Button", L"Help", {8, 232, 457, 257}},
};

HWND FocusOf(const App& app) {
  GUITHREADINFO info{sizeof(info)};
  GetGUIThreadInfo(GetWindowThreadProcessId(app.Window(), nullptr), &info);
  return info.hwndFocus;
}

POINT CentreOf(HWND control) {
  RECT r = WindowRectOnScreen(control);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class MainWindow : public ::testing::Test {
 protected:
  App app;
};

TEST_F(MainWindow, LaysOutTheWindowAndItsControlsAsDesigned) {
  ASSERT_TRUE(app.Started());
  HWND form = app.Window();
  EXPECT_EQ(WindowText(form), L"Tavrolin");
  EXPECT_EQ(TopLevelWindows(app.Pid(), L"TavrolinForm1").size(), 1u);

  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 465);
  EXPECT_EQ(client.bottom, 265);

  RECT outer = WindowRectOnScreen(form);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_NEAR(outer.left, (screenWidth - (outer.right - outer.left)) / 2, 1);
  EXPECT_NEAR(outer.top, (screenHeight - (outer.bottom - outer.top)) / 2, 1);
  EXPECT_FALSE(GetWindowLongW(form, GWL_STYLE) & WS_THICKFRAME) << "the window is not resizable";

  std::vector<HWND> tabOrder;
  for (const auto& want : kControls) {
    HWND control = app.Control(want.id);
    ASSERT_NE(control, nullptr) << want.id;
    EXPECT_EQ(ClassName(control), want.className) << want.id;
    if (want.id != tavrolin::kIdListView1) {
      EXPECT_EQ(WindowText(control), want.text);
    }
    const RECT r = RectInParent(control);
    EXPECT_EQ(r.left, want.rect.left) << want.id;
    EXPECT_EQ(r.top, want.rect.top) << want.id;
    EXPECT_EQ(r.right, want.rect.right) << want.id;
    EXPECT_EQ(r.bottom, want.rect.bottom) << want.id;
    tabOrder.push_back(control);
  }
  // Z-order of the children is the tab order.
  std::vector<HWND> zOrder;
  for (HWND child : Children(form)) {
    for (HWND c : tabOrder) {
      if (c == child) zOrder.push_back(child);
    }
  }
  EXPECT_EQ(zOrder, tabOrder);

  HWND list = app.Control(tavrolin::kIdListView1);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
  const auto columns = ListViewColumns(list);
  ASSERT_EQ(columns.size(), 1u);
  EXPECT_EQ(columns[0].first, L"Word File(s)");
  EXPECT_EQ(columns[0].second, 380);

  HWND progress = app.Control(tavrolin::kIdProgressBar1);
  EXPECT_EQ(SendMessageW(progress, PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(SendMessageW(progress, PBM_GETRANGE, FALSE, 0), 100);
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(SendMessageW(progress, PBM_GETBKCOLOR, 0, 0), static_cast<LRESULT>(RGB(255, 255, 255)));

  for (int id : {tavrolin::kIdCheck1, tavrolin::kIdCheck2, tavrolin::kIdCheck3, tavrolin::kIdCheck4}) {
    HWND button = app.Control(id);
    const LONG style = GetWindowLongW(button, GWL_STYLE);
    EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX) << id;
    EXPECT_TRUE(style & BS_PUSHLIKE) << id;
    EXPECT_EQ(ButtonValue(button), BST_UNCHECKED) << id;
  }

  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(form) != FALSE; }, 10));
  EXPECT_TRUE(SaveScreenshot(form, ScreenshotDir() + L"\\main_window" + LookSuffix() + L".bmp"));
}

TEST_F(MainWindow, TabMovesTheFocusInTheDesignedOrder) {
  ASSERT_TRUE(app.Started());
  SetForegroundWindow(app.Window());
  ASSERT_TRUE(WaitFor([&] { return FocusOf(app) == app.Control(tavrolin::kIdCommand1); }, 10))
      << "the unseen Command1 holds the focus at start";
  const int order[] = {tavrolin::kIdCheck1, tavrolin::kIdCheck2, tavrolin::kIdListView1,
                       tavrolin::kIdCheck4, tavrolin::kIdCheck3, tavrolin::kIdCommand1};
  for (int id : order) {
    PressKey(VK_TAB);
    EXPECT_TRUE(WaitFor([&] { return FocusOf(app) == app.Control(id); }, 10)) << "expected " << id;
  }
}

TEST_F(MainWindow, HelpShowsOneMessageAndTheButtonSpringsBack) {
  ASSERT_TRUE(app.Started());
  HWND help = app.Control(tavrolin::kIdCheck3);
  PressButton(help);
  auto box = WaitForMessageBox(app.Pid(), 20);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, L"Tavrolin");
  EXPECT_EQ(box->text, L"Anti-virus programs can interfere when exporting to PDF.");
  ASSERT_EQ(box->buttons.size(), 1u);
  EXPECT_EQ(box->buttons[0], L"OK");
  EXPECT_FALSE(box->hasIcon);
  EXPECT_EQ(TopLevelWindows(app.Pid(), L"#32770").size(), 1u);
  EXPECT_EQ(ButtonValue(help), BST_UNCHECKED);
  SaveScreenshot(nullptr, ScreenshotDir() + L"\\help_message" + LookSuffix() + L".bmp");
  ASSERT_TRUE(AnswerMessageBox(*box, L"OK"));
  EXPECT_TRUE(WaitFor([&] { return TopLevelWindows(app.Pid(), L"#32770").empty(); }, 10));
  EXPECT_EQ(ButtonValue(help), BST_UNCHECKED);
  EXPECT_TRUE(app.Running());
}

// Cursor handles are private to a process, so the shape shown is compared with the one seen
// over the bare window, and the setting is read from the window.
TEST_F(MainWindow, HoverShowsTheHandOverButtonsAndTheArrowElsewhere) {
  ASSERT_TRUE(app.Started());
  SetForegroundWindow(app.Window());
  HWND form = app.Window();
  const RECT client = ClientRectOnScreen(form);
  const POINT bare{client.left + 461, client.top + 116};  // the gap right of the list

  // Whatever an earlier test left on the screen must not catch the pointer.
  SetWindowPos(form, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ASSERT_EQ(GetAncestor(WindowFromPoint(bare), GA_ROOT), form);
  // The pointer may have rested over a button when the window opened: the arrow is read once
  // the window has taken the move.
  ASSERT_TRUE(HoverUntil(bare, [&] { return MousePointerOf(form) == 0 && CurrentCursor() != nullptr; }));
  const HCURSOR arrow = CurrentCursor();

  HCURSOR hand = nullptr;
  for (int id : {tavrolin::kIdCheck1, tavrolin::kIdCheck2, tavrolin::kIdCheck4, tavrolin::kIdCheck3}) {
    EXPECT_TRUE(HoverUntil(CentreOf(app.Control(id)), [&] { return MousePointerOf(form) == 99; }))
        << "button " << id;
    EXPECT_TRUE(WaitFor([&] { return CurrentCursor() != arrow; }, 10)) << "the hand over " << id;
    if (!hand) hand = CurrentCursor();
    EXPECT_EQ(CurrentCursor(), hand);
    EXPECT_TRUE(HoverUntil(bare, [&] { return MousePointerOf(form) == 0 && CurrentCursor() == arrow; }))
        << "the arrow again after " << id;
  }

  // From "Help" straight onto the progress bar: the bar has no rule, so the hand stays.
  ASSERT_TRUE(HoverUntil(CentreOf(app.Control(tavrolin::kIdCheck3)),
                         [&] { return MousePointerOf(form) == 99 && CurrentCursor() == hand; }));
  ASSERT_TRUE(MovePointerTo(CentreOf(app.Control(tavrolin::kIdProgressBar1))));
  EXPECT_EQ(MousePointerOf(form), 99);
  EXPECT_EQ(CurrentCursor(), hand);

  // The list applies the window rule.
  EXPECT_TRUE(HoverUntil(CentreOf(app.Control(tavrolin::kIdListView1)),
                         [&] { return MousePointerOf(form) == 0 && CurrentCursor() == arrow; }));
}

// Read from the screen as the user sees it, not from what the controls say of themselves.
COLORREF ScreenPixel(POINT at) {
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, at.x, at.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

bool NearlyWhite(COLORREF colour) {
  return colour != CLR_INVALID && GetRValue(colour) >= 240 && GetGValue(colour) >= 240 &&
         GetBValue(colour) >= 240;
}

TEST_F(MainWindow, ButtonFacesAndTheProgressBarsBackgroundAreWhiteOnTheScreen) {
  ASSERT_TRUE(app.Started());
  HWND form = app.Window();
  MoveMouseTo(2, 2);  // a hovered button shows its frame in blue; the face stays white
  SetWindowPos(form, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(form) != FALSE; }, 10));

  struct Sample {
    int id;
    POINT at;  // on the screen
  };
  std::vector<Sample> samples;
  // Each button's face in its four corners, inside the frame and clear of picture and caption.
  for (int id : {tavrolin::kIdCheck1, tavrolin::kIdCheck2, tavrolin::kIdCheck4, tavrolin::kIdCheck3}) {
    const RECT r = WindowRectOnScreen(app.Control(id));
    for (POINT p : {POINT{r.left + 6, r.top + 6}, POINT{r.right - 7, r.top + 6},
                    POINT{r.left + 6, r.bottom - 7}, POINT{r.right - 7, r.bottom - 7}}) {
      samples.push_back({id, p});
    }
  }
  // The empty bar along its middle.
  const RECT bar = WindowRectOnScreen(app.Control(tavrolin::kIdProgressBar1));
  for (int quarter = 1; quarter <= 3; ++quarter) {
    samples.push_back({tavrolin::kIdProgressBar1,
                       {bar.left + (bar.right - bar.left) * quarter / 4, (bar.top + bar.bottom) / 2}});
  }
  // Painting may still be under way: wait for it, then report every sample that is not white.
  WaitFor([&] {
    for (const auto& sample : samples) {
      if (!NearlyWhite(ScreenPixel(sample.at))) return false;
    }
    return true;
  }, 10);
  SaveScreenshot(form, ScreenshotDir() + L"\\main_window_faces" + LookSuffix() + L".bmp");
  for (const auto& sample : samples) {
    const COLORREF colour = ScreenPixel(sample.at);
    EXPECT_TRUE(NearlyWhite(colour)) << "control " << sample.id << " at " << sample.at.x << ","
                                     << sample.at.y << ": rgb(" << int(GetRValue(colour)) << ","
                                     << int(GetGValue(colour)) << "," << int(GetBValue(colour)) << ")";
  }
}

// As the system would on a move to a monitor of 150 % and back: the frame it suggests, and the
// controls laid out again from their twips at the new DPI.
TEST_F(MainWindow, FollowsAMonitorOfAnotherScaleAndBack) {
  ASSERT_TRUE(app.Started());
  HWND form = app.Window();
  const RECT original = WindowRectOnScreen(form);
  RemoteMemory remote(form, sizeof(RECT));
  ASSERT_NE(remote.address(), nullptr);
  auto changeDpi = [&](int dpi, RECT suggested) {
    remote.Write(&suggested, sizeof(suggested));
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(form, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                               reinterpret_cast<LPARAM>(remote.address()), SMTO_NORMAL, 10000,
                               &ignored) != 0;
  };
  struct Twips {
    int id, left, top, width, height;
  };
  const Twips designed[] = {
      {tavrolin::kIdCommand1, -720, 2640, 615, 495},  {tavrolin::kIdCheck1, 120, 1800, 2175, 1095},
      {tavrolin::kIdCheck2, 4680, 1800, 2175, 1095},  {tavrolin::kIdListView1, 120, 120, 6735, 1575},
      {tavrolin::kIdCheck4, 2400, 1800, 2175, 1095},  {tavrolin::kIdProgressBar1, 120, 3000, 6735, 375},
      {tavrolin::kIdCheck3, 120, 3480, 6735, 375},
  };

  const RECT larger{original.left, original.top,
                    original.left + (original.right - original.left) * 3 / 2,
                    original.top + (original.bottom - original.top) * 3 / 2};
  ASSERT_TRUE(changeDpi(144, larger));
  const RECT now = WindowRectOnScreen(form);
  EXPECT_EQ(now.left, larger.left);
  EXPECT_EQ(now.top, larger.top);
  EXPECT_EQ(now.right, larger.right);
  EXPECT_EQ(now.bottom, larger.bottom);
  for (const auto& t : designed) {
    auto px = [](int twips) { return tavrolin::TwipsToPixels(twips, 144); };
    const RECT r = RectInParent(app.Control(t.id));
    EXPECT_EQ(r.left, px(t.left)) << t.id;
    EXPECT_EQ(r.top, px(t.top)) << t.id;
    EXPECT_EQ(r.right, px(t.left) + px(t.width)) << t.id;
    EXPECT_EQ(r.bottom, px(t.top) + px(t.height)) << t.id;
  }
  const auto columns = ListViewColumns(app.Control(tavrolin::kIdListView1));
  ASSERT_EQ(columns.size(), 1u);
  EXPECT_EQ(columns[0].second, 570);
  SaveScreenshot(form, ScreenshotDir() + L"\\main_window_144dpi" + LookSuffix() + L".bmp");

  ASSERT_TRUE(changeDpi(96, original));
  for (const auto& want : kControls) {
    const RECT r = RectInParent(app.Control(want.id));
    EXPECT_EQ(r.left, want.rect.left) << want.id;
    EXPECT_EQ(r.top, want.rect.top) << want.id;
    EXPECT_EQ(r.right, want.rect.right) << want.id;
    EXPECT_EQ(r.bottom, want.rect.bottom) << want.id;
  }
  EXPECT_EQ(ListViewColumns(app.Control(tavrolin::kIdListView1))[0].second, 380);
  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 465);
  EXPECT_EQ(client.bottom, 265);
}

TEST_F(MainWindow, ClosingTheWindowEndsTheProgram) {
  ASSERT_TRUE(app.Started());
  EXPECT_TRUE(app.Close(30));
}

}  // namespace
