#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavrolin {

// The queue of documents to export: full paths in display (and export) order, positions from 1,
// duplicates allowed. The list view shows it; nothing else stores it.
class DocumentList {
 public:
  // A stable reference to one item; it stays valid while the item is in the list.
  using ItemId = std::uint64_t;

  int Count() const { return static_cast<int>(items_.size()); }
  // 1 <= position <= Count().
  const std::wstring& Text(int position) const { return items_[Index(position)].text; }
  void SetText(int position, std::wstring text);
  ItemId IdAt(int position) const { return items_[Index(position)].id; }
  // The position of an item, or none when it was removed.
  std::optional<int> PositionOf(ItemId id) const;

  void Append(std::wstring path);
  // Removes the item at `position`; positions outside the list are ignored.
  void Remove(int position);

  std::optional<int> Selected() const { return selected_; }
  // Selects one item or none; a position outside the list selects none.
  void Select(std::optional<int> position);

  // Called after every change, so that a view can follow.
  void SetOnChanged(std::function<void()> onChanged) { onChanged_ = std::move(onChanged); }

 private:
  struct Item {
    ItemId id;
    std::wstring text;
  };
  std::size_t Index(int position) const { return static_cast<std::size_t>(position - 1); }
  void Changed() {
    if (onChanged_) onChanged_();
  }

  std::vector<Item> items_;
  std::optional<int> selected_;
  ItemId nextId_ = 1;
  std::function<void()> onChanged_;
};

}  // namespace tavrolin
