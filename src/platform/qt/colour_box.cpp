#include "platform/qt/colour_box.h"

#include <QColor>
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

} // namespace quillet
