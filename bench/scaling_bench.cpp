// The main actions against the size of the drawing, for scripts/plot_scaling.sh: loading a
// saved project, saving it, redrawing it, and one square's three clicks. The drawings are
// square grids over the whole canvas of 1k to 32k sides (and half as many corners).
#include "headless_form.h"

#include <benchmark/benchmark.h>

#include <string>

namespace quillet::bench {
namespace {

constexpr int kSmallest = 1000;
constexpr int kLargest = 32000;

void Sizes(benchmark::internal::Benchmark* b) {
    b->ArgName("lines");
    for (int n = kSmallest; n <= kLargest; n *= 2) {
        b->Arg(n);
    }
    b->Unit(benchmark::kMicrosecond);
}

// A window holding the grid, and the project file a save of it writes.
struct SavedGrid {
    HeadlessForm f;
    Grid grid;
    std::string saved;

    explicit SavedGrid(int lines) : grid(GridDrawing(lines)) {
        const TempFile file("quillet-bench-scaling.qlf", WriteProject(grid.data, ','));
        f.form.LoadProject(file.Path());
        f.form.SaveProject("saved.qlf"); // to memory
        saved = f.platform.written.value_or("");
    }
};

void BM_ScaleLoad(benchmark::State& state) {
    SavedGrid g(static_cast<int>(state.range(0)));
    const TempFile file("quillet-bench-scaling-saved.qlf", g.saved);
    for (auto _ : state) {
        g.f.form.LoadProject(file.Path());
    }
    if (g.f.form.intLineCount != state.range(0) || g.f.platform.messages != 0) {
        state.SkipWithError("the saved project did not load");
    }
}
BENCHMARK(BM_ScaleLoad)->Apply(Sizes);

void BM_ScaleSave(benchmark::State& state) {
    SavedGrid g(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        g.f.form.SaveProject("saved.qlf");
    }
    if (g.f.platform.written != g.saved) {
        state.SkipWithError("the save differs");
    }
}
BENCHMARK(BM_ScaleSave)->Apply(Sizes);

void BM_ScaleRedraw(benchmark::State& state) {
    SavedGrid g(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        g.f.form.cmdAll_Click();
        benchmark::DoNotOptimize(g.f.form.picMain.Pixels().data());
    }
}
BENCHMARK(BM_ScaleRedraw)->Apply(Sizes);

// A square on a side of the grid's top edge, outside the grid: three clicks with their
// pointer moves. The square is taken back after each round, uncounted.
void BM_ScaleClick(benchmark::State& state) {
    SavedGrid g(static_cast<int>(state.range(0)));
    HeadlessForm& f = g.f;
    f.form.ctl.txtNumCorners = std::to_string(4);
    const int c = g.grid.columns / 2;
    const udtPoint a = g.grid.data.points[static_cast<std::size_t>(c)];
    const udtPoint b = g.grid.data.points[static_cast<std::size_t>(c + 1)];
    const int linesBefore = f.form.intLineCount;
    for (auto _ : state) {
        f.ClickAt(a.X, a.Y);
        f.ClickAt(b.X, b.Y);
        f.ClickAt((a.X + b.X) / 2, a.Y - 1);
        state.PauseTiming();
        if (f.form.intLineCount != linesBefore + 3) {
            state.SkipWithError("the square was not built");
            break;
        }
        f.DropNewestPolygon();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ScaleClick)->Apply(Sizes);

} // namespace
} // namespace quillet::bench
