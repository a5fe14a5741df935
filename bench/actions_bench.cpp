// Polygon construction as the user does it, on an empty drawing and on one at the limits.
#include "headless_form.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>

namespace quillet::bench {
namespace {

// The first `lines` sides of the grid of the largest drawing, with their corners, loaded into
// a window; and a side on the grid's top edge. The side is the same at every size.
struct LoadedGrid {
    HeadlessForm f;
    Grid grid = GridDrawing(32700);
    udtPoint a, b;

    explicit LoadedGrid(int lines) {
        const int c = grid.columns / 2;
        a = grid.data.points[static_cast<std::size_t>(c)];
        b = grid.data.points[static_cast<std::size_t>(c + 1)];
        if (lines > 0) {
            ProjectData data = grid.data;
            data.lines.resize(static_cast<std::size_t>(lines));
            data.points.resize(
                std::min(data.points.size(), static_cast<std::size_t>(lines / 2 + grid.columns)));
            const TempFile file("quillet-bench-actions.qlf", WriteProject(data, ','));
            f.form.LoadProject(file.Path());
        }
    }
};

// The pointer moving over a drawing of state.range(0) lines, between two corners, with the
// button up: the nearest corner is looked for among all of them, and the read-out updated.
void BM_PointerMove(benchmark::State& state) {
    LoadedGrid g(static_cast<int>(state.range(0)));
    const udtPoint near[] = {{g.a.X + 0.3, g.a.Y + 0.3}, {g.b.X - 0.3, g.b.Y + 0.3}};
    std::size_t k = 0;
    for (auto _ : state) {
        const udtPoint& p = near[k++ % 2];
        g.f.form.picMain_MouseMove(0, 0, static_cast<float>(p.X), static_cast<float>(p.Y));
    }
    // The file holds 15 digits, so the loaded corners are the grid's to within a hair.
    const double x = g.f.form.dblMouseX;
    if (state.range(0) > 0 && std::fabs(x - g.a.X) > 1e-9 && std::fabs(x - g.b.X) > 1e-9) {
        state.SkipWithError("the pointer did not snap to a corner");
    }
}
BENCHMARK(BM_PointerMove)->ArgName("lines")->Arg(0)->Arg(32700);

// The side click of a 50-gon on a drawing of state.range(0) lines: the two clicks that choose
// its side are not counted, nor the taking back of the polygon after each click.
void BM_ThirdClickOf50Gon(benchmark::State& state) {
    LoadedGrid g(static_cast<int>(state.range(0)));
    HeadlessForm& f = g.f;
    f.form.ctl.txtNumCorners = std::to_string(50);
    const int linesBefore = f.form.intLineCount;
    for (auto _ : state) {
        state.PauseTiming();
        f.ClickAt(g.a.X, g.a.Y);
        f.ClickAt(g.b.X, g.b.Y);
        f.PointAt((g.a.X + g.b.X) / 2, g.a.Y - 1); // above the top row, outside the grid
        state.ResumeTiming();
        f.form.picMain_Click();
        state.PauseTiming();
        if (f.form.intLineCount < linesBefore + 49) {
            state.SkipWithError("the polygon was not built");
            break;
        }
        f.DropNewestPolygon();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ThirdClickOf50Gon)
    ->ArgName("lines")
    ->Arg(0)
    ->Arg(32700)
    ->Unit(benchmark::kMicrosecond);

// The same click as the first polygon after loading the drawing: the duplicate index of the
// loaded lists is built on the way.
void BM_ThirdClickOf50GonAfterLoad(benchmark::State& state) {
    LoadedGrid g(static_cast<int>(state.range(0)));
    HeadlessForm& f = g.f;
    f.form.ctl.txtNumCorners = std::to_string(50);
    ProjectData data = g.grid.data;
    data.lines.resize(static_cast<std::size_t>(state.range(0)));
    const TempFile file("quillet-bench-after-load.qlf", WriteProject(data, ','));
    for (auto _ : state) {
        state.PauseTiming();
        f.form.LoadProject(file.Path());
        f.ClickAt(g.a.X, g.a.Y);
        f.ClickAt(g.b.X, g.b.Y);
        f.PointAt((g.a.X + g.b.X) / 2, g.a.Y - 1);
        state.ResumeTiming();
        f.form.picMain_Click();
    }
    if (f.form.intLineCount < state.range(0) + 49) {
        state.SkipWithError("the polygon was not built");
    }
}
// Each round loads the drawing first, uncounted: a fixed count keeps the run short.
BENCHMARK(BM_ThirdClickOf50GonAfterLoad)
    ->ArgName("lines")
    ->Arg(32700)
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);

// Building the duplicate index of a drawing of state.range(0) lines from nothing, as the first
// polygon after a load does: one question about a line and one about a point.
void BM_DuplicateIndexBuild(benchmark::State& state) {
    const Grid grid = GridDrawing(static_cast<int>(state.range(0)));
    DrawingState d;
    d.intPointCount = static_cast<std::int16_t>(grid.data.points.size());
    d.arrPoints.ReDim(d.intPointCount);
    for (int i = 1; i <= d.intPointCount; ++i) {
        d.arrPoints[i] = grid.data.points[static_cast<std::size_t>(i - 1)];
    }
    d.intLineCount = static_cast<std::int16_t>(grid.data.lines.size());
    d.arrLines.ReDim(d.intLineCount);
    for (int i = 1; i <= d.intLineCount; ++i) {
        d.arrLines[i] = grid.data.lines[static_cast<std::size_t>(i - 1)];
    }
    const std::int16_t points = d.intPointCount;
    const std::int16_t lines = d.intLineCount;
    for (auto _ : state) {
        state.PauseTiming();
        // Emptied and filled again: the index is built anew, in the memory it had.
        d.intPointCount = 0;
        d.intLineCount = 0;
        benchmark::DoNotOptimize(d.HoldsLine(1, 2, 3, 4));
        benchmark::DoNotOptimize(d.HoldsPoint(1, 2));
        d.intPointCount = points;
        d.intLineCount = lines;
        state.ResumeTiming();
        benchmark::DoNotOptimize(d.HoldsLine(1, 2, 3, 4));
        benchmark::DoNotOptimize(d.HoldsPoint(1, 2));
    }
    state.SetItemsProcessed(state.iterations() * (d.intLineCount + d.intPointCount));
}
BENCHMARK(BM_DuplicateIndexBuild)->ArgName("lines")->Arg(32700)->Unit(benchmark::kMicrosecond);

// A square's three clicks, pointer moves included, on a drawing of state.range(0) lines.
void BM_SquareClicks(benchmark::State& state) {
    LoadedGrid g(static_cast<int>(state.range(0)));
    HeadlessForm& f = g.f;
    f.form.ctl.txtNumCorners = std::to_string(4);
    const int linesBefore = f.form.intLineCount;
    for (auto _ : state) {
        f.ClickAt(g.a.X, g.a.Y);
        f.ClickAt(g.b.X, g.b.Y);
        f.ClickAt((g.a.X + g.b.X) / 2, g.a.Y - 1);
        state.PauseTiming();
        if (f.form.intLineCount < linesBefore + 3) {
            state.SkipWithError("the polygon was not built");
            break;
        }
        f.DropNewestPolygon();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SquareClicks)
    ->ArgName("lines")
    ->Arg(0)
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(16000)
    ->Arg(30000)
    ->Unit(benchmark::kMicrosecond);

// A whole drawing of state.range(0) squares built click by click, row by row, each square on
// a side of the one before or above it. `clicker(f, left, top, side)` gives the click, told
// whether the pointer is on a stored corner. Linear overall when the time per square stays flat.
template <class Clicker> void BuildBySquares(benchmark::State& state, Clicker clicker) {
    const auto squares = static_cast<int>(state.range(0));
    const int across = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(squares))));
    const double side = 460.0 / across;
    const double left = 10, top = 10;
    int lines = 0;
    for (auto _ : state) {
        state.PauseTiming();
        HeadlessForm f;
        f.form.ctl.txtNumCorners = std::to_string(4);
        auto click = clicker(f, left, top, side);
        state.ResumeTiming();
        for (int i = 0; i < squares; ++i) {
            const int r = i / across;
            const int c = i % across;
            const double x = left + c * side;
            const double y = top + r * side;
            if (r == 0 && c > 0) { // on the right side of the square before
                click(x, y, true);
                click(x, y + side, true);
            } else { // the first square, or on the bottom side of the square above
                click(x, y, true);
                click(x + side, y, true);
            }
            click(x + side / 2, y + side / 2, false);
        }
        state.PauseTiming();
        lines = f.form.intLineCount;
        state.ResumeTiming();
    }
    state.counters["lines"] = lines;
    state.counters["per_square"] = benchmark::Counter(
        squares, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void SquareCounts(benchmark::internal::Benchmark* b) {
    b->ArgName("squares")->Arg(1000)->Arg(2000)->Arg(4000)->Arg(8000)->Unit(
        benchmark::kMillisecond);
}

// With the pointer's press, move and release before each click.
void BM_BuildBySquares(benchmark::State& state) {
    BuildBySquares(state, [](HeadlessForm& f, double, double, double) {
        return [&f](double x, double y, bool) { f.ClickAt(x, y); };
    });
}
BENCHMARK(BM_BuildBySquares)->Apply(SquareCounts);

// By the construction alone: each click finds the pointer where the tracking would have
// snapped it, on the stored corner, without the search for the nearest one.
void BM_BuildBySquaresConstructionOnly(benchmark::State& state) {
    BuildBySquares(state, [](HeadlessForm& f, double left, double top, double side) {
        // The corners so far by their place in the grid.
        std::map<std::pair<long, long>, udtPoint> corners;
        return [&f, left, top, side, corners](double x, double y, bool snap) mutable {
            const auto place = [&](double px, double py) {
                return std::pair{std::lround((px - left) / side), std::lround((py - top) / side)};
            };
            const auto found = corners.find(place(x, y));
            const bool onCorner = snap && found != corners.end();
            f.form.dblMouseX = onCorner ? found->second.X : x;
            f.form.dblMouseY = onCorner ? found->second.Y : y;
            const int before = f.form.intPointCount;
            f.form.picMain_Click();
            for (int k = before + 1; k <= f.form.intPointCount; ++k) {
                const udtPoint p = f.form.arrPoints[k];
                corners.emplace(place(p.X, p.Y), p);
            }
        };
    });
}
BENCHMARK(BM_BuildBySquaresConstructionOnly)->Apply(SquareCounts);

// Polygon undo with fills made since the polygon: each is painted with and without its lines
// to learn whether the undo changed what it fills. A square beside a filled square, then
// `fills` fills alternating between two colours in the first square, then Undo.
void BM_PolygonUndoAfterFills(benchmark::State& state) {
    const int fills = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        HeadlessForm f;
        f.form.ctl.txtNumCorners = std::to_string(4);
        for (auto [x, y] : {std::pair{100.0, 100.0},
                            {200.0, 100.0},
                            {150.0, 150.0},
                            {200.0, 100.0},
                            {200.0, 200.0},
                            {250.0, 150.0}}) {
            f.ClickAt(x, y);
        }
        f.form.SetFillValue(1);
        for (int i = 0; i < fills; ++i) {
            f.form.picSelColor_Click(9 + i % 2);
            f.form.picMain_MouseMove(0, 0, 150.0f, 150.0f);
            f.form.picMain_Click();
        }
        f.form.SetFillValue(0);
        state.ResumeTiming();
        f.form.mnuUndo_Click();
        if (f.form.intFillCount != fills) {
            state.SkipWithError("the undo dropped a fill it does not affect");
            break;
        }
    }
}
BENCHMARK(BM_PolygonUndoAfterFills)
    ->ArgName("fills")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillet::bench
