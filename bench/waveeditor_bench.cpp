// Cost of every wave editor command on a 2048-sample wave, through the model as the editor
// runs it (command, commit, the host's report back), against one 2048-point computeDft
// measured in the same run. Two parameter sets: the usual one (N = 8, A = 0.5) and the
// heaviest the menus suggest (N = 1024, the most harmonics of 2048 samples, A = 1).
// After the usual table the slowest entries are printed as ratios to the transform (CPU time,
// as the machines the figures come from are shared).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "modules/waveeditor/wave_commands.h"
#include "modules/wavetable/band_tables.h"
#include "tests/waveeditor/editor_rig.h"

namespace {

using namespace pq::waveeditor;

constexpr size_t kLength = 2048;

struct Parameters {
    const char* name;
    float n, a;
};
constexpr Parameters kParameterSets[] = {{"usual", 8.0f, 0.5f}, {"heavy", 1024.0f, 1.0f}};

Wave testWave() {
    Wave w(kLength);
    for (size_t i = 0; i < kLength; ++i) {
        const double x = 2.0 * std::numbers::pi * double(i) / double(kLength);
        w[i] = float(0.3 * std::sin(x) + 0.1 * std::sin(3 * x) + 0.05 * std::cos(17 * x) + 0.02);
    }
    return w;
}

void computeDftBench(benchmark::State& state) {
    const Wave source = testWave();
    std::vector<double> re(kLength), im(kLength);
    for (auto _ : state) {
        std::copy(source.begin(), source.end(), re.begin());
        std::fill(im.begin(), im.end(), 0.0);
        pq::computeDft(re, im);
        benchmark::DoNotOptimize(re.data());
    }
}

// One command: the wave is loaded again before each run (as a host delivers it), so every
// run starts from the same wave; the clipboard holds a sine.
void commandBench(benchmark::State& state, bool generator, int32_t index, Parameters p) {
    pq::waveeditor::testing::Editor editor{float(kLength)};
    editor.model.runGenerator(0, 0, 0);
    editor.model.copy();
    editor.model.runModifier(-1, 0, 0); // spend the first-request rule
    const Wave source = testWave();
    seedRandom(12345);
    for (auto _ : state) {
        editor.load(0, source);
        if (generator)
            editor.model.runGenerator(index, p.n, p.a);
        else
            editor.model.runModifier(index, p.n, p.a);
        benchmark::DoNotOptimize(editor.model.wave(0).data());
    }
}

class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration)
                seconds[run.benchmark_name()] = run.GetAdjustedCPUTime() * 1e-9;
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("computeDft/2048", computeDftBench)->Unit(benchmark::kNanosecond);
    std::vector<std::string> names;
    for (const Parameters& p : kParameterSets) {
        for (int table = 0; table < 2; ++table) {
            const bool generator = table == 0;
            const auto entries = generator ? std::span<const CommandEntry>(kGenerators) : kModifiers;
            for (size_t i = 0; i < entries.size(); ++i) {
                if (entries[i].run == nullptr) continue;
                const std::string name = std::string(p.name) + (generator ? "/gen/" : "/mod/") +
                                         std::to_string(i) + " " + std::string(entries[i].text);
                names.push_back(name);
                benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& s) {
                    commandBench(s, generator, int32_t(i), p);
                })->Unit(benchmark::kNanosecond);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const auto dft = reporter.seconds.find("computeDft/2048");
    if (dft == reporter.seconds.end()) return 0;
    std::printf("\nBaseline: one computeDft of 2048 points: %.1f us\n", dft->second * 1e6);
    for (const Parameters& p : kParameterSets) {
        std::vector<std::pair<double, std::string>> costs;
        for (const auto& [name, s] : reporter.seconds)
            if (name.rfind(std::string(p.name) + "/", 0) == 0) costs.emplace_back(s, name);
        if (costs.empty()) continue;
        std::sort(costs.rbegin(), costs.rend());
        std::printf("%s (N = %g, A = %g), %zu entries, slowest first:\n", p.name, double(p.n), double(p.a),
                    costs.size());
        for (size_t i = 0; i < std::min<size_t>(costs.size(), 5); ++i)
            std::printf("  %-45s %10.3f ms  %8.2f x computeDft  %5.1f%% of a 60 Hz frame\n",
                        costs[i].second.c_str(), costs[i].first * 1e3, costs[i].first / dft->second,
                        costs[i].first * 60.0 * 100.0);
    }
    return 0;
}
