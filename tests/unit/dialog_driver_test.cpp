// The Save As dialog driver's steps and bounds, against a fake window layer on a fake clock.
#include <gtest/gtest.h>

#include "export/dialog_driver.h"
#include "export/word.h"
#include "fakes/fake_pump.h"
#include "fakes/fake_window_layer.h"
#include "shared/message_sequence.h"

namespace tavrolin {
namespace {

using testing::FakePump;
using testing::FakeWindowLayer;
using testing::kWide;
using testing::MatchesSequence;
using testing::TypedThenSaved;
using testing::WindowMessage;

const std::function<bool()> kNeverStop = [] { return false; };

// Every post, in order, to `d`'s edit box and buttons by name and to any other window by id.
std::vector<WindowMessage> Posted(const FakeWindowLayer& windows, const FakeWindowLayer::Dialog& d) {
  std::vector<WindowMessage> posted;
  for (const auto& p : windows.posts) {
    std::string name = p.window == d.edit ? "edit" : p.window == d.save ? "save" : std::to_string(p.window);
    for (const auto& w : windows.windows) {
      if (w.id == p.window && w.parent == d.dialog && w.text == L"Cancel") name = "cancel";
    }
    posted.push_back({name, p.message, static_cast<std::uint64_t>(p.wParam), p.lParam,
                      testing::kPosted | (p.wide ? kWide : 0u)});
  }
  return posted;
}

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
  EXPECT_TRUE(MatchesSequence(TypedThenSaved(path), Posted(windows, d))) << "nothing else is posted, to no other window";
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
  EXPECT_TRUE(MatchesSequence(TypedThenSaved(L""), Posted(windows, d)));
}

TEST_F(DialogDriverTest, SaveButtonBeforeTheEditBoxIsNotClicked) {
  const auto before = Snapshot();
  const auto d = windows.AddSaveAs(/*saveBeforeEdit=*/true);
  EXPECT_NO_THROW(Complete(L"C:\\a.pdf", before));
  auto typedOnly = TypedThenSaved(L"C:\\a.pdf");
  typedOnly.resize(8);
  EXPECT_TRUE(MatchesSequence(typedOnly, Posted(windows, d))) << "typed, never clicked";
  const auto& last = windows.finds.back();
  EXPECT_EQ(d.dialog, last.parent);
  EXPECT_EQ(d.edit, last.after) << "the button is looked for after the edit box only";
}

TEST_F(DialogDriverTest, ADialogOpenBeforePrintingIsLeftAlone) {
  windows.AddSaveAs();  // another program's, open before printing
  const auto before = Snapshot();
  FakeWindowLayer::Dialog ours{};
  pump.At(3.0, [&] { ours = windows.AddSaveAs(); });
  Complete(L"C:\\a.pdf", before);
  EXPECT_TRUE(MatchesSequence(TypedThenSaved(L"C:\\a.pdf"), Posted(windows, ours))) << "nothing to the other dialog";
}

TEST_F(DialogDriverTest, CharactersOutsideTheCodePageGoAsUnicodeTheRestAsAnsiCodes) {
  const auto before = Snapshot();
  const auto d = windows.AddSaveAs();
  const std::wstring path = L"C:\\\u00e9t\u00e9\\\u0416\u20ac.pdf";
  Complete(path, before);
  auto expected = TypedThenSaved(path);
  for (std::size_t i = 0; i < path.size(); ++i) expected[i].flags |= path[i] > 0xFF ? kWide : 0u;
  EXPECT_TRUE(MatchesSequence(expected, Posted(windows, d))) << "Latin-1 0xE9 stays 0xE9, never negative";
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
    const std::vector<WindowMessage> cancelled = {{"cancel", kWmLButtonDown, 1, 0, testing::kExactPost},
                                                  {"cancel", kWmLButtonUp, 1, 0, testing::kExactPost}};
    EXPECT_TRUE(MatchesSequence(cancelled, Posted(windows, d))) << "cancelled, never typed into";
  }
}

}  // namespace
}  // namespace tavrolin
