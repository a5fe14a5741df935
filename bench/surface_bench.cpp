#include "geometry/render.h"
#include "platform/surface.h"

#include <benchmark/benchmark.h>

namespace quillet {
namespace {

void BM_FloodFillWholeCanvas(benchmark::State& state) {
    Surface s(581, 493);
    Colour colours[2] = {0x0000FF, 0xFFFFFF};
    int i = 0;
    for (auto _ : state) {
        s.ExtFloodFill(290, 246, s.GetPixel(290, 246), colours[i++ & 1]);
        benchmark::DoNotOptimize(s.Pixels().data());
    }
    state.SetItemsProcessed(state.iterations() * 581 * 493);
}
BENCHMARK(BM_FloodFillWholeCanvas);

// A maze of diagonal lines: many short spans, the fill's worst common case.
void BM_FloodFillDiagonalMaze(benchmark::State& state) {
    Surface s(581, 493);
    for (int k = -500; k < 600; k += 6) {
        s.Line(k, 0, k + 493, 493, 0);
    }
    Colour colours[2] = {0x00FF00, 0xFFFFFF};
    int i = 0;
    for (auto _ : state) {
        for (int k = 0; k < 581; k += 6) {
            const double x = k + 3;
            s.ExtFloodFill(x, 0, s.GetPixel(x, 0), colours[i & 1]);
        }
        ++i;
        benchmark::DoNotOptimize(s.Pixels().data());
    }
}
BENCHMARK(BM_FloodFillDiagonalMaze);

void BM_LineAcrossCanvas(benchmark::State& state) {
    Surface s(581, 493);
    for (auto _ : state) {
        DrawLine(s, 3.4, 7.5, 577.2, 488.9, R2_XORPEN, 0xFFFFFF);
    }
}
BENCHMARK(BM_LineAcrossCanvas);

void BM_LineFarOffEndPoints(benchmark::State& state) {
    Surface s(581, 493);
    for (auto _ : state) {
        DrawLine(s, -1e300, -3e299, 1e300, 3e299, R2_XORPEN, 0xFFFFFF);
    }
}
BENCHMARK(BM_LineFarOffEndPoints);

} // namespace
} // namespace quillet
