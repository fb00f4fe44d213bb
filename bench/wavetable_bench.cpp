// Costs of the wave-table code, each against a baseline measured in the same run:
//   - ArrayOsc in Mix with 7 + 7 voices, per voice-sample, against a minimal loop that only
//     steps the phase and reads the table with interpolation for each voice;
//   - computeDft at 2048 and at 1000 points against the plain O(n^2) sum (and FFTW, when the
//     benchmark is built with it);
//   - building the ten band tables of a wave against one 2048-point computeDft.
// After the usual table the ratios are printed.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "host/audio_instance.h"
#include "modules/wavetable/array_osc.h"
#include "modules/wavetable/band_tables.h"
#include "tests/support/direct_module.h"

#if PQ_BENCH_FFTW
#include <fftw3.h>
#endif

const pq::LibraryInfo pq::libraryInfo = {30800, true};

namespace {

constexpr int32_t kBlock = 256;
constexpr int kVoices = 14;

std::vector<float> testWave(size_t n) {
    std::vector<float> w(n);
    for (size_t i = 0; i < n; ++i) {
        const double x = 2.0 * std::numbers::pi * double(i) / double(n);
        w[i] = float(0.3 * std::sin(x) + 0.1 * std::sin(3 * x) + 0.05 * std::cos(17 * x) + 0.02);
    }
    return w;
}

// --- Oscillator --------------------------------------------------------------------------

void oscillatorMix(benchmark::State& state) {
    pqhost::AudioEngine engine(48000.0f, kBlock);
    auto osc = pqtest::makeDirect<ArrayOsc>(engine);
    for (const pq::PinDescription& pin : ArrayOsc::kPins)
        if (pin.datatype == gmpi::kDatatypeAudio) osc->addAudioPin(pin.id);
    osc->open();
    auto fill = [&](int32_t pin, float v) { std::fill_n(osc->buffer(pin), kBlock, v); };
    fill(ArrayOsc::kPitch, 0.45f);
    fill(ArrayOsc::kMorph, 0.4f); // Mix
    fill(ArrayOsc::kSpreadA, 0.02f);
    fill(ArrayOsc::kSpreadB, 0.03f);
    fill(ArrayOsc::kRingMod, -3.0f); // off
    osc->queueGraphStart();
    osc->queueValue(0, ArrayOsc::kVoicesA, int32_t{6});
    osc->queueValue(0, ArrayOsc::kVoicesB, int32_t{6});
    const auto wave = testWave(2048);
    osc->queueEvent(0, gmpi::kEventPinSet, ArrayOsc::kWaveA, wave.data(), int32_t(wave.size() * 4));
    osc->runBlock();
    for (auto _ : state) {
        osc->processRaw(kBlock, nullptr);
        benchmark::DoNotOptimize(osc->buffer(ArrayOsc::kSignalOut)[kBlock - 1]);
    }
    state.SetItemsProcessed(state.iterations() * kBlock * kVoices);
}

// Only what every oscillator must do: per voice a phase step with wrap and one interpolated
// read from a 2048-sample table, summed into the output.
void minimalVoiceLoop(benchmark::State& state) {
    pq::BandTable table;
    const auto wave = testWave(2048);
    std::copy(wave.begin(), wave.end(), table.begin());
    std::array<float, kVoices> phase{}, increment{};
    for (int v = 0; v < kVoices; ++v) {
        phase[size_t(v)] = 0.05f * float(v % 7);
        increment[size_t(v)] = (400.0f + 3.0f * float(v)) / 48000.0f;
    }
    std::vector<float> out(kBlock);
    for (auto _ : state) {
        for (int32_t n = 0; n < kBlock; ++n) {
            float sum = 0.0f;
            for (int v = 0; v < kVoices; ++v) {
                float p = phase[size_t(v)] + increment[size_t(v)];
                if (p >= 1.0f) p -= std::trunc(p);
                phase[size_t(v)] = p;
                const float k = p * 2047.0f;
                const int32_t i = static_cast<int32_t>(k);
                const float f = k - static_cast<float>(i);
                sum += (1.0f - f) * table[size_t(i)] + f * table[size_t(i) + 1];
            }
            out[size_t(n)] = sum;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock * kVoices);
}

// --- Transform -----------------------------------------------------------------------------

void plainDft(std::vector<double>& re, std::vector<double>& im, const std::vector<double>& cosTable,
              const std::vector<double>& sinTable) {
    const size_t n = re.size();
    std::vector<double> outRe(n), outIm(n);
    for (size_t k = 0; k < n; ++k) {
        double sr = 0, si = 0;
        for (size_t j = 0, t = 0; j < n; ++j, t = (t + k) % n) {
            sr += re[j] * cosTable[t] + im[j] * sinTable[t];
            si += im[j] * cosTable[t] - re[j] * sinTable[t];
        }
        outRe[k] = sr;
        outIm[k] = si;
    }
    re.swap(outRe);
    im.swap(outIm);
}

std::vector<double> signal(size_t n) {
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = std::sin(0.1 * double(i)) + 0.25 * std::cos(0.37 * double(i));
    return x;
}

void computeDftBench(benchmark::State& state) {
    const size_t n = size_t(state.range(0));
    const auto source = signal(n);
    std::vector<double> re(n), im(n);
    for (auto _ : state) {
        re = source;
        std::fill(im.begin(), im.end(), 0.0);
        pq::computeDft(re, im);
        benchmark::DoNotOptimize(re.data());
    }
}

void plainDftBench(benchmark::State& state) {
    const size_t n = size_t(state.range(0));
    const auto source = signal(n);
    std::vector<double> cosTable(n), sinTable(n);
    for (size_t k = 0; k < n; ++k) {
        cosTable[k] = std::cos(2.0 * std::numbers::pi * double(k) / double(n));
        sinTable[k] = std::sin(2.0 * std::numbers::pi * double(k) / double(n));
    }
    std::vector<double> re(n), im(n);
    for (auto _ : state) {
        re = source;
        std::fill(im.begin(), im.end(), 0.0);
        plainDft(re, im, cosTable, sinTable);
        benchmark::DoNotOptimize(re.data());
    }
}

#if PQ_BENCH_FFTW
void fftwBench(benchmark::State& state) {
    const int n = int(state.range(0));
    const auto source = signal(size_t(n));
    fftw_complex* in = fftw_alloc_complex(size_t(n));
    fftw_complex* out = fftw_alloc_complex(size_t(n));
    fftw_plan plan = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) {
            in[i][0] = source[size_t(i)];
            in[i][1] = 0.0;
        }
        fftw_execute(plan);
        benchmark::DoNotOptimize(out[0][0]);
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}
#endif

// --- Band tables ---------------------------------------------------------------------------

void bandTableBuilderBench(benchmark::State& state) {
    const auto wave = testWave(512);
    std::vector<float> work(wave.size());
    pq::BandTableBuilder builder;
    pq::BandTables tables;
    for (auto _ : state) {
        work = wave;
        builder.build(work, tables);
        benchmark::DoNotOptimize(tables[9][0]);
    }
}

void buildBandTablesBench(benchmark::State& state) {
    const auto wave = testWave(512);
    pq::BandTables tables;
    for (auto _ : state) {
        pq::buildBandTables(wave, tables);
        benchmark::DoNotOptimize(tables[9][0]);
    }
}

// Keeps each run's real time per iteration, by name, for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration) times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};

} // namespace

