#pragma once
// The join-progress window.

#include "app/progress_form.h"

namespace mv {

class TForm3 : public ProgressForm {
  Q_OBJECT
 public:
  TForm3() : ProgressForm(QStringLiteral("結合中..."), QStringLiteral("TForm3")) {}
};

}  // namespace mv
