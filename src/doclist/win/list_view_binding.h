#pragma once
// Shows a DocumentList in an owner-data (virtual) list view: the model is the one store, the
// control asks it for the texts of the rows it paints.
#include <windows.h>
#include <commctrl.h>

#include <optional>

#include "common/win/window.h"
#include "doclist/document_list.h"

namespace tavrolin::win {

class ListViewBinding {
 public:
  // `list` must have LVS_OWNERDATA. The binding takes the model's change callback.
  ListViewBinding(HWND list, DocumentList& documents);
  ~ListViewBinding();
  ListViewBinding(const ListViewBinding&) = delete;
  ListViewBinding& operator=(const ListViewBinding&) = delete;

  // The list's WM_NOTIFY; true when handled, with the result to return. The binding answers
  // it by itself when the parent reflects it to the list (win::ReflectToControl).
  bool OnNotify(const NMHDR* header, LRESULT& result);
  // Brings the control up to date now (count, selection, painted texts). Changes of the model
  // are otherwise gathered and shown once per burst.
  void Refresh();
  bool RefreshPending() const { return pending_; }

  // The position of the row at (x, y) in the list's client coordinates, or none.
  std::optional<int> HitTest(int x, int y) const;
  void EnsureVisible(int position);

  HWND hwnd() const { return subclass_.hwnd(); }

 private:
  // The refresh it posted to itself, and the list's reflected notifications.
  bool OnListMessage(UINT message, LPARAM lParam, LRESULT& result);
  void OnModelChanged();
  void SyncSelection();
  void TakeSelectionFromControl();

  DocumentList& documents_;
  bool pending_ = false;
  bool syncing_ = false;
  int shownCount_ = 0;
  Subclass subclass_;  // last: removed before the rest goes
};

}  // namespace tavrolin::win
