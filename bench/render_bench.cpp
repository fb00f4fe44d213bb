// Memory and time of a render as its length grows: the demo patch rendered to a WAV file for
// 10 s and for 10 min, each in a process of its own so that its peak memory (maximum resident
// size) is its own. The render streams its output, so the 10-minute render should need about
// the memory of the 10-second one; time should grow with the length.
// After the usual table the ratios (10 min against 10 s, same run) are printed.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "host/patch.h"
#include "host/patch_runner.h"
#include "host/render_output.h"

namespace {

namespace fs = std::filesystem;

struct Figures {
    double seconds = 0;
    long peakKiB = 0;
};
std::map<int, Figures> figures; // by rendered length in seconds

const fs::path kFolder = fs::temp_directory_path() / ("pq_render_bench." + std::to_string(::getpid()));

// The demo patch made `seconds` long, its wave file named by absolute path.
fs::path demoPatch(int seconds) {
    std::ifstream in(fs::path(PQ_SOURCE_DIR) / "examples" / "demo.json");
    nlohmann::json patch = nlohmann::json::parse(in);
    patch["length"] = seconds;
    for (auto& module : patch["modules"])
        if (module.contains("values"))
            for (auto& [pin, value] : module["values"].items())
                if (value.is_object() && value.contains("wav"))
                    value["wav"] =
                        (fs::path(PQ_SOURCE_DIR) / "examples" / value["wav"].get<std::string>()).string();
    const fs::path file = kFolder / ("demo" + std::to_string(seconds) + ".json");
    std::ofstream(file) << patch.dump();
    return file;
}

// Renders in a child process as pqhost render does; answers the child's peak memory.
long renderInChild(const fs::path& patchFile, const fs::path& wav) {
    const pid_t child = ::fork();
    if (child == 0) {
        int code = 0;
        try {
            const pqhost::Patch patch = pqhost::loadPatch(patchFile, PQ_PLUGIN_DIR);
            pqhost::OutputPlan plan = pqhost::planOutputs(wav.string(), patch);
            pqhost::PatchRunner runner(patch);
            pqhost::OutputWriter writer(std::move(plan), int32_t(patch.outputs.size()),
                                        int32_t(patch.sampleRate), patch.lengthSamples);
            runner.stream(
                [&](const float* const* channels, int32_t count) { writer.writeBlock(channels, count); });
            writer.commit(runner.faces());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "render failed: %s\n", e.what());
            code = 1;
        }
        std::fflush(nullptr);
        ::_exit(code);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

void renderDemo(benchmark::State& state) {
    const int seconds = int(state.range(0));
    const fs::path patch = demoPatch(seconds);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const long peak = renderInChild(patch, kFolder / "out.wav");
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (peak < 0) {
            state.SkipWithError("the render failed");
            return;
        }
        state.SetIterationTime(elapsed);
        figures[seconds] = {elapsed, peak};
        state.counters["peak_KiB"] = double(peak);
    }
}

BENCHMARK(renderDemo)->Arg(10)->Arg(600)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    fs::create_directories(kFolder);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::error_code ignored;
    fs::remove_all(kFolder, ignored);
    if (figures.count(10) && figures.count(600)) {
        const Figures& a = figures[10];
        const Figures& b = figures[600];
        std::printf("\nRatios (10 min render / 10 s render, same run)\n");
        std::printf("%-58s %10.4g  (%ld KiB / %ld KiB)\n", "peak memory",
                    double(b.peakKiB) / double(a.peakKiB), b.peakKiB, a.peakKiB);
        std::printf("%-58s %10.4g  (length ratio 60)\n", "time", b.seconds / a.seconds);
    }
    benchmark::Shutdown();
    return 0;
}