BENCHMARK(minimalVoiceLoop);
BENCHMARK(oscillatorMix);
BENCHMARK(plainDftBench)->Arg(2048)->Arg(1000);
BENCHMARK(computeDftBench)->Arg(2048)->Arg(1000);
#if PQ_BENCH_FFTW
BENCHMARK(fftwBench)->Arg(2048)->Arg(1000);
#endif
BENCHMARK(bandTableBuilderBench);
BENCHMARK(buildBandTablesBench);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* label, const std::string& a, const std::string& b) {
        const auto x = reporter.times.find(a), y = reporter.times.find(b);
        if (x == reporter.times.end() || y == reporter.times.end() || y->second <= 0) return;
        std::printf("%-58s %10.4g\n", label, x->second / y->second);
    };
    std::printf("\nRatios (time / baseline time, same run)\n");
    ratio("ArrayOsc Mix 7+7 voices / minimal voice loop", "oscillatorMix", "minimalVoiceLoop");
    ratio("computeDft 2048 / plain O(n^2) DFT 2048", "computeDftBench/2048", "plainDftBench/2048");
    ratio("computeDft 1000 (chirp) / plain O(n^2) DFT 1000", "computeDftBench/1000", "plainDftBench/1000");
    ratio("computeDft 2048 / FFTW 2048", "computeDftBench/2048", "fftwBench/2048");
    ratio("computeDft 1000 / FFTW 1000", "computeDftBench/1000", "fftwBench/1000");
    ratio("band tables, oscillator's builder / computeDft 2048", "bandTableBuilderBench",
          "computeDftBench/2048");
    ratio("buildBandTables (fresh builder) / computeDft 2048", "buildBandTablesBench",
          "computeDftBench/2048");
    benchmark::Shutdown();
    return 0;
}
