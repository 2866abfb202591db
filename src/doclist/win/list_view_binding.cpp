#include "doclist/win/list_view_binding.h"

#include <algorithm>

#include "common/win/window.h"

namespace tavrolin::win {
namespace {

// Posted to the list itself; the list view does not use the application range.
constexpr UINT kRefreshMessage = WM_APP + 0x4A1;

}  // namespace

ListViewBinding::ListViewBinding(HWND list, DocumentList& documents)
    : documents_(documents),
      subclass_(list, [this](UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
        return OnListMessage(message, lParam, result);
      }) {
  documents_.SetOnChanged([this] { OnModelChanged(); });
  Refresh();
}

ListViewBinding::~ListViewBinding() {
  documents_.SetOnChanged({});
}

void ListViewBinding::OnModelChanged() {
  // One posted refresh per burst: appending many paths costs one repaint, not one per path.
  if (pending_ || !hwnd()) return;
  if (PostMessageW(hwnd(), kRefreshMessage, 0, 0)) pending_ = true;
}

void ListViewBinding::Refresh() {
  pending_ = false;
  if (!hwnd()) return;
  const int count = documents_.Count();
  if (count != shownCount_) {
    // The model decides the selection here: what the control says about rows that moved or
    // went is stale.
    syncing_ = true;
    SendMessageW(hwnd(), LVM_SETITEMCOUNT, static_cast<WPARAM>(count),
                 LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    syncing_ = false;
    shownCount_ = count;
  }
  SyncSelection();
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void ListViewBinding::SyncSelection() {
  const int want = documents_.Selected() ? *documents_.Selected() - 1 : -1;
  const int shown = static_cast<int>(SendMessageW(hwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                  LVNI_SELECTED));
  if (want == shown) return;
  syncing_ = true;
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = 0;
  SendMessageW(hwnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  if (want >= 0) {
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(hwnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(want),
                 reinterpret_cast<LPARAM>(&item));
  }
  syncing_ = false;
}

void ListViewBinding::TakeSelectionFromControl() {
  if (syncing_) return;
  const int shown = static_cast<int>(SendMessageW(hwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                  LVNI_SELECTED));
  const std::optional<int> position =
      shown >= 0 && shown < documents_.Count() ? std::optional<int>(shown + 1) : std::nullopt;
  if (position != documents_.Selected()) documents_.Select(position);
}

bool ListViewBinding::OnNotify(const NMHDR* header, LRESULT& result) {
  if (!header || header->hwndFrom != hwnd()) return false;
  switch (header->code) {
    case LVN_GETDISPINFOW: {
      auto& item = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header))->item;
      if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        item.pszText[0] = L'\0';
        if (item.iSubItem == 0 && item.iItem >= 0 && item.iItem < documents_.Count()) {
          const std::wstring& text = documents_.Text(item.iItem + 1);
          const std::size_t n = std::min<std::size_t>(text.size(), item.cchTextMax - 1);
          std::copy_n(text.data(), n, item.pszText);
          item.pszText[n] = L'\0';
        }
      }
      result = 0;
      return true;
    }
    case LVN_ITEMCHANGED: {
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
      if ((change->uChanged & LVIF_STATE) &&
          ((change->uNewState ^ change->uOldState) & LVIS_SELECTED)) {
        TakeSelectionFromControl();
      }
      result = 0;
      return true;
    }
    case LVN_ODSTATECHANGED:
      TakeSelectionFromControl();
      result = 0;
      return true;
    case LVN_ODFINDITEMW:
      result = -1;
      return true;
    default:
      return false;
  }
}

std::optional<int> ListViewBinding::HitTest(int x, int y) const {
  LVHITTESTINFO hit{};
  hit.pt = {x, y};
  const int index = static_cast<int>(
      SendMessageW(hwnd(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (index < 0 || !(hit.flags & LVHT_ONITEM)) return std::nullopt;
  return index + 1;
}

void ListViewBinding::EnsureVisible(int position) {
  SendMessageW(hwnd(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(position - 1), FALSE);
}

bool ListViewBinding::OnListMessage(UINT message, LPARAM lParam, LRESULT& result) {
  if (message == kRefreshMessage) {
    Refresh();
    return true;
  }
  return message == kReflectedNotify && OnNotify(reinterpret_cast<const NMHDR*>(lParam), result);
}

}  // namespace tavrolin::win
