#include "platform/qt/help_dialog.h"

#include "app/controls.h"
#include "platform/qt/fixed_layout.h"

#include <QLabel>
#include <QPushButton>

namespace quillet {

frmHelp::frmHelp(QWidget* parent, SizeHold hold)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(ToQString(FRM_HELP_CAPTION));
    setWindowIcon(AppIcon());
    HoldWindowSize(*this, QSize(TwipsToPixels(FRM_HELP_WIDTH), TwipsToPixels(FRM_HELP_HEIGHT)),
                   hold);

    for (const ControlLayout& layout : HELP_CONTROLS) {
        QWidget* control = nullptr;
        if (layout.Kind == ControlKind::Button) {
            auto* button = new QPushButton(ToQString(layout.Caption), this);
            button->setDefault(true);
            connect(button, &QPushButton::clicked, this, &QDialog::accept);
            control = button;
        } else {
            auto* label = new QLabel(ToQString(layout.Caption), this);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            control = label;
        }
        control->setObjectName(ToQString(layout.Name));
        control->setGeometry(PixelGeometry(layout));
        if (control->focusPolicy() != Qt::NoFocus) {
            control->setFocus();
        }
    }
    FitFontToControls(this);
}

} // namespace quillet
