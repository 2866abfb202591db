// Adding a folder's part of the window: " Add All Word Files In Folder".
#include "app/form1.h"

namespace tavrolin {

class AddFolderFeature {
 public:
  explicit AddFolderFeature(Form1& form) : form_(form) {}

 private:
  Form1& form_;
};

FeaturePtr<AddFolderFeature> MakeAddFolderFeature(Form1& form) {
  return FeaturePtr<AddFolderFeature>(new AddFolderFeature(form));
}
void FeatureDeleter::operator()(AddFolderFeature* feature) const { delete feature; }

void Form1::Check4_Click() {
  if (!TakePress(Check4)) return;
}

}  // namespace tavrolin
