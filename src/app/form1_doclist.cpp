// The document list's part of the window: ListView1's events and "Add Word File(s)".
#include <windows.h>
#include <commctrl.h>

#include "app/form1.h"

namespace tavrolin {

class DocListFeature {
 public:
  explicit DocListFeature(Form1& form) : form_(form) {}
  DocumentList documents;

 private:
  Form1& form_;
};

FeaturePtr<DocListFeature> MakeDocListFeature(Form1& form) {
  return FeaturePtr<DocListFeature>(new DocListFeature(form));
}
void FeatureDeleter::operator()(DocListFeature* feature) const { delete feature; }

DocumentList& Form1::Documents() { return docList_->documents; }

void Form1::Check1_Click() {
  if (!TakePress(Check1)) return;
}

bool Form1::OnListViewMessage(UINT message, WPARAM, LPARAM, LRESULT&) {
  if (message == WM_MOUSEMOVE) SetMousePointer(WindowHoverPointer(mousePointer_));
  return false;
}

LRESULT Form1::OnListViewNotify(NMHDR*) { return 0; }

}  // namespace tavrolin
