#include "common/box_time.h"

namespace tavrolin {

void BoxTime::Opened(double now) {
  std::lock_guard lock(mutex_);
  if (depth_++ == 0) openedAt_ = now;
}

void BoxTime::Closed(double now) {
  std::lock_guard lock(mutex_);
  if (depth_ == 0) return;
  if (--depth_ == 0 && now > openedAt_) held_ += now - openedAt_;
}

double BoxTime::Held(double now) const {
  std::lock_guard lock(mutex_);
  return held_ + (depth_ > 0 && now > openedAt_ ? now - openedAt_ : 0);
}

BoxTime& OwnBoxTime() {
  static BoxTime account;
  return account;
}

}  // namespace tavrolin
