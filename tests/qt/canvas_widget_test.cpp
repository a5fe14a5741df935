#include "recording_platform.h"

#include "platform/surface.h"

#include <QPainter>
#include <QSignalSpy>
#include <QWindow>

#include <cmath>
#include <optional>
#include <set>
#include <utility>

using namespace quillet;

class CanvasWidgetTest : public QObject {
    Q_OBJECT

  private slots:
    void showsTheSurfaceInScreenColours() {
        Surface surface(20, 10);
        surface.SetPixel(0, 0, RGB(255, 0, 0));
        surface.SetPixel(19, 9, RGB(0, 0, 255));
        surface.SetPixel(5, 3, RGB(1, 2, 3));
        CanvasWidget canvas;
        canvas.resize(24, 14);
        canvas.setSurface(&surface);
        QCOMPARE(canvas.innerSize(), QSize(20, 10));

        const QImage shown = canvas.grab().toImage();
        QCOMPARE(shown.pixelColor(2, 2), QColor(255, 0, 0));
        QCOMPARE(shown.pixelColor(21, 11), QColor(0, 0, 255));
        QCOMPARE(shown.pixelColor(7, 5), QColor(1, 2, 3));
        QCOMPARE(shown.pixelColor(3, 2), QColor(255, 255, 255));
    }

