#include "platform/qt/colour_box.h"

#include "platform/qt/accessibility.h"

#include <QColor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace quillet {

QColor ToQColor(Colour colour) {
    return QColor(static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
                  static_cast<int>((colour >> 16) & 0xFFu));
}

Colour FromQColor(const QColor& colour) {
    return RGB(colour.red(), colour.green(), colour.blue());
}

ColourBox::ColourBox(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    InstallAccessibleInterfaces();
}

void ColourBox::setColour(Colour colour) {
    if (colour != colour_) {
        colour_ = colour;
        update();
    }
}

void ColourBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(contentsRect(), ToQColor(colour_));
    painter.end();
    QFrame::paintEvent(event);
    PaintFocusFrame(*this);
}

void ColourBox::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
}

void ColourBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool wasPressed = pressed_;
    pressed_ = false;
    if (wasPressed && event->button() == Qt::LeftButton &&
        rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void ColourBox::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
        if (pressable_ && plain) {
            // A held key picks once; the colour dialog of the custom swatch would come back.
            if (!event->isAutoRepeat()) {
                click();
            }
            return;
        }
        break;
    default:
        break;
    }
    QFrame::keyPressEvent(event);
}

} // namespace quillet
