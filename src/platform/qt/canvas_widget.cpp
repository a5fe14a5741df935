#include "platform/qt/canvas_widget.h"

#include "platform/surface.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace quillet {

CanvasWidget::CanvasWidget(QWidget* parent) : QFrame(parent) {
    // WinPanel is always two pixels wide, whatever the style.
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CanvasWidget::setSurface(const Surface* surface) {
    surface_ = surface;
    update();
}

int CanvasWidget::buttonCode(Qt::MouseButtons buttons) {
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}

int CanvasWidget::shiftCode(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

void CanvasWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect inner = contentsRect();
    if (surface_ == nullptr) {
        painter.fillRect(inner, Qt::white);
    } else {
        // 0x00BBGGRR in memory is not a QImage format on every byte order, so convert per
        // pixel into the screen's native 0xffRRGGBB.
        const int w = surface_->ScaleWidth();
        const int h = surface_->ScaleHeight();
        QImage image(w, h, QImage::Format_RGB32);
        const std::vector<Colour>& pixels = surface_->Pixels();
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            const Colour* source = pixels.data() + static_cast<std::size_t>(y) * w;
            for (int x = 0; x < w; ++x) {
                const Colour c = source[x];
                line[x] = 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
            }
        }
        // One canvas pixel to one logical pixel; scaled up crisply on high-density screens.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(QRect(inner.topLeft(), image.size()), image);
    }
    painter.end();
    QFrame::paintEvent(event);
}

QPointF CanvasWidget::canvasPosition(const QMouseEvent& event) const {
    // The canvas pixel under the pointer, also on screens where a pixel has finer positions.
    const QPointF p = event.position() - QPointF(contentsRect().topLeft());
    return {std::floor(p.x()), std::floor(p.y())};
}

bool CanvasWidget::onCanvas(const QPointF& p) const {
    const QSize size = innerSize();
    return p.x() >= 0 && p.y() >= 0 && p.x() < size.width() && p.y() < size.height();
}

void CanvasWidget::mousePressEvent(QMouseEvent* event) {
    const QPointF p = canvasPosition(*event);
    if (!onCanvas(p)) {
        return; // the border is not part of the canvas
    }
    pressed_ |= event->button();
    emit mouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                   static_cast<float>(p.x()), static_cast<float>(p.y()));
}

void CanvasWidget::mouseMoveEvent(QMouseEvent* event) {
    // While a button is held the canvas keeps the mouse, so moves beyond it are reported too.
    const QPointF p = canvasPosition(*event);
    if (!pressed_ && !onCanvas(p)) {
        return;
    }
    emit mouseMove(buttonCode(event->buttons()), shiftCode(event->modifiers()),
                   static_cast<float>(p.x()), static_cast<float>(p.y()));
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (!(pressed_ & event->button())) {
        return;
    }
    pressed_ &= ~event->button();
    const QPointF p = canvasPosition(*event);
    emit mouseUp(buttonCode(event->button()), shiftCode(event->modifiers()),
                 static_cast<float>(p.x()), static_cast<float>(p.y()));
    if (event->button() == Qt::LeftButton && onCanvas(p)) {
        emit click();
    }
}

} // namespace quillet
