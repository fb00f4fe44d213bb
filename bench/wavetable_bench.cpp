// Costs of the wave-table code and the envelope, each printed after the usual table as a
// ratio against a baseline measured in the same run, beside its target:
//   - F, one 2048-point complex double forward transform by FFTW (when pkg-config finds it;
//     the benchmark only, nothing of the pack links it): ten band tables of a new wave, and
//     computeDft at 2048 and 1000 points;
//   - the minimal voice loop (a phase step and one interpolated read per voice, one voice
//     after another, at the baseline flags): ArrayOsc in Mix with 7 + 7 voices, per
//     voice-sample, in AVX2 lanes where the processor has them and held to the SSE2 lanes;
//   - the bare one-multiply recursion of a curved segment: Envelope3 during a long attack.
// Ratios are taken on CPU time, from the medians when the run has repetitions
// (--benchmark_repetitions=N), so that other work on a shared machine weighs less.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "host/audio_instance.h"
#include "modules/envelope/envelope3.h"
#include "modules/wavetable/array_osc.h"
#include "modules/wavetable/band_tables.h"
#include "modules/wavetable/dft.h"
#include "tests/support/direct_module.h"
#include "tests/wavetable/reference_band_tables.h"

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
    // Argument 1: the voices held to the four-voice SSE2 lanes of the x86-64 baseline.
    pqtest::moduleOf<ArrayOsc>(*osc).setWideLanes(state.range(0) == 0);
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

