#include <gtest/gtest.h>

#include <iterator>

#include "common/event_pump.h"
#include "common/home_page.h"
#include "common/message_params.h"
#include "common/paths.h"
#include "common/placement.h"
#include "common/window_pointer.h"
#include "fakes/fake_pump.h"
#include "shared/fake_pointer.h"

namespace tavrolin {
namespace {

using tavrolin::testing::FakePointer;

TEST(StripExtension, CutsAtTheLastDotOfTheFileNameOnly) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:\\Docs\\Report.final.docx", L"C:\\Docs\\Report.final"},
      {L"C:\\Docs\\Letter.DOC", L"C:\\Docs\\Letter"},
      {L"C:\\Docs\\.docx", L"C:\\Docs\\"},
      {L"C:\\Docs\\Report.", L"C:\\Docs\\Report"},
      // A dot in a folder name is never the cut: the PDF stays beside its document.
      {L"C:\\My.Folder\\Readme", L"C:\\My.Folder\\Readme"},
      {L"C:\\My.Folder\\Readme.doc", L"C:\\My.Folder\\Readme"},
      {L"Readme", L"Readme"},
      {L"", L""},
      {L"\\\\server\\share.v2\\memo", L"\\\\server\\share.v2\\memo"},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(StripExtension(path), expected) << "path: " << std::wstring(path).size();
  }
  EXPECT_EQ(OutputPathFor(L"D:\\Letters\\Offer.DOC"), L"D:\\Letters\\Offer.pdf");
  EXPECT_EQ(OutputPathFor(L"C:\\My.Folder\\Readme"), L"C:\\My.Folder\\Readme.pdf");
}

TEST(MakeLong, PacksTheWordsWithTheHighWordsSign) {
  EXPECT_EQ(MakeLong(1, 48), 0x00300001);
  EXPECT_EQ(MakeLong(0, 0), 0);
  EXPECT_EQ(MakeLong(-1, 0), 0x0000FFFF);
  EXPECT_EQ(static_cast<std::uint32_t>(MakeLong(0, -1)), 0xFFFF0000u);
  EXPECT_LT(MakeLong(0, -1), 0);
  EXPECT_EQ(MakeLong(-1, -1), -1);
  EXPECT_EQ(MakeLong(32767, 32767), 0x7FFF7FFF);
}

TEST(CollapseDoubleBackslashes, CollapsesPairsButKeepsANetworkPrefix) {
  EXPECT_EQ(CollapseDoubleBackslashes(L"C:\\\\a.doc"), L"C:\\a.doc");
  EXPECT_EQ(CollapseDoubleBackslashes(L"C:\\Docs\\\\sub\\\\a.doc"), L"C:\\Docs\\sub\\a.doc");
  // Three in a row: one pass without overlaps leaves two.
  EXPECT_EQ(CollapseDoubleBackslashes(L"C:\\\\\\a"), L"C:\\\\a");
  EXPECT_EQ(CollapseDoubleBackslashes(L"\\\\server\\share\\\\a.doc"), L"\\\\server\\share\\a.doc");
  EXPECT_EQ(CollapseDoubleBackslashes(L""), L"");
}

TEST(HasPdfExtension, AnyLetterCase) {
  EXPECT_TRUE(HasPdfExtension(L"C:\\a.pdf"));
  EXPECT_TRUE(HasPdfExtension(L"C:\\a.PdF"));
  EXPECT_FALSE(HasPdfExtension(L"C:\\a.pdfx"));
  EXPECT_FALSE(HasPdfExtension(L"pdf"));
}

TEST(WaitSeconds, ZeroOrLessReturnsWithoutProcessingEvents) {
  testing::FakePump pump;
  WaitSeconds(pump, 0);
  WaitSeconds(pump, -3);
  EXPECT_EQ(pump.doEventsCalls, 0);
  EXPECT_EQ(pump.now, 0);
}

TEST(WaitSeconds, WaitsAtLeastTheTimeAndBlocksBetweenPolls) {
  testing::FakePump pump;
  pump.now = 86399.9;  // across midnight on a wall clock; the monotonic clock just goes on
  WaitSeconds(pump, 0.4);
  EXPECT_GE(pump.now - 86399.9, 0.4 - 1e-9);
  EXPECT_LT(pump.now - 86399.9, 0.4 + kPollSeconds);
  EXPECT_GT(pump.doEventsCalls, 0);
  // Every poll blocks for an event instead of spinning: about one poll per 10 ms.
  EXPECT_LE(pump.doEventsCalls, 41);
}

TEST(WaitSeconds, NestedWaitsEachEndByTheirOwnStart) {
  testing::FakePump pump;
  double innerEnded = -1;
  pump.At(0.2, [&] {
    WaitSeconds(pump, 1.0);
    innerEnded = pump.now;
  });
  WaitSeconds(pump, 0.5);
  EXPECT_GE(innerEnded, 1.2 - 1e-9);
  EXPECT_GE(pump.now, innerEnded);
}

