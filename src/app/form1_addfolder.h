#pragma once
#include "app/form1.h"

namespace tavrolin {

// Adding a folder holds no state between presses.
class AddFolderFeature {
 public:
  explicit AddFolderFeature(Form1& form) : form_(form) {}

  // Everything of one press lives in this call, so that a press during another scan's pumped
  // events runs a scan of its own and leaves the outer one intact.
  void Run();

 private:
  Form1& form_;
};

}  // namespace tavrolin
