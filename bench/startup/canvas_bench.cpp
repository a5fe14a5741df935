// The cost of showing the canvas: CanvasWidget's paint of a full 581 x 493 canvas, rendered
// offscreen, against the least a paint of that size can cost, one QPainter::drawImage of an
// image already in the target's format. Each runs into the two formats the screen's image has:
// RGB32 (offscreen) and ARGB32 premultiplied (X11).

#include "platform/qt/canvas_widget.h"
#include "platform/surface.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int CANVAS_WIDTH = 581;
constexpr int CANVAS_HEIGHT = 493;
constexpr int BORDER = 2;

// Something drawn, so that no pixel path can take a shortcut through a blank canvas.
quillet::Surface DrawnSurface() {
    quillet::Surface surface(CANVAS_WIDTH, CANVAS_HEIGHT);
    for (int k = -500; k < 600; k += 7) {
        surface.Line(k, 0, k + 493, 493, quillet::RGB(k & 0xFF, 40, 200));
    }
    surface.ExtFloodFill(3, 0, surface.GetPixel(3, 0), quillet::RGB(10, 200, 30));
    return surface;
}

QImage Target(const benchmark::State& state) {
    QImage target(CANVAS_WIDTH + 2 * BORDER, CANVAS_HEIGHT + 2 * BORDER,
                  static_cast<QImage::Format>(state.range(0)));
    target.fill(Qt::gray);
    return target;
}

void Formats(benchmark::internal::Benchmark* b) {
    b->ArgName("format")
        ->Arg(QImage::Format_RGB32)
        ->Arg(QImage::Format_ARGB32_Premultiplied)
        ->UseRealTime()
        ->MeasureProcessCPUTime();
}

// The widget's whole paint, frame and canvas, as on screen: the canvas paints every pixel
// itself, so no window background is filled first.
void BM_CanvasPaint(benchmark::State& state) {
    const quillet::Surface surface = DrawnSurface();
    quillet::CanvasWidget canvas;
    canvas.resize(CANVAS_WIDTH + 2 * BORDER, CANVAS_HEIGHT + 2 * BORDER);
    canvas.setSurface(&surface);
    QImage target = Target(state);
    for (auto _ : state) {
        canvas.render(&target, QPoint(), QRegion(), QWidget::RenderFlags());
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetItemsProcessed(state.iterations() * CANVAS_WIDTH * CANVAS_HEIGHT);
}
BENCHMARK(BM_CanvasPaint)->Apply(Formats);

// The peer: pixels already in the screen's format, drawn once.
void BM_DrawPreparedImage(benchmark::State& state) {
    QImage prepared(CANVAS_WIDTH, CANVAS_HEIGHT, QImage::Format_RGB32);
    prepared.fill(QColor(10, 200, 30));
    QImage target = Target(state);
    for (auto _ : state) {
        QPainter painter(&target);
        painter.drawImage(QPoint(BORDER, BORDER), prepared);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetItemsProcessed(state.iterations() * CANVAS_WIDTH * CANVAS_HEIGHT);
}
BENCHMARK(BM_DrawPreparedImage)->Apply(Formats);

// The surface's buffer drawn as it lies, R G B 0 bytes (little-endian only): Qt converts it
// itself, a pixel at a time, spread over its thread pool.
void BM_DrawSurfaceBytesAsRgbx(benchmark::State& state) {
    const quillet::Surface surface = DrawnSurface();
    const QImage wrapped(reinterpret_cast<const uchar*>(surface.Pixels().data()), CANVAS_WIDTH,
                         CANVAS_HEIGHT, CANVAS_WIDTH * 4, QImage::Format_RGBX8888);
    QImage target = Target(state);
    for (auto _ : state) {
        QPainter painter(&target);
        painter.drawImage(QPoint(BORDER, BORDER), wrapped);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetItemsProcessed(state.iterations() * CANVAS_WIDTH * CANVAS_HEIGHT);
}
BENCHMARK(BM_DrawSurfaceBytesAsRgbx)->Apply(Formats);

} // namespace

int main(int argc, char** argv) {
    // No display needed: widgets render into images on Qt's offscreen platform.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
