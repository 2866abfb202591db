#include "doclist/document_list.h"

#include <algorithm>

namespace tavrolin {

void DocumentList::SetText(int position, std::wstring text) {
  items_[Index(position)].text = std::move(text);
  Changed();
}

std::optional<int> DocumentList::PositionOf(ItemId id) const {
  // Items are only appended (with growing ids) or removed, never moved: the gesture swaps texts.
  // So ids ascend along the list and a binary search finds one even in a very long list.
  const auto it = std::lower_bound(items_.begin(), items_.end(), id,
                                   [](const Item& item, ItemId wanted) { return item.id < wanted; });
  if (it == items_.end() || it->id != id) return std::nullopt;
  return static_cast<int>(it - items_.begin()) + 1;
}

void DocumentList::Append(std::wstring path) {
  items_.push_back({nextId_++, std::move(path)});
  Changed();
}

void DocumentList::Remove(int position) {
  if (position < 1 || position > Count()) return;
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(Index(position)));
  if (selected_) {
    if (*selected_ == position) {
      selected_.reset();
    } else if (*selected_ > position) {
      --*selected_;
    }
  }
  Changed();
}

void DocumentList::Select(std::optional<int> position) {
  if (position && (*position < 1 || *position > Count())) position.reset();
  selected_ = position;
  Changed();
}

}  // namespace tavrolin
