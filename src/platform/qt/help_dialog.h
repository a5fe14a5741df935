#pragma once
// The manual window: three wrapped paragraphs and an Ok button. A fresh one is made each time
// it is shown.

#include <QDialog>

namespace quillet {

class frmHelp : public QDialog {
    Q_OBJECT

  public:
    explicit frmHelp(QWidget* parent = nullptr);
};

} // namespace quillet