    void showsEveryPixelWhereverItIsExposed() {
        // Taller than the rows the canvas converts at a time, in colours that tell every pixel
        // apart, so a pixel shown from the wrong place, or not at all, stands out.
        constexpr int W = 37;
        constexpr int H = 29;
        const auto colourAt = [](int x, int y) { return QColor(x * 7, y * 9, x + y); };
        Surface surface(W, H);
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                surface.SetPixel(x, y, RGB(x * 7, y * 9, x + y));
            }
        }
        CanvasWidget canvas;
        canvas.resize(W + 4, H + 4);
        canvas.setSurface(&surface);

        const QImage whole = canvas.grab().toImage();
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                QCOMPARE(whole.pixelColor(x + 2, y + 2), colourAt(x, y));
            }
        }

        // A part repainted on its own: that part shows the canvas there, nothing else changes.
        const QRect exposed(9, 6, 13, 19);
        QImage part(W + 4, H + 4, QImage::Format_ARGB32_Premultiplied);
        part.fill(Qt::black);
        canvas.render(&part, exposed.topLeft(), QRegion(exposed), QWidget::RenderFlags());
        for (int y = 0; y < part.height(); ++y) {
            for (int x = 0; x < part.width(); ++x) {
                QCOMPARE(part.pixelColor(x, y),
                         exposed.contains(x, y) ? colourAt(x - 2, y - 2) : QColor(Qt::black));
            }
        }

        // Scaled up, as on a high-density screen, every canvas pixel covers its square (but
        // along the edge, where the scaled frame's lines reach over the canvas).
        QImage doubled(2 * (W + 4), 2 * (H + 4), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&doubled);
        painter.scale(2, 2);
        canvas.render(&painter, QPoint(), QRegion(), QWidget::RenderFlags());
        painter.end();
        for (int y = 2; y < 2 * H - 2; ++y) {
            for (int x = 2; x < 2 * W - 2; ++x) {
                QCOMPARE(doubled.pixelColor(x + 4, y + 4), colourAt(x / 2, y / 2));
            }
        }
    }

    void reportsTheMouseInCanvasPixels() {
        CanvasWidget canvas;
        canvas.resize(104, 104);
        canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        QSignalSpy downs(&canvas, &CanvasWidget::mouseDown);
        QSignalSpy moves(&canvas, &CanvasWidget::mouseMove);
        QSignalSpy ups(&canvas, &CanvasWidget::mouseUp);
        QSignalSpy clicks(&canvas, &CanvasWidget::click);
        const auto args = [](QSignalSpy& spy) {
            const QList<QVariant> a = spy.takeFirst();
            return QList<double>{a[0].toDouble(), a[1].toDouble(), a[2].toDouble(),
                                 a[3].toDouble()};
        };

        MoveMouse(&canvas, QPoint(12, 9));
        QCOMPARE(args(moves), (QList<double>{0, 0, 10, 7}));
        QTest::mousePress(&canvas, Qt::LeftButton, Qt::ShiftModifier, QPoint(12, 9));
        QCOMPARE(args(downs), (QList<double>{1, 1, 10, 7}));
        // While the button is held, moves off the canvas are still reported.
        MoveMouse(&canvas, QPoint(-5, 200), Qt::LeftButton);
        QCOMPARE(args(moves), (QList<double>{1, 0, -7, 198}));
        QTest::mouseRelease(&canvas, Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
        QCOMPARE(args(ups), (QList<double>{1, 0, 28, 38}));
        QCOMPARE(clicks.size(), 1);

        // Only the left button clicks, and only when released over the canvas.
        QTest::mouseClick(&canvas, Qt::RightButton, Qt::ControlModifier, QPoint(30, 40));
        QCOMPARE(args(downs), (QList<double>{2, 2, 28, 38}));
        QTest::mousePress(&canvas, Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
        QTest::mouseRelease(&canvas, Qt::LeftButton, Qt::NoModifier, QPoint(103, 40));
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(ups.size(), 2);

        // The border is not canvas.
        downs.clear();
        MoveMouse(&canvas, QPoint(1, 50));
        QTest::mouseClick(&canvas, Qt::LeftButton, Qt::NoModifier, QPoint(1, 50));
        QCOMPARE(moves.size(), 0);
        QCOMPARE(downs.size(), 0);
        QCOMPARE(clicks.size(), 1);
    }

    // Run by ctest under several screen scales (QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS). The
    // pointer is put on every device pixel of the window as the window system does, with the
    // fraction of a logical pixel that Qt leaves out of a widget's position; wherever the
    // canvas reports a pixel, the screen shows that pixel's colour there.
    void reportsThePixelShownUnderThePointer() {
        constexpr int W = 47;
        constexpr int H = 23;
        const auto colourAt = [](int x, int y) { return static_cast<Colour>(x + 1000 * y); };
        Surface surface(W, H);
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                surface.SetPixel(x, y, colourAt(x, y));
            }
        }
        // An offset that, with the frame, puts the canvas at a fraction of a device pixel at
        // 1.25 and 1.5.
        QWidget window;
        window.resize(W + 11, H + 13);
        CanvasWidget canvas(&window);
        canvas.setGeometry(3, 5, W + 4, H + 4);
        canvas.setSurface(&surface);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWindow* handle = window.windowHandle();
        // The window system's scale; the paint's may differ by a rounding (1.1 paints
        // as 1.0999908).
        const qreal scale = handle->devicePixelRatio();
        const QImage shown = window.grab().toImage();

        std::optional<std::pair<int, int>> reported;
        connect(&canvas, &CanvasWidget::mouseMove, [&](int, int, float x, float y) {
            reported = {static_cast<int>(x), static_cast<int>(y)};
        });
        std::set<std::pair<int, int>> seen;
        for (int dy = 0; dy < shown.height(); ++dy) {
            for (int dx = 0; dx < shown.width(); ++dx) {
                // Window systems report the pointer on whole device pixels, some in between.
                for (const qreal within : {0.0, 0.5}) {
                    const QPointF local((dx + within) / scale, (dy + within) / scale);
                    reported.reset();
                    qt_handleMouseEvent(handle, local, handle->mapToGlobal(local), Qt::NoButton,
                                        Qt::NoButton, QEvent::MouseMove, Qt::NoModifier, 0);
                    // The frame's lines, drawn at a fraction of a pixel, may cover the outer ring.
                    if (!reported || reported->first < 1 || reported->second < 1 ||
                        reported->first >= W - 1 || reported->second >= H - 1) {
                        continue;
                    }
                    const QRgb c = shown.pixel(dx, dy);
                    const Colour screen = RGB(qRed(c), qGreen(c), qBlue(c));
                    if (screen != colourAt(reported->first, reported->second)) {
                        QFAIL(qPrintable(QStringLiteral("device pixel %1,%2 (+%3) reports %4,%5 "
                                                        "but shows %6,%7")
                                             .arg(dx)
                                             .arg(dy)
                                             .arg(within)
                                             .arg(reported->first)
                                             .arg(reported->second)
                                             .arg(screen % 1000)
                                             .arg(screen / 1000)));
                    }
                    seen.insert(*reported);
                }
            }
        }
        // Every pixel inside the ring is shown and can be pointed at.
        QCOMPARE(static_cast<int>(seen.size()), (W - 2) * (H - 2));
    }
};

QTEST_MAIN(CanvasWidgetTest)
#include "canvas_widget_test.moc"
