// The Save As dialog driver's steps and bounds, against a fake window layer on a fake clock.
#include <gtest/gtest.h>

#include "export/dialog_driver.h"
#include "export/word.h"
#include "fakes/fake_pump.h"
#include "fakes/fake_window_layer.h"

namespace tavrolin {
namespace {

using testing::FakePump;
using testing::FakeWindowLayer;

constexpr std::intptr_t kKeyData = 0x00300001;
const std::function<bool()> kNeverStop = [] { return false; };

class DialogDriverTest : public ::testing::Test {
 protected:
  DialogSnapshot Snapshot() { return SnapshotSaveAsDialogs(windows, pump); }
  void Complete(const std::wstring& path, const DialogSnapshot& before,
                const std::function<bool()>& stop = kNeverStop) {
    CompleteSaveAsDialog(path, before, windows, pump, stop, bounds);
  }

  FakePump pump;
  FakeWindowLayer windows{pump};
  DialogBounds bounds;
};

TEST_F(DialogDriverTest, TypesEveryCharacterInOrderThenClicksSave) {
  const auto before = Snapshot();
  FakeWindowLayer::Dialog d{};
  pump.At(1.0, [&] { d = windows.AddSaveAs(); });
  const std::wstring path = L"C:\\Docs\\Report.final.pdf";
  Complete(path, before);

  const auto chars = windows.PostsTo(d.edit);
  ASSERT_EQ(path.size(), chars.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    EXPECT_EQ(kWmChar, chars[i].message);
    EXPECT_EQ(static_cast<std::intptr_t>(path[i]), chars[i].wParam) << "character " << i;
    EXPECT_EQ(kKeyData, chars[i].lParam);
    EXPECT_FALSE(chars[i].wide);
  }
  const auto clicks = windows.PostsTo(d.save);
  ASSERT_EQ(2u, clicks.size());
  EXPECT_EQ(kWmLButtonDown, clicks[0].message);
  EXPECT_EQ(kWmLButtonUp, clicks[1].message);
  for (const auto& c : clicks) {
    EXPECT_EQ(1, c.wParam);
    EXPECT_EQ(0, c.lParam);
  }
  EXPECT_EQ(path.size() + 2, windows.posts.size()) << "nothing else is posted, to no other window";
  EXPECT_EQ(d.save, windows.posts.back().window);
}

// Records how many pumps had run when each message was posted.
class CountingLayer final : public FakeWindowLayer {
 public:
  explicit CountingLayer(FakePump& pump) : FakeWindowLayer(pump), pump_(pump) {}
  void PostNarrow(WindowId w, unsigned m, std::intptr_t wp, std::intptr_t lp) override {
    pumpsAtPost.push_back(pump_.doEventsCalls);
    FakeWindowLayer::PostNarrow(w, m, wp, lp);
  }
  std::vector<int> pumpsAtPost;

