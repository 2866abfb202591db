#include "doclist/document_list.h"

#include <algorithm>

namespace tavrolin {

void DocumentList::SetText(int position, std::wstring text) {
  items_[Index(position)].text = std::move(text);
  Changed();
}

std::optional<int> DocumentList::PositionOf(ItemId id) const {
  const auto it = std::find_if(items_.begin(), items_.end(),
                               [id](const Item& item) { return item.id == id; });
  if (it == items_.end()) return std::nullopt;
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
