// Writes a project at the file format's limits, 32767 points, lines and fills on the canvas,
// for the peak memory of a drawing at its largest (memory.sh).
//
//   limits_project OUT.qlf

#include "drawing/drawing_state.h"
#include "project/project_format.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: limits_project OUT.qlf\n");
        return 2;
    }
    constexpr int WIDTH = 581;
    constexpr int HEIGHT = 493;
    // Fixed seed: every run measures the same drawing.
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> x(0, WIDTH - 1);
    std::uniform_int_distribution<int> y(0, HEIGHT - 1);
    std::uniform_int_distribution<int> step(-20, 20);
    std::uniform_int_distribution<std::int32_t> colour(0, 0xFFFFFF);
    quillet::ProjectData data;
    for (int i = 0; i < quillet::MAX_ELEMENTS; ++i) {
        const double x1 = x(rng);
        const double y1 = y(rng);
        data.points.push_back({x1, y1});
        // Short sides, as polygons have them: the canvas ends up in many small regions.
        data.lines.push_back({x1, y1, x1 + step(rng), y1 + step(rng)});
        data.fills.push_back(
            {colour(rng), static_cast<double>(x(rng)), static_cast<double>(y(rng))});
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << quillet::WriteProject(data, '.');
    return out.flush() ? 0 : 1;
}
