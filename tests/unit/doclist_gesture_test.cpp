#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doclist/reorder_gesture.h"
#include "shared/fake_pointer.h"

namespace tavrolin {
namespace {

using tavrolin::testing::FakePointer;

// Rows of 10 pixels from y = 0; the pointer's screen row is set by the test.
class FakeView : public ReorderView {
 public:
  explicit FakeView(const DocumentList& list) : list_(list) {}
  std::optional<int> HitTest(int, int y) override {
    if (y < 0) return std::nullopt;
    const int position = y / kRow + 1;
    if (position > list_.Count()) return std::nullopt;
    return position;
  }
  void EnsureVisible(int position) override { scrolledTo.push_back(position); }
  int CursorScreenY() override { return screenY; }
  void ShowDragPointer() override { pointer = L"drag"; }
  void ShowArrowPointer() override { pointer = L"arrow"; }

  static constexpr int kRow = 10;
  static int RowY(int position) { return (position - 1) * kRow + kRow / 2; }
  int screenY = 335;  // between the scroll thresholds
  std::vector<int> scrolledTo;
  std::wstring pointer = L"initial";

 private:
  const DocumentList& list_;
};

class Gesture : public ::testing::Test {
 protected:
  void Fill(std::initializer_list<const wchar_t*> texts) {
    for (const auto* text : texts) list.Append(text);
  }
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (int i = 1; i <= list.Count(); ++i) texts.push_back(list.Text(i));
    return texts;
  }
  // Press on the item at `position` as the platform reports it: press, then the item click.
  void PressOn(int position) {
    list.Select(position);
    gesture.MouseDown();
    gesture.ItemClick();
  }
  void MoveOver(int position) { gesture.MouseMove(3, FakeView::RowY(position)); }

