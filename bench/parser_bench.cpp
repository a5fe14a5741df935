// The project reader at the format's limits, against a plain std::from_chars pass over the
// same numbers: the ratio of the two is the reader's overhead per number.
#include "project/numbers.h"
#include "project/project_format.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <variant>

namespace quillet {
namespace {

// The largest lists a file may hold, and a thousand fills.
ProjectData DrawingAtLimits() {
    std::mt19937_64 rng(2);
    std::uniform_real_distribution<double> coordinate(0, 1200);
    std::uniform_int_distribution<std::int32_t> colour(0, 0xFFFFFF);
    ProjectData d;
    for (int i = 0; i < MAX_ELEMENTS; ++i) {
        d.points.push_back({coordinate(rng), coordinate(rng)});
        d.lines.push_back({coordinate(rng), coordinate(rng), coordinate(rng), coordinate(rng)});
    }
    for (int i = 0; i < 1000; ++i) {
        d.fills.push_back({colour(rng), coordinate(rng), coordinate(rng)});
    }
    return d;
}

// Every number of the file as the writer spells it, in file order, one a line.
std::string NumbersOf(const ProjectData& d, char decimalSeparator) {
    std::string out;
    const auto add = [&](double v) {
        out += FormatGeneralNumber(v, decimalSeparator);
        out += '\n';
    };
    for (const udtPoint& p : d.points) {
        add(p.X);
        add(p.Y);
    }
    for (const udtLine& l : d.lines) {
        add(l.X1);
        add(l.Y1);
        add(l.X2);
        add(l.Y2);
    }
    for (const udtFill& f : d.fills) {
        out += FormatInteger(f.Color) + '\n';
        add(f.X);
        add(f.Y);
    }
    return out;
}

void BM_ParseProjectAtLimits(benchmark::State& state) {
    const std::string text = WriteProject(DrawingAtLimits(), '.');
    for (auto _ : state) {
        auto result = ParseProject(text, '.');
        if (!std::holds_alternative<ProjectData>(result)) {
            state.SkipWithError("the written file did not parse");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseProjectAtLimits)->Unit(benchmark::kMillisecond);

// The peer: the same numbers read by std::from_chars, with nothing else to do.
void BM_FromCharsSameNumbers(benchmark::State& state) {
    const std::string numbers = NumbersOf(DrawingAtLimits(), '.');
    for (auto _ : state) {
        const char* at = numbers.data();
        const char* const end = at + numbers.size();
        double sum = 0;
        while (at < end) {
            double v = 0;
            at = std::from_chars(at, end, v).ptr + 1;
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * numbers.size()));
}
BENCHMARK(BM_FromCharsSameNumbers)->Unit(benchmark::kMillisecond);

// The reader's number conversion alone over the same numbers, under either separator.
void BM_ParseNumberSameNumbers(benchmark::State& state) {
    const char separator = state.range(0) == 0 ? '.' : ',';
    const std::string numbers = NumbersOf(DrawingAtLimits(), separator);
    for (auto _ : state) {
        std::string_view rest = numbers;
        double sum = 0;
        while (!rest.empty()) {
            const std::size_t eol = rest.find('\n');
            sum += ParseNumberChecked(rest.substr(0, eol), separator).value_or(0);
            rest.remove_prefix(eol + 1);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * numbers.size()));
}
BENCHMARK(BM_ParseNumberSameNumbers)
    ->ArgName("comma")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillet
