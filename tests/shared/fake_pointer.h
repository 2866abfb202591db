#pragma once
#include <vector>

#include "common/window_pointer.h"

namespace tavrolin::testing {

// The window-wide pointer setting, with every value it was given in order.
class FakePointer final : public WindowPointer {
 public:
  int MousePointer() const override { return value; }
  void SetMousePointer(int v) override {
    value = v;
    history.push_back(v);
  }
  int value = kPointerDefault;
  std::vector<int> history;
};

}  // namespace tavrolin::testing
