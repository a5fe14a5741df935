#include "project/project_format.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <variant>

namespace {

// Near the largest file the format allows: the counts are 16-bit.
quillet::ProjectData LargeDrawing() {
    constexpr int kCount = 30000;
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> coordinate(0, 1200);
    std::uniform_int_distribution<std::int32_t> colour(0, 0xFFFFFF);
    quillet::ProjectData d;
    for (int i = 0; i < kCount; ++i) {
        d.points.push_back({coordinate(rng), coordinate(rng)});
        d.lines.push_back({coordinate(rng), coordinate(rng), coordinate(rng), coordinate(rng)});
        d.fills.push_back({colour(rng), coordinate(rng), coordinate(rng)});
    }
    return d;
}

void BM_WriteProject(benchmark::State& state) {
    const quillet::ProjectData d = LargeDrawing();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = quillet::WriteProject(d, ',');
        bytes += text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WriteProject)->Unit(benchmark::kMillisecond);

void BM_ParseProject(benchmark::State& state) {
    const std::string text = quillet::WriteProject(LargeDrawing(), ',');
    for (auto _ : state) {
        auto result = quillet::ParseProject(text, '.');
        if (!std::holds_alternative<quillet::ProjectData>(result)) {
            state.SkipWithError("the written file did not parse");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseProject)->Unit(benchmark::kMillisecond);

// The same drawing read from a file as it is parsed: the streaming costs over memory.
void BM_ParseProjectFile(benchmark::State& state) {
    const std::string path = std::filesystem::temp_directory_path() / "quillet-bench-large.qlf";
    std::ofstream(path, std::ios::binary) << quillet::WriteProject(LargeDrawing(), ',');
    for (auto _ : state) {
        auto result = quillet::ParseProjectFile(path, '.');
        if (!std::holds_alternative<quillet::ProjectData>(result)) {
            state.SkipWithError("the written file did not parse");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ParseProjectFile)->Unit(benchmark::kMillisecond);

// A file of 1 GiB whose first line is wrong is refused after its first chunk.
void BM_RefuseHugeFileWithBadFirstLine(benchmark::State& state) {
    const std::string path = std::filesystem::temp_directory_path() / "quillet-bench-huge.qlf";
    { std::ofstream(path, std::ios::binary) << "not a project\r\n"; }
    std::filesystem::resize_file(path, std::uintmax_t{1} << 30); // sparse: costs no disk
    for (auto _ : state) {
        auto result = quillet::ParseProjectFile(path, '.');
        if (!std::holds_alternative<quillet::ProjectError>(result)) {
            state.SkipWithError("the file was accepted");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_RefuseHugeFileWithBadFirstLine)->Unit(benchmark::kMicrosecond);

} // namespace
