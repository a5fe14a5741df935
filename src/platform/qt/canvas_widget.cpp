#include "platform/qt/canvas_widget.h"

#include "app/controls.h"
#include "platform/qt/accessibility.h"
#include "platform/qt/fixed_layout.h"
#include "platform/surface.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstring>

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

// A position that came in whole device pixels, divided by the scale and multiplied back, may
// fall a rounding error short of its pixel.
constexpr double DEVICE_SLACK = 1e-6;

// Where the canvas starts in device pixels when its logical corner falls between two: half up,
// as the raster engine rounds the edges of what it fills, so that the frame meets the canvas.
int DeviceOrigin(double device) {
    return static_cast<int>(std::floor(device + 0.5 + DEVICE_SLACK));
}

// The canvas pixel that device pixel `d`, counted from the canvas's device origin, shows: the
// one whose logical area holds the device pixel's centre. The mouse and the paint both use it,
// so the pixel reported under the pointer is the one shown there.
int CanvasPixel(int d, double scale) {
    return static_cast<int>(std::floor((d + 0.5) / scale));
}

// Qt gives a widget the pointer in whole logical pixels, rounded; the window's position keeps
// the fraction, which on a scaled screen can be most of a pixel.
double Unrounded(double local, double scene) {
    return local == std::floor(local) ? local + (scene - qRound(scene)) : local;
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
        const QTransform device = painter.deviceTransform();
        if (device.type() <= QTransform::TxTranslate) {
            paintExposed(painter, event->rect());
        } else if (device.type() == QTransform::TxScale && device.m11() > 0 && device.m22() > 0) {
            paintScaled(painter);
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

void CanvasWidget::convertWhole() {
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
}

void CanvasWidget::paintWhole(QPainter& painter) {
    convertWhole();
    painter.drawImage(QRect(contentsRect().topLeft(), whole_.size()), whole_);
}

void CanvasWidget::paintScaled(QPainter& painter) {
    // Qt's own scaling picks the canvas pixel of a device pixel by a rule of its own, which
    // at fractional scales is not the mouse's; the device pixels are filled here by the
    // mouse's rule and drawn one to one.
    convertWhole();
    const QTransform device = painter.deviceTransform();
    const QPointF corner = device.map(QPointF(contentsRect().topLeft()));
    const QPoint origin(DeviceOrigin(corner.x()), DeviceOrigin(corner.y()));
    const auto pixelsOf = [](std::vector<int>& of, int length, double scale) {
        of.clear();
        for (int d = 0; CanvasPixel(d, scale) < length; ++d) {
            of.push_back(CanvasPixel(d, scale));
        }
    };
    pixelsOf(columnOf_, whole_.width(), device.m11());
    pixelsOf(rowOf_, whole_.height(), device.m22());
    const QSize size(static_cast<int>(columnOf_.size()), static_cast<int>(rowOf_.size()));
    if (scaled_.size() != size) {
        scaled_ = QImage(size, QImage::Format_RGB32);
    }
    for (int dy = 0; dy < size.height(); ++dy) {
        auto* target = reinterpret_cast<QRgb*>(scaled_.scanLine(dy));
        if (dy > 0 && rowOf_[dy] == rowOf_[dy - 1]) {
            std::memcpy(target, scaled_.constScanLine(dy - 1),
                        static_cast<std::size_t>(size.width()) * sizeof(QRgb));
            continue;
        }
        const auto* source = reinterpret_cast<const QRgb*>(whole_.constScanLine(rowOf_[dy]));
        for (int dx = 0; dx < size.width(); ++dx) {
            target[dx] = source[columnOf_[dx]];
        }
    }
    painter.save();
    painter.setWorldTransform(QTransform::fromTranslate(origin.x(), origin.y()) *
                              device.inverted() * painter.worldTransform());
    painter.drawImage(QPoint(0, 0), scaled_);
    painter.restore();
}

QPointF CanvasWidget::canvasPosition(const QMouseEvent& event) const {
    // The canvas pixel shown under the pointer: the device pixel under it, mapped as painted.
    // Both are taken in the window, whose device pixels the canvas is painted on. The window
    // system's positions are divided by the window's exact scale, the paint is scaled by the
    // widget's, which Qt keeps to 1/65536 (1.1 becomes 1.0999908).
    const QWindow* handle = window()->windowHandle();
    const double painted = devicePixelRatioF();
    const double pointed = handle != nullptr ? handle->devicePixelRatio() : painted;
    const QPointF at =
        mapTo(window(), QPointF(Unrounded(event.position().x(), event.scenePosition().x()),
                                Unrounded(event.position().y(), event.scenePosition().y())));
    const QPointF corner = QPointF(mapTo(window(), contentsRect().topLeft())) * painted;
    const auto pixel = [painted, pointed](double pointer, double canvas) {
        const int d = static_cast<int>(std::floor(pointer * pointed + DEVICE_SLACK));
        return static_cast<double>(CanvasPixel(d - DeviceOrigin(canvas), painted));
    };
    return {pixel(at.x(), corner.x()), pixel(at.y(), corner.y())};
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
