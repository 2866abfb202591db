#include "app/test_bounds.h"

#include <gtest/gtest.h>

namespace tavrolin {
namespace {

TEST(ParseTestBounds, ReadsKnownPositiveSecondsAndIgnoresTheRest) {
  const auto b = ParseTestBounds(L"dialog=5;PDF=0.5;call=20");
  EXPECT_EQ(b.dialog, 5.0);
  EXPECT_EQ(b.pdf, 0.5);
  EXPECT_EQ(b.call, 20.0);
  const auto bad = ParseTestBounds(L"dialog=;pdf=-1;call=2x;other=3;junk");
  EXPECT_FALSE(bad.dialog || bad.pdf || bad.call);
  EXPECT_FALSE(ParseTestBounds(L"").pdf);
}

}  // namespace
}  // namespace tavrolin
