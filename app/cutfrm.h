#pragma once
// The split-progress window.

#include "app/progress_form.h"

namespace mv {

class TForm4 : public ProgressForm {
  Q_OBJECT
 public:
  TForm4() : ProgressForm(QStringLiteral("分割中..."), QStringLiteral("TForm4")) {}
};

}  // namespace mv
