// The export run's part of the window: "Export to PDF".
#include "app/form1.h"

namespace tavrolin {

class ExportFeature {
 public:
  explicit ExportFeature(Form1& form) : form_(form) {}

 private:
  Form1& form_;
};

FeaturePtr<ExportFeature> MakeExportFeature(Form1& form) {
  return FeaturePtr<ExportFeature>(new ExportFeature(form));
}
void FeatureDeleter::operator()(ExportFeature* feature) const { delete feature; }

void Form1::Check2_Click() {
  if (!TakePress(Check2)) return;
}

}  // namespace tavrolin
