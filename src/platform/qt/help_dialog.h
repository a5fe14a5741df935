#pragma once
// The manual window: three wrapped paragraphs and an Ok button. A fresh one is made each time
// it is shown.

#include "platform/qt/fixed_layout.h"

#include <QDialog>

namespace quillet {

class frmHelp : public QDialog {
    Q_OBJECT

  public:
    explicit frmHelp(QWidget* parent = nullptr, SizeHold hold = CurrentSizeHold());
};

} // namespace quillet
