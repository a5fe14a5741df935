// The bucket fill: the flood fill against OpenCV's (when it is there) on the same pictures, the
// replay of a file's fills at load, the fill click and fill undo.
#include "app/main_window.h"
#include "drawing/fill_replay.h"
#include "platform/headless_platform.h"
#include "platform/surface.h"
#include "project/apply_project.h"
#include "project/project_format.h"

#include <benchmark/benchmark.h>

#ifdef QUILLET_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace quillet {
namespace {

constexpr int W = 581;
constexpr int H = 493;
constexpr Colour RED = 0x0000FF;
constexpr Colour BLUE = 0xFF0000;

// ---------------------------------------------------------------- the flood fill and its peer

struct Scene {
    Surface picture{W, H};
    std::vector<std::pair<int, int>> seeds; // one fill each per iteration
};

Scene MakeScene(int kind) {
    Scene s;
    Surface& p = s.picture;
    switch (kind) {
    case 0: // the empty canvas
        s.seeds = {{290, 246}};
        break;
    case 1: // one cell of a grid
        for (int x = 0; x < W; x += 24) {
            p.Line(x, 0, x, H, 0);
        }
        for (int y = 0; y < H; y += 24) {
            p.Line(0, y, W, y, 0);
        }
        s.seeds = {{12 * 24 + 12, 10 * 24 + 12}};
        break;
    case 2: // the background around a dense pattern of small squares
        for (int y = 2; y + 7 < H; y += 10) {
            for (int x = 2; x + 7 < W; x += 10) {
                p.Line(x, y, x + 6, y, 0);
                p.Line(x + 6, y, x + 6, y + 6, 0);
                p.Line(x + 6, y + 6, x, y + 6, 0);
                p.Line(x, y + 6, x, y, 0);
            }
        }
        s.seeds = {{0, 0}};
        break;
    default: // a maze of diagonal lines, each strip filled
        for (int k = -500; k < 600; k += 6) {
            p.Line(k, 0, k + 493, 493, 0);
        }
        for (int k = 0; k < W; k += 6) {
            s.seeds.push_back({k + 3, 0});
        }
        break;
    }
    return s;
}

const char* SceneName(int kind) {
    static const char* const names[] = {"empty canvas", "grid cell", "dense pattern background",
                                        "diagonal maze"};
    return names[kind];
}

void BM_FloodFill(benchmark::State& state) {
    Scene scene = MakeScene(static_cast<int>(state.range(0)));
    state.SetLabel(SceneName(static_cast<int>(state.range(0))));
    Surface& s = scene.picture;
    const Colour colours[2] = {RED, BLUE};
    int i = 0;
    for (auto _ : state) {
        const Colour c = colours[i++ & 1];
        for (const auto& [x, y] : scene.seeds) {
            s.ExtFloodFill(x, y, s.GetPixel(x, y), c);
        }
        benchmark::DoNotOptimize(s.Pixels().data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(scene.seeds.size()));
}
BENCHMARK(BM_FloodFill)->DenseRange(0, 3);

#ifdef QUILLET_BENCH_OPENCV
// The same pixels as 32-bit integers, the layout of the surface: 4-connected, no mask, no
// tolerance, so exactly the pixels of the seed's colour that touch it.
void OpenCvFill(cv::Mat& image, int x, int y, Colour c) {
    cv::floodFill(image, cv::Point(x, y), cv::Scalar(static_cast<double>(c)), nullptr,
                  cv::Scalar(0), cv::Scalar(0), 4);
}

void BM_FloodFillOpenCv(benchmark::State& state) {
    Scene scene = MakeScene(static_cast<int>(state.range(0)));
    state.SetLabel(SceneName(static_cast<int>(state.range(0))));
    cv::Mat image(H, W, CV_32SC1);
    std::memcpy(image.data, scene.picture.Pixels().data(), sizeof(Colour) * W * H);
    // Both fills must paint the same pixels, or the race is unfair.
    for (const auto& [x, y] : scene.seeds) {
        scene.picture.ExtFloodFill(x, y, scene.picture.GetPixel(x, y), RED);
        OpenCvFill(image, x, y, RED);
    }
    if (std::memcmp(image.data, scene.picture.Pixels().data(), sizeof(Colour) * W * H) != 0) {
        state.SkipWithError("OpenCV painted other pixels");
        return;
    }
    const Colour colours[2] = {BLUE, RED};
    int i = 0;
    for (auto _ : state) {
        const Colour c = colours[i++ & 1];
        for (const auto& [x, y] : scene.seeds) {
            OpenCvFill(image, x, y, c);
        }
        benchmark::DoNotOptimize(image.data);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(scene.seeds.size()));
}
BENCHMARK(BM_FloodFillOpenCv)->DenseRange(0, 3);
#endif

// ---------------------------------------------------------------- the replay of a file's fills

// Drawings of the largest size a file holds: 32767 fills.
enum Drawing {
    MOST,        // a few squares; every fill floods the rest of the canvas
    COMB,        // thin teeth, one pixel wide: every fill winds through all of them
    CROWDED,     // one background touching some 80,000 one-pixel regions (short diagonals)
    CHECKER,     // diagonals on every other diagonal: every pixel its own region; one growing fill
    CHECKER_RND, // the same, with fills anywhere in five colours: joins everywhere
    MAZE_RND,    // random diagonals and fills at random
    STRIPS,      // a line touching hundreds of crowded strips, each told of its every fill
};

const char* DrawingName(int d) {
    static const char* const names[] = {"most of the canvas",         "comb",
                                        "crowded background",         "checkerboard, growing",
                                        "checkerboard, random fills", "random maze, random fills",
                                        "line between strips"};
    return names[d];
}

ProjectData MakeDrawing(int d, int fills) {
    ProjectData p;
    p.points.push_back({0, 0});
    std::mt19937 rng(static_cast<unsigned>(d) + 1);
    const Colour palette[] = {0xFFFFFF, 0, RED, BLUE, 0x00FF00};
    auto fill = [&p](Colour c, double x, double y) {
        p.fills.push_back({static_cast<std::int32_t>(c), x, y});
    };
    switch (d) {
    case MOST:
        for (int y = 150; y < 350; y += 50) {
            for (int x = 150; x < 450; x += 50) {
                p.lines.push_back({double(x), double(y), double(x + 30), double(y)});
                p.lines.push_back({double(x + 30), double(y), double(x + 30), double(y + 30)});
                p.lines.push_back({double(x + 30), double(y + 30), double(x), double(y + 30)});
                p.lines.push_back({double(x), double(y + 30), double(x), double(y)});
            }
        }
        for (int i = 0; i < fills; ++i) {
            fill(i % 2 ? BLUE : RED, 5, 5);
        }
        break;
    case COMB:
        for (int x = 1; x < W; x += 2) {
            p.lines.push_back({double(x), 0, double(x), 470});
        }
        for (int i = 0; i < fills; ++i) {
            fill(i % 2 ? BLUE : RED, 0, 480);
        }
        break;
    case CROWDED:
        for (int y = 0; y + 30 < H; y += 34) {
            for (int x = -30; x < W; x += 3) {
                p.lines.push_back({double(x), double(y), double(x + 30), double(y + 30)});
            }
        }
        for (int i = 0; i < fills; ++i) {
            fill(i % 2 ? BLUE : RED, 0, 32);
        }
        break;
    case CHECKER:
    case CHECKER_RND:
        for (int k = -H; k < W; k += 2) {
            p.lines.push_back({double(k), 0, double(k + H + 1), double(H + 1)});
        }
        for (int i = 0; i < fills; ++i) {
            if (d == CHECKER) {
                fill(i % 2 ? 0xFFFFFF : 0, 290, 246);
            } else {
                fill(palette[rng() % 5], double(rng() % W), double(rng() % H));
            }
        }
        break;
    case STRIPS:
        p.lines.push_back({-10, 246, 600, 246});
        for (int k = 0; k < W; k += 3) {
            p.lines.push_back({double(k), 247, double(k + 246), 493});
            p.lines.push_back({double(k), 245, double(k + 246), -1});
        }
        for (int i = 0; i < fills; ++i) {
            fill(i % 2 ? BLUE : RED, 5, 246);
        }
        break;
    default:
        for (int i = 0; i < 400; ++i) {
            const double x = double(rng() % (W + 400)) - 400;
            const double y = double(rng() % H);
            const double len = double(20 + rng() % 300);
            p.lines.push_back({x, y, x + len, y + (rng() % 2 ? len : -len)});
        }
        for (int i = 0; i < fills; ++i) {
            fill(palette[rng() % 5], double(rng() % W), double(rng() % H));
        }
        break;
    }
    return p;
}

// Written once per drawing and fill count.
const std::string& DrawingFile(int d, int fills) {
    static std::map<std::pair<int, int>, std::string> files;
    auto [it, added] = files.try_emplace({d, fills});
    if (added) {
        it->second =
            (std::filesystem::temp_directory_path() /
             ("quillet-fill-bench-" + std::to_string(d) + "-" + std::to_string(fills) + ".qlf"))
                .string();
        std::ofstream(it->second, std::ios::binary) << WriteProject(MakeDrawing(d, fills), '.');
    }
    return it->second;
}

// A whole load: reading, drawing the lines, replaying the fills.
void BM_LoadFills(benchmark::State& state) {
    const int d = static_cast<int>(state.range(0));
    const int fills = static_cast<int>(state.range(1));
    const std::string& path = DrawingFile(d, fills);
    state.SetLabel(DrawingName(d));
    HeadlessPlatform platform{'.'};
    frmMain form(platform, W, H);
    form.RandomSeed = 1;
    form.Form_Load();
    for (auto _ : state) {
        form.LoadProject(path);
        if (form.intFillCount != fills || platform.messages != 0) {
            state.SkipWithError("the drawing did not load");
            break;
        }
        benchmark::DoNotOptimize(form.picMain.Pixels().data());
    }
    state.SetItemsProcessed(state.iterations() * fills);
}
BENCHMARK(BM_LoadFills)
    ->ArgsProduct({{MOST, COMB, CROWDED, CHECKER, CHECKER_RND, MAZE_RND, STRIPS}, {MAX_ELEMENTS}})
    ->Unit(benchmark::kMillisecond);

// The tool's load for an export: the same, and for each pixel the last fill that painted it.
void BM_LoadFillsWithPainters(benchmark::State& state) {
    const int d = static_cast<int>(state.range(0));
    const std::string& path = DrawingFile(d, MAX_ELEMENTS);
    state.SetLabel(DrawingName(d));
    DrawingState drawing;
    Surface canvas(W, H), undo1(W, H), undo2(W, H);
    std::vector<int> painters;
    for (auto _ : state) {
        auto parsed = ParseProjectFile(path, '.');
        if (!std::holds_alternative<ProjectData>(parsed) ||
            !ApplyProject(
                std::get<ProjectData>(parsed), drawing, {canvas, undo1, undo2},
                [](long long, long long) { return true; }, &painters)) {
            state.SkipWithError("the drawing did not load");
            break;
        }
        benchmark::DoNotOptimize(painters.data());
    }
    state.SetItemsProcessed(state.iterations() * MAX_ELEMENTS);
}
BENCHMARK(BM_LoadFillsWithPainters)->DenseRange(MOST, STRIPS)->Unit(benchmark::kMillisecond);

// The replay alone, on the lines as drawn: cutting the picture into regions, the fills, and
// painting the regions back.
void BM_FillReplay(benchmark::State& state) {
    const int d = static_cast<int>(state.range(0));
    const ProjectData p = MakeDrawing(d, MAX_ELEMENTS);
    state.SetLabel(DrawingName(d));
    Surface lines(W, H);
    for (const udtLine& l : p.lines) {
        lines.Line(std::nearbyint(l.X1), std::nearbyint(l.Y1), std::nearbyint(l.X2),
                   std::nearbyint(l.Y2), 0);
    }
    Surface out(W, H);
    for (auto _ : state) {
        FillReplay regions(lines);
        for (const udtFill& f : p.fills) {
            regions.Fill(std::nearbyint(f.X), std::nearbyint(f.Y), static_cast<Colour>(f.Color));
        }
        regions.WriteTo(out);
        benchmark::DoNotOptimize(out.Pixels().data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(p.fills.size()));
}
BENCHMARK(BM_FillReplay)->DenseRange(MOST, STRIPS)->Unit(benchmark::kMillisecond);

// Cutting the picture into regions alone: the fixed cost of a replay.
void BM_FillReplayRegions(benchmark::State& state) {
    const int d = static_cast<int>(state.range(0));
    const ProjectData p = MakeDrawing(d, 0);
    state.SetLabel(DrawingName(d));
    Surface lines(W, H);
    for (const udtLine& l : p.lines) {
        lines.Line(std::nearbyint(l.X1), std::nearbyint(l.Y1), std::nearbyint(l.X2),
                   std::nearbyint(l.Y2), 0);
    }
    for (auto _ : state) {
        FillReplay regions(lines);
        benchmark::DoNotOptimize(&regions);
    }
}
BENCHMARK(BM_FillReplayRegions)->DenseRange(MOST, STRIPS)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------- the fill click and fill undo

// A window with two squares and fill mode on; the mouse over the background.
struct FillWindow {
    HeadlessPlatform platform{'.'};
    frmMain form{platform, W, H};
    FillWindow() {
        form.RandomSeed = 1;
        form.Form_Load();
        auto click = [this](float x, float y) {
            form.picMain_MouseDown(1, 0, x, y);
            form.picMain_MouseMove(1, 0, x, y);
            form.picMain_MouseUp(1, 0, x, y);
            form.picMain_Click();
        };
        for (const auto& [x1, y1, x2, y2, sx, sy] :
             {std::tuple{100.f, 100.f, 200.f, 100.f, 150.f, 150.f},
              {200.f, 100.f, 200.f, 200.f, 250.f, 150.f}}) {
            click(x1, y1);
            click(x2, y2);
            click(sx, sy);
        }
        form.SetFillValue(1);
        form.picMain_MouseMove(0, 0, 400.f, 400.f);
    }
};

// A click that floods the background, the snapshots included. Each is undone untimed, so the
// next click drops it and the drawing does not fill up.
void BM_FillClick(benchmark::State& state) {
    FillWindow w;
    const Colour colours[2] = {RED, BLUE};
    int i = 0;
    for (auto _ : state) {
        w.form.ctl.picColor = colours[i++ & 1];
        w.form.picMain_Click();
        state.PauseTiming();
        w.form.mnuUndo_Click();
        state.ResumeTiming();
    }
    if (w.form.intFillCount != 1 || w.platform.messages != 0) {
        state.SkipWithError("the clicks did not fill");
    }
}
BENCHMARK(BM_FillClick)->Unit(benchmark::kMicrosecond);

// Fill undo after two fills: the three pictures go round.
void BM_FillUndo(benchmark::State& state) {
    FillWindow w;
    w.form.ctl.picColor = RED;
    w.form.picMain_Click();
    w.form.picMain_MouseMove(0, 0, 150.f, 150.f);
    w.form.ctl.picColor = BLUE;
    w.form.picMain_Click();
    for (auto _ : state) {
        w.form.mnuUndo_Click();
        benchmark::DoNotOptimize(w.form.picMain.Pixels().data());
    }
    if (w.form.intFillUndoDepth != 2) {
        state.SkipWithError("no two fills to undo");
    }
}
BENCHMARK(BM_FillUndo);

} // namespace
} // namespace quillet