  DocumentList list;
  FakeView view{list};
  FakePointer windowPointer;
  ReorderGesture gesture{list, view, windowPointer};
  using Texts_ = std::vector<std::wstring>;
};

TEST_F(Gesture, SlowDragCarriesThePathDownStepByStep) {
  Fill({L"A", L"B", L"C", L"D"});
  PressOn(1);
  EXPECT_EQ(view.pointer, L"drag");
  MoveOver(1);  // over itself: nothing
  EXPECT_EQ(Texts(), (Texts_{L"A", L"B", L"C", L"D"}));
  MoveOver(2);
  EXPECT_EQ(Texts(), (Texts_{L"B", L"A", L"C", L"D"}));
  MoveOver(2);  // the dragged path is now under the pointer
  MoveOver(3);
  MoveOver(4);
  gesture.MouseUp();
  EXPECT_EQ(Texts(), (Texts_{L"B", L"C", L"D", L"A"}));
  EXPECT_EQ(list.Selected(), 4);
  EXPECT_FALSE(gesture.Dragging);
  EXPECT_EQ(view.pointer, L"arrow");
  EXPECT_FALSE(gesture.HitItem);
}

TEST_F(Gesture, AJumpExchangesOnlyTheTwoItems) {
  Fill({L"A", L"B", L"C", L"D"});
  PressOn(1);
  MoveOver(4);
  EXPECT_EQ(Texts(), (Texts_{L"D", L"B", L"C", L"A"}));
  EXPECT_EQ(list.Selected(), 4);
  // And back up again: the dragged path is followed, not the first item.
  MoveOver(2);
  EXPECT_EQ(Texts(), (Texts_{L"D", L"A", L"C", L"B"}));
  EXPECT_EQ(list.Selected(), 2);
}

TEST_F(Gesture, EqualTextsNeverSwapAndNothingScrolls) {
  Fill({L"A", L"X", L"X", L"b", L"B"});
  view.screenY = 900;
  PressOn(2);
  MoveOver(3);
  EXPECT_EQ(Texts(), (Texts_{L"A", L"X", L"X", L"b", L"B"}));
  EXPECT_TRUE(view.scrolledTo.empty());
  // The comparison is exact: letter case counts.
  PressOn(4);
  MoveOver(5);
  EXPECT_EQ(Texts(), (Texts_{L"A", L"X", L"X", L"B", L"b"}));
}

TEST_F(Gesture, OnlyAnArmedGestureSwapsAndAnyButtonArmsIt) {
  Fill({L"A", L"B", L"C"});
  list.Select(1);
  gesture.ItemClick();
  MoveOver(2);  // not armed: hovering changes nothing
  EXPECT_EQ(Texts(), (Texts_{L"A", L"B", L"C"}));

  // The right button's press reaches the same procedure as the left one's.
  gesture.MouseDown();
  MoveOver(2);
  EXPECT_EQ(Texts(), (Texts_{L"B", L"A", L"C"}));
  gesture.MouseUp();
  MoveOver(3);
  EXPECT_EQ(Texts(), (Texts_{L"B", L"A", L"C"}));

  // A later press without a new item click goes on with the same dragged path.
  gesture.MouseDown();
  MoveOver(3);
  EXPECT_EQ(Texts(), (Texts_{L"B", L"C", L"A"}));
}

TEST_F(Gesture, NothingHappensWithoutADragItemOrOverEmptySpace) {
  gesture.MouseDown();
  MoveOver(1);
  gesture.DblClick();
  gesture.MouseUp();
  EXPECT_EQ(list.Count(), 0);

  Fill({L"A", L"B"});
  gesture.MouseDown();
  MoveOver(2);  // no item click yet
  EXPECT_EQ(Texts(), (Texts_{L"A", L"B"}));
  PressOn(1);
  gesture.MouseMove(3, 500);  // below the last row
  gesture.MouseMove(3, -4);   // above the first
  EXPECT_EQ(Texts(), (Texts_{L"A", L"B"}));
  // An item click without a selection leaves no item to drag.
  list.Select(std::nullopt);
  gesture.ItemClick();
  MoveOver(2);
  EXPECT_EQ(Texts(), (Texts_{L"A", L"B"}));
}

TEST_F(Gesture, ARemovedDragItemCountsAsNone) {
  Fill({L"A", L"B", L"C"});
  PressOn(2);
  gesture.MouseUp();
  gesture.DblClick();  // removes B, the dragged item
  EXPECT_EQ(Texts(), (Texts_{L"A", L"C"}));
  gesture.MouseDown();
  MoveOver(1);
  MoveOver(2);
  EXPECT_EQ(Texts(), (Texts_{L"A", L"C"}));
}

TEST_F(Gesture, AStaleHitBeyondTheListIsIgnored) {
  // A view that has not yet caught up with a removal still reports the old rows.
  class StaleView : public FakeView {
   public:
    using FakeView::FakeView;
    std::optional<int> HitTest(int, int) override { return 3; }
  } stale(list);
  ReorderGesture staleGesture(list, stale, windowPointer);
  Fill({L"A", L"B"});
  list.Select(1);
  staleGesture.MouseDown();
  staleGesture.ItemClick();
  staleGesture.MouseMove(0, 0);
  EXPECT_EQ(Texts(), (Texts_{L"A", L"B"}));
}

TEST_F(Gesture, ScrollsTheNeighbourIntoViewOnlyPastTheScreenRows) {
  Fill({L"A", L"B", L"C", L"D", L"E"});
  struct Case {
    int screenY;
    int from, to;
    std::vector<int> scrolled;
  };
  const Case cases[] = {
      {304, 2, 3, {2}},  // above: the previous item
      {305, 2, 3, {}},
      {364, 2, 3, {}},
      {365, 2, 3, {4}},  // below: the next item
      {0, 2, 1, {}},     // nothing before the first position
      {1000, 4, 5, {}},  // nothing after the last
      {1000, 3, 4, {5}},
      {-20, 3, 2, {1}},
  };
  for (const auto& c : cases) {
    view.scrolledTo.clear();
    view.screenY = c.screenY;
    PressOn(c.from);
    MoveOver(c.to);
    gesture.MouseUp();
    EXPECT_EQ(view.scrolledTo, c.scrolled) << "screen row " << c.screenY << ", " << c.from
                                           << " onto " << c.to;
  }
}

TEST_F(Gesture, MovesApplyTheWindowRuleButNeverReplaceTheHourglass) {
  Fill({L"A", L"B"});
  windowPointer.value = kPointerCustom;
  MoveOver(1);
  EXPECT_EQ(windowPointer.value, kPointerDefault);

  windowPointer.value = kPointerHourglass;
  PressOn(1);
  MoveOver(2);
  EXPECT_EQ(windowPointer.value, kPointerHourglass);
  // The gesture itself still works under the hourglass.
  EXPECT_EQ(Texts(), (Texts_{L"B", L"A"}));
}

TEST(Removal, DoubleClickRemovesTheSelectedItemOnly) {
  DocumentList list;
  FakeView view(list);
  FakePointer pointer;
  ReorderGesture gesture(list, view, pointer);
  for (const auto* text : {L"A", L"B", L"C"}) list.Append(text);
  gesture.DblClick();  // nothing selected
  EXPECT_EQ(list.Count(), 3);
  list.Select(2);
  gesture.DblClick();
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Text(1), L"A");
  EXPECT_EQ(list.Text(2), L"C");
  EXPECT_FALSE(list.Selected());
  gesture.DblClick();
  EXPECT_EQ(list.Count(), 2);
}

TEST(DocumentListModel, KeepsItemIdentityAndSelectionAcrossRemovals) {
  DocumentList list;
  int changes = 0;
  list.SetOnChanged([&] { ++changes; });
  for (const auto* text : {L"A", L"B", L"C", L"D", L"A"}) list.Append(text);
  EXPECT_EQ(changes, 5);
  const auto c = list.IdAt(3);
  list.Select(4);
  list.Remove(2);
  EXPECT_EQ(list.PositionOf(c), 2);
  EXPECT_EQ(list.Selected(), 3);  // D moved up with its selection
  list.Remove(3);
  EXPECT_FALSE(list.Selected());
  EXPECT_FALSE(list.PositionOf(list.IdAt(1) + 1000));
  list.Remove(0);
  list.Remove(9);
  EXPECT_EQ(list.Count(), 3);
  list.Select(7);
  EXPECT_FALSE(list.Selected());
  EXPECT_EQ(list.Text(3), L"A");  // duplicates are kept
}

}  // namespace
}  // namespace tavrolin
