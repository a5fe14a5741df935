#include "platform/qt/canvas_widget.h"

#include "app/controls.h"
#include "platform/qt/accessibility.h"
#include "platform/qt/fixed_layout.h"
#include "platform/surface.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quillet {

CanvasWidget::CanvasWidget(QWidget* parent) : QFrame(parent) {
    // WinPanel is always two pixels wide, whatever the style.
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    InstallAccessibleInterfaces();
    setAccessibleName(ToQString(CANVAS_ACCESSIBLE_NAME));
    setAccessibleDescription(ToQString(CANVAS_ACCESSIBLE_DESCRIPTION));
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

namespace {

// Rows converted and drawn at a time: a strip stays in the cache between the two passes.
constexpr int STRIP_ROWS = 8;

#if defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones)
// The loop vectorises; AVX2 doubles its width where the processor has it.
#define QUILLET_WIDE_LOOP __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef QUILLET_WIDE_LOOP
#define QUILLET_WIDE_LOOP
#endif

// 0x00BBGGRR colours as the screen's 0xffRRGGBB; on whole words, so on any byte order.
QUILLET_WIDE_LOOP void ToScreenColours(const Colour* source, QRgb* target, int count) {
    for (int i = 0; i < count; ++i) {
        const Colour c = source[i];
        target[i] = 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
    }
}

} // namespace

void CanvasWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect inner = contentsRect();
    if (surface_ == nullptr) {
        painter.fillRect(inner, Qt::white);
    } else {
        // One canvas pixel to one logical pixel; scaled up crisply on high-density screens.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        if (painter.deviceTransform().type() <= QTransform::TxTranslate) {
            paintExposed(painter, event->rect());
        } else {
            paintWhole(painter);
        }
    }
    painter.end();
    QFrame::paintEvent(event);
    PaintFocusFrame(*this);
}

void CanvasWidget::paintExposed(QPainter& painter, const QRect& exposed) {
    // The screen's image holds 0xffRRGGBB, so the pixels are converted either way (handed the
    // buffer as RGBX8888, Qt converts it itself, slower: bench/startup/canvas_bench); here only
    // where exposed, a strip at a time into one small reused image, each strip drawn while it
    // is still in the cache.
    const int w = surface_->ScaleWidth();
    const int h = surface_->ScaleHeight();
    const QPoint origin = contentsRect().topLeft();
    const QRect area = exposed & QRect(origin, QSize(w, h));
    if (area.isEmpty()) {
        return;
    }
    if (strip_.width() < area.width()) {
        strip_ = QImage(w, STRIP_ROWS, QImage::Format_RGB32);
    }
    const Colour* pixels = surface_->Pixels().data();
    for (int top = area.top(); top <= area.bottom(); top += STRIP_ROWS) {
        const int rows = std::min(STRIP_ROWS, area.bottom() + 1 - top);
        for (int row = 0; row < rows; ++row) {
            const std::size_t y = static_cast<std::size_t>(top + row - origin.y());
            ToScreenColours(pixels + y * static_cast<std::size_t>(w) + (area.left() - origin.x()),
                            reinterpret_cast<QRgb*>(strip_.scanLine(row)), area.width());
        }
        painter.drawImage(QPoint(area.left(), top), strip_, QRect(0, 0, area.width(), rows));
    }
}

void CanvasWidget::paintWhole(QPainter& painter) {
    // Scaled, the canvas is drawn in one piece, so that every screen pixel samples the same
    // canvas pixel as it always has.
    const int w = surface_->ScaleWidth();
    const int h = surface_->ScaleHeight();
    if (whole_.size() != QSize(w, h)) {
        whole_ = QImage(w, h, QImage::Format_RGB32);
    }
    const Colour* pixels = surface_->Pixels().data();
    for (int y = 0; y < h; ++y) {
        ToScreenColours(pixels + static_cast<std::size_t>(y) * w,
                        reinterpret_cast<QRgb*>(whole_.scanLine(y)), w);
    }
    painter.drawImage(QRect(contentsRect().topLeft(), whole_.size()), whole_);
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