 private:
  FakePump& pump_;
};

TEST(DialogDriverPumps, OnePumpPerCharacterAndAroundTheClick) {
  FakePump pump;
  CountingLayer windows(pump);
  const auto before = SnapshotSaveAsDialogs(windows, pump);
  windows.AddSaveAs();
  CompleteSaveAsDialog(L"abc", before, windows, pump, kNeverStop, {});
  const auto& at = windows.pumpsAtPost;
  ASSERT_EQ(5u, at.size());
  EXPECT_EQ(at[0] + 1, at[1]);
  EXPECT_EQ(at[1] + 1, at[2]);
  EXPECT_EQ(at[2] + 2, at[3]) << "one pump after typing, one after the button search";
  EXPECT_EQ(at[3] + 1, at[4]) << "one pump between press and release";
  EXPECT_EQ(at[4] + 1, pump.doEventsCalls) << "and one before returning";
}

TEST_F(DialogDriverTest, PausesAfterTheEditBoxIsFoundNeverBefore) {
  const auto before = Snapshot();
  FakeWindowLayer::Dialog d{};
  // The dialog shows at 2 s; its edit box is only there half a second later.
  pump.At(2.0, [&] {
    d.dialog = windows.Add(0, L"#32770", L"Save As");
  });
  pump.At(2.5, [&] {
    d.edit = windows.Add(d.dialog, L"Edit", L"");
    d.save = windows.Add(d.dialog, L"Button", L"&Save");
  });
  Complete(L"x", before);

  const auto editFound = windows.FoundAt(d.edit);
  ASSERT_TRUE(editFound);
  const auto chars = windows.PostsTo(d.edit);
  ASSERT_EQ(1u, chars.size());
  EXPECT_GE(chars[0].at - *editFound, 0.4);
  EXPECT_LT(chars[0].at - *editFound, 0.45) << "and not much longer";
  EXPECT_GE(*windows.FoundAt(d.dialog), 2.0);
}

TEST_F(DialogDriverTest, EmptyPathTypesNothingButStillClicks) {
  const auto before = Snapshot();
  const auto d = windows.AddSaveAs();
  Complete(L"", before);
  EXPECT_TRUE(windows.PostsTo(d.edit).empty());
  ASSERT_EQ(2u, windows.PostsTo(d.save).size());
}

TEST_F(DialogDriverTest, SaveButtonBeforeTheEditBoxIsNotClicked) {
  const auto before = Snapshot();
  const auto d = windows.AddSaveAs(/*saveBeforeEdit=*/true);
  EXPECT_NO_THROW(Complete(L"C:\\a.pdf", before));
  EXPECT_EQ(8u, windows.PostsTo(d.edit).size());
  EXPECT_TRUE(windows.PostsTo(d.save).empty());
  const auto& last = windows.finds.back();
  EXPECT_EQ(d.dialog, last.parent);
  EXPECT_EQ(d.edit, last.after) << "the button is looked for after the edit box only";
}

TEST_F(DialogDriverTest, ADialogOpenBeforePrintingIsLeftAlone) {
  const auto other = windows.AddSaveAs();
  const auto before = Snapshot();
  FakeWindowLayer::Dialog ours{};
  pump.At(3.0, [&] { ours = windows.AddSaveAs(); });
  Complete(L"C:\\a.pdf", before);
  EXPECT_TRUE(windows.PostsTo(other.edit).empty());
  EXPECT_TRUE(windows.PostsTo(other.save).empty());
  EXPECT_EQ(8u, windows.PostsTo(ours.edit).size());
  EXPECT_EQ(2u, windows.PostsTo(ours.save).size());
}

TEST_F(DialogDriverTest, CharactersOutsideTheCodePageGoAsUnicodeTheRestAsAnsiCodes) {
  const auto before = Snapshot();
  const auto d = windows.AddSaveAs();
  const std::wstring path = L"C:\\\u00e9t\u00e9\\\u0416\u20ac.pdf";
  Complete(path, before);
  const auto chars = windows.PostsTo(d.edit);
  ASSERT_EQ(path.size(), chars.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(path[i] > 0xFF, chars[i].wide);
    EXPECT_EQ(static_cast<std::intptr_t>(path[i]), chars[i].wParam) << "Latin-1 0xE9 stays 0xE9, never negative";
    EXPECT_EQ(kKeyData, chars[i].lParam);
  }
}

TEST_F(DialogDriverTest, NoDialogWithinTheBoundFailsCountingFromThePrintCall) {
  const auto before = Snapshot();
  pump.now = 100;  // printing itself took 100 s
  try {
    Complete(L"C:\\a.pdf", before);
    FAIL() << "returned without a dialog";
  } catch (const AutomationError& e) {
    EXPECT_EQ(L"The printer's \"Save As\" dialog did not appear within 120 seconds.", e.reason());
  }
  EXPECT_GE(pump.now, 120.0);
  EXPECT_LT(pump.now, 121.0);
  EXPECT_TRUE(windows.posts.empty());
}

TEST_F(DialogDriverTest, ADialogWithoutAnEditBoxFailsAfterItsBound) {
  bounds.editBoxSeconds = 2;
  const auto before = Snapshot();
  const WindowId dialog = windows.Add(0, L"#32770", L"Save As");
  windows.Add(dialog, L"Button", L"&Save");
  try {
    Complete(L"C:\\a.pdf", before);
    FAIL() << "returned without an edit box";
  } catch (const AutomationError& e) {
    EXPECT_EQ(L"The printer's \"Save As\" dialog showed no file name box within 2 seconds.", e.reason());
  }
  EXPECT_LT(pump.now, 2.1);
  EXPECT_TRUE(windows.posts.empty());
}

TEST_F(DialogDriverTest, ADialogWithAnotherTitleOrClassIsNotTaken) {
  const auto before = Snapshot();
  bounds.dialogSeconds = 1;
  const WindowId saveAsFile = windows.Add(0, L"#32770", L"Save As File");
  windows.Add(saveAsFile, L"Edit", L"");
  const WindowId notADialog = windows.Add(0, L"Notepad", L"Save As");
  windows.Add(notADialog, L"Edit", L"");
  EXPECT_THROW(Complete(L"C:\\a.pdf", before), AutomationError);
  EXPECT_TRUE(windows.posts.empty());
}

TEST_F(DialogDriverTest, StopDuringTheSearchOrThePauseEndsWithoutTyping) {
  {
    const auto before = Snapshot();
    int polls = 0;
    EXPECT_THROW(Complete(L"C:\\a.pdf", before, [&] { return ++polls > 50; }), StopRequested);
    EXPECT_LT(pump.now, 1.0);
  }
  {
    const auto before = Snapshot();
    const auto d = windows.AddSaveAs();
    const double start = pump.now;
    bool stop = false;
    pump.At(start + 0.2, [&] { stop = true; });
    EXPECT_THROW(Complete(L"C:\\a.pdf", before, [&] { return stop; }), StopRequested);
    EXPECT_TRUE(windows.PostsTo(d.edit).empty());
    EXPECT_TRUE(windows.PostsTo(d.save).empty());
  }
}

}  // namespace
}  // namespace tavrolin