TEST(WaitUntil, StopsOnTheConditionOrTheBound) {
  testing::FakePump pump;
  bool ready = false;
  pump.At(0.3, [&] { ready = true; });
  EXPECT_TRUE(WaitUntil(pump, [&] { return ready; }, 5));
  EXPECT_LT(pump.now, 0.35);

  testing::FakePump never;
  EXPECT_FALSE(WaitUntil(never, [] { return false; }, 2));
  EXPECT_GE(never.now, 2 - 1e-9);
  EXPECT_LT(never.now, 2.02);

  testing::FakePump already;
  EXPECT_TRUE(WaitUntil(already, [] { return true; }, 2));
  EXPECT_EQ(already.doEventsCalls, 0);
}

TEST(CenteredPosition, CentresAndNeverClamps) {
  EXPECT_EQ(CenteredPosition(1280, 1024, 480, 300).x, 400);
  EXPECT_EQ(CenteredPosition(1280, 1024, 480, 300).y, 362);
  EXPECT_EQ(CenteredPosition(1280, 1024, 1280, 1024).x, 0);
  EXPECT_EQ(CenteredPosition(1280, 1024, 1280, 1024).y, 0);
  EXPECT_EQ(CenteredPosition(800, 600, 1000, 700).x, -100);
  EXPECT_EQ(CenteredPosition(800, 600, 1000, 700).y, -50);
}

TEST(TwipsToPixels, FifteenTwipsAPixelAt96Dpi) {
  EXPECT_EQ(TwipsToPixels(6975, 96), 465);
  EXPECT_EQ(TwipsToPixels(-720, 96), -48);
  EXPECT_EQ(TwipsToPixels(5700, 96), 380);
  EXPECT_EQ(TwipsToPixels(5700, 144), 570);
}

TEST(HomePage, OnlyTheSeventhHundredthOpensIt) {
  EXPECT_TRUE(ShouldVisitHomePage([] { return 0.06; }));
  EXPECT_TRUE(ShouldVisitHomePage([] { return 0.0699999; }));
  EXPECT_FALSE(ShouldVisitHomePage([] { return 0.07; }));
  EXPECT_FALSE(ShouldVisitHomePage([] { return 0.0599999; }));
  EXPECT_FALSE(ShouldVisitHomePage([] { return 0.0; }));
  EXPECT_FALSE(ShouldVisitHomePage([] { return 0.9999999; }));
}

TEST(PointerRules, HoverNeverReplacesTheHourglass) {
  EXPECT_EQ(ButtonHoverPointer(kPointerDefault), kPointerCustom);
  EXPECT_EQ(ButtonHoverPointer(kPointerHourglass), kPointerHourglass);
  EXPECT_EQ(WindowHoverPointer(kPointerCustom), kPointerDefault);
  EXPECT_EQ(WindowHoverPointer(kPointerHourglass), kPointerHourglass);
}

TEST(PointerRules, WhatShowsOverWhat) {
  using S = PointerShape;
  using H = PointerHit;
  constexpr int kDefault = kPointerDefault, kBusy = kPointerHourglass, kHand = kPointerCustom;
  const struct {
    PointerQuery query;
    S expected;
  } rows[] = {
      // Busy: everywhere, the frame and the list's parts included, but not over a refusal.
      {{kBusy, kHand, true, true, true, H::Client}, S::Hourglass},
      {{kBusy, kDefault, true, false, false, H::Frame}, S::Hourglass},
      {{kBusy, kDefault, true, false, true, H::Frame, true}, S::Hourglass},
      {{kBusy, kDefault, true, false, false, H::Refused}, S::Own},
      // The window's picture over the client area only; the arrow until it is loaded.
      {{kHand, kDefault, true, false, false, H::Client}, S::WindowPicture},
      {{kHand, kDefault, false, false, false, H::Client}, S::Arrow},
      {{kHand, kDefault, true, false, false, H::Frame}, S::Own},
      {{kHand, kHand, true, true, true, H::Client, true}, S::WindowPicture},
      // Another setting of the window's shows the arrow.
      {{kPointerArrow, kHand, true, true, true, H::Client}, S::Arrow},
      // At 0 the list shows its own setting, and nothing else is overridden.
      {{kDefault, kHand, true, true, true, H::Client}, S::ListPicture},
      {{kDefault, kHand, true, false, true, H::Client}, S::Own},
      {{kDefault, kPointerArrow, true, false, true, H::Client}, S::Arrow},
      {{kDefault, kDefault, true, true, true, H::Client}, S::Own},
      {{kDefault, kHand, true, true, false, H::Client}, S::Own},
      {{kDefault, kHand, true, true, true, H::Client, true}, S::Own},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(ShownPointer(rows[i].query), rows[i].expected) << "row " << i;
  }
}

TEST(BusyMark, TheHourglassStaysUntilTheOutermostOperationEnds) {
  FakePointer pointer;
  BusyMark busy(pointer);
  {
    BusyScope outer(busy);
    EXPECT_EQ(pointer.value, kPointerHourglass);
    {
      BusyScope inner(busy);
    }
    EXPECT_EQ(pointer.value, kPointerHourglass);
    pointer.value = kPointerCustom;
    outer.Refresh();
    EXPECT_EQ(pointer.value, kPointerHourglass);
  }
  EXPECT_EQ(pointer.value, kPointerDefault);
  EXPECT_EQ(busy.depth(), 0);
}

}  // namespace
}  // namespace tavrolin