// The transform computeDft runs, held at the x86-64 baseline's 128-bit vectors.
void baselineDftBench(benchmark::State& state) {
    const size_t n = size_t(state.range(0));
    const auto source = signal(n);
    pq::dft::Plan plan(n, pq::dft::Vectors::Baseline);
    std::vector<double> re(n), im(n), tmpRe(n), tmpIm(n);
    for (auto _ : state) {
        re = source;
        std::fill(im.begin(), im.end(), 0.0);
        plan.forward(re.data(), im.data(), re.data(), im.data(), tmpRe.data(), tmpIm.data());
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
    pq::BandTableBuilder builder(state.range(0) ? pq::dft::Vectors::Baseline : pq::dft::Vectors::Best);
    pq::BandTables tables;
    for (auto _ : state) {
        work = wave;
        builder.build(work, tables);
        benchmark::DoNotOptimize(tables[9][0]);
    }
}

// The builder as it was before the real-input transforms: complex 2048-point transforms.
void earlierBandTableBuilderBench(benchmark::State& state) {
    const auto wave = testWave(512);
    std::vector<float> work(wave.size());
    wavetest::ReferenceBandTableBuilder builder;
    pq::BandTables tables;
    for (auto _ : state) {
        work = wave;
        builder.build(work, tables);
        benchmark::DoNotOptimize(tables[9][0]);
    }
}

// --- Envelope ------------------------------------------------------------------------------

// Envelope3 inside an attack of the longest length, so that every block is the ramp routine.
void envelopeAttack(benchmark::State& state) {
    pqhost::AudioEngine engine(48000.0f, kBlock);
    auto env = pqtest::makeDirect<Envelope3>(engine);
    // Trigger, Gate, Attack, Decay, Sustain, Release, Overall Level, three curves; output 10.
    const float values[] = {0.0f, 0.0f, 2.0f, 0.5f, 0.7f, 0.4f, 1.0f, 0.3f, 0.0f, 0.0f};
    for (int32_t pin = 0; pin < 10; ++pin)
        std::fill_n(env->addAudioPin(pin), kBlock, values[pin]);
    env->addAudioPin(10);
    env->open();
    env->queueGraphStart();
    for (int32_t pin = 0; pin < 10; ++pin)
        env->queueStreaming(0, pin, false);
    env->runBlock();
    std::fill_n(env->buffer(1), kBlock, 1.0f); // the gate rises: the attack starts
    env->queueStreaming(0, 1, false);
    env->runBlock();
    for (auto _ : state) {
        env->processRaw(kBlock, nullptr);
        benchmark::DoNotOptimize(env->buffer(10)[kBlock - 1]);
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// The recursion alone: level += (asymptote - level) * coefficient, written out per sample.
void bareRecursion(benchmark::State& state) {
    std::vector<float> out(kBlock);
    double level = 0.0;
    const double asymptote = 1.3, coefficient = 1e-9;
    for (auto _ : state) {
        for (int32_t i = 0; i < kBlock; ++i) {
            level += (asymptote - level) * coefficient;
            out[size_t(i)] = static_cast<float>(level);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// Keeps each benchmark's CPU time per iteration, by name: the median of its repetitions when
// there are any, else its one run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[name] = run.GetAdjustedCPUTime();
            else if (run.run_type == Run::RT_Iteration)
                singles[name] = run.GetAdjustedCPUTime();
        }
    }
    // The time of `name`, or a negative number when it did not run.
    double time(const std::string& name) const {
        if (auto it = medians.find(name); it != medians.end()) return it->second;
        if (auto it = singles.find(name); it != singles.end()) return it->second;
        return -1.0;
    }

private:
    std::map<std::string, double> medians, singles;
};

} // namespace

BENCHMARK(minimalVoiceLoop);
BENCHMARK(oscillatorMix)->ArgName("baseline")->Arg(0)->Arg(1);
BENCHMARK(plainDftBench)->Arg(2048)->Arg(1000);
BENCHMARK(computeDftBench)->Arg(2048)->Arg(1000);
BENCHMARK(baselineDftBench)->Arg(2048)->Arg(1000);
#if PQ_BENCH_FFTW
BENCHMARK(fftwBench)->Arg(2048)->Arg(1000);
#endif
BENCHMARK(bandTableBuilderBench)->ArgName("baseline")->Arg(0)->Arg(1);
BENCHMARK(earlierBandTableBuilderBench);
BENCHMARK(bareRecursion);
BENCHMARK(envelopeAttack);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // target <= 0: no target, the ratio is for information.
    auto ratio = [&](const char* label, const std::string& a, const std::string& b, double target) {
        const double x = reporter.time(a), y = reporter.time(b);
        if (x < 0 || y <= 0) return;
        const double r = x / y;
        if (target > 0)
            std::printf("%-56s %9.3g   target <= %-5g %s\n", label, r, target,
                        r <= target ? "met" : "MISSED");
        else
            std::printf("%-56s %9.3g\n", label, r);
    };
    std::printf("\nRatios (CPU time / baseline CPU time, same run; medians when repeated)\n");
    std::printf("Transforms in 256-bit vectors where the processor has them: %s\n",
                pq::dft::wideVectorsAvailable() ? "yes" : "no");
    const std::string tables = "bandTableBuilderBench/baseline:0",
                      tablesSse2 = "bandTableBuilderBench/baseline:1";
#if PQ_BENCH_FFTW
    const std::string f = "fftwBench/2048";
    ratio("ten band tables of a new wave / F", tables, f, 10.0);
    ratio("computeDft 2048 / F", "computeDftBench/2048", f, 2.0);
    ratio("computeDft 1000 / F", "computeDftBench/1000", f, 4.0);
    ratio("  the same at the SSE2 baseline: ten band tables / F", tablesSse2, f, 10.0);
    ratio("  computeDft 2048 / F", "baselineDftBench/2048", f, 2.0);
    ratio("  computeDft 1000 / F", "baselineDftBench/1000", f, 4.0);
    ratio("computeDft 1000 / FFTW 1000", "computeDftBench/1000", "fftwBench/1000", 0.0);
    ratio("earlier band-table builder / F", "earlierBandTableBuilderBench", f, 0.0);
#else
    std::printf("(FFTW not found by pkg-config: the ratios against F are left out)\n");
#endif
    ratio("band tables: builder / earlier builder", tables, "earlierBandTableBuilderBench", 0.0);
    ratio("band tables / computeDft 2048", tables, "computeDftBench/2048", 0.0);
    ratio("computeDft 2048 / plain O(n^2) DFT 2048", "computeDftBench/2048", "plainDftBench/2048", 0.0);
    ratio("computeDft 1000 / plain O(n^2) DFT 1000", "computeDftBench/1000", "plainDftBench/1000", 0.0);
    std::printf("Oscillator voices in eight-voice AVX2 lanes where the processor has them: %s\n",
                pq::wideVoiceLanesAvailable() ? "yes" : "no");
    ratio("ArrayOsc Mix 7+7 voices / minimal voice loop", "oscillatorMix/baseline:0", "minimalVoiceLoop",
          0.7);
    ratio("  the same in the SSE2 baseline's four-voice lanes", "oscillatorMix/baseline:1",
          "minimalVoiceLoop", 0.7);
    ratio("Envelope3 attack / bare recursion, per sample", "envelopeAttack", "bareRecursion", 1.25);
    benchmark::Shutdown();
    return 0;
}
