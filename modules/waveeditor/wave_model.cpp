#include "modules/waveeditor/wave_model.h"

#include "modules/waveeditor/wave_commands.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <sstream>

namespace pq::waveeditor {

namespace {

thread_local uint32_t randomState = 1;

bool allFinite(std::span<const float> w) {
    return std::all_of(w.begin(), w.end(), [](float x) { return std::isfinite(x); });
}

} // namespace

int32_t randomInt() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int32_t>((randomState >> 16) & 32767u);
}

void seedRandom(uint32_t seed) {
    randomState = seed;
}

void seedRandomFromClock() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    seedRandom(static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count()));
}

void fitToRange(std::span<float> wave) {
    if (wave.empty()) return;
    const auto [lo, hi] = std::minmax_element(wave.begin(), wave.end());
    const float high = *hi;
    const float low = *lo;
    // A flat wave has no range to map; scaling it would divide by zero.
    if (high == low) return;
    const float mid = (high + low) / 2.0f;
    const float scale = 0.5f / ((high - low) / 2.0f);
    for (float& x : wave)
        x = (x - mid) * scale;
}

void fitIfOutOfRange(std::span<float> wave) {
    const bool outside =
        std::any_of(wave.begin(), wave.end(), [](float x) { return x > 0.5f || !(x >= -0.5f); });
    if (outside) fitToRange(wave);
}

void rotateWave(std::span<float> wave, int64_t k, int64_t limit) {
    const auto size = static_cast<int64_t>(wave.size());
    if (k > limit || k <= 0 || k >= size) return;
    std::rotate(wave.begin(), wave.begin() + k, wave.end());
}

std::string waveNameFor(std::string_view names, int32_t select) {
    std::string text(names);
    std::replace(text.begin(), text.end(), ',', ' ');
    if (text.empty()) text = "Wave1 Wave2 Wave3 Wave4";
    std::istringstream words(text);
    std::string word;
    for (int32_t i = 0; words >> word; ++i) {
        if (i == select) {
            std::replace(word.begin(), word.end(), '_', ' ');
            return word;
        }
    }
    // Too few words (or a select outside the list): name the wave by its index.
    const int32_t index = (select >= 0 && select <= 2) ? select : 3;
    return "Wave" + std::to_string(index + 1);
}

WaveModel::WaveModel(WavePinPort& port) : port_(port) {
    seedRandomFromClock();
}

void WaveModel::applyLength(float length) {
    // NaN and lengths below one sample leave the waves empty; the upper clamp keeps a wild
    // value from taking all memory.
    float value = length;
    if (!(value >= 1.0f)) value = 0.0f;
    value = std::min(value, static_cast<float>(kMaxSampleCount));
    length_ = value;
    sampleCount_ = static_cast<int32_t>(value);
    for (Wave& w : waves_)
        w.resize(static_cast<size_t>(sampleCount_), 0.0f);
    lastIndex_ = static_cast<int32_t>(waves_[0].size()) - 1;
    for (int32_t k = 0; k < kWaveCount; ++k)
        undoWaves_[k].resize(waves_[k].size(), 0.0f);
}

void WaveModel::setSelect(int32_t select) {
    select_ = select;
}

int32_t WaveModel::selectedIndex() const {
    return (select_ >= 0 && select_ <= 2) ? select_ : 3;
}

const Wave& WaveModel::wave(int32_t k) const {
    return waves_[static_cast<size_t>(std::clamp(k, 0, 3))];
}
Wave& WaveModel::wave(int32_t k) {
    return waves_[static_cast<size_t>(std::clamp(k, 0, 3))];
}
const Wave& WaveModel::undoWave(int32_t k) const {
    return undoWaves_[static_cast<size_t>(std::clamp(k, 0, 3))];
}

bool WaveModel::takeBlob(int32_t k, const void* data, int32_t size) {
    if (k < 0 || k >= kWaveCount || size < 0) return false;
    if (static_cast<int64_t>(size) != int64_t{4} * sampleCount_) return false;
    if (size > 0 && data == nullptr) return false;
    Wave incoming(static_cast<size_t>(sampleCount_));
    if (size > 0) std::memcpy(incoming.data(), data, static_cast<size_t>(size));
    // A blob holding NaN or infinite samples is as unusable as one of the wrong size.
    if (!allFinite(incoming)) return false;
    waves_[k] = std::move(incoming);
    return true;
}

void WaveModel::copy() {
    clipboard_ = selectedWave();
}

void WaveModel::paste(bool on) {
    if (static_cast<int64_t>(clipboard_.size()) != sampleCount_) return;
    if (!on) {
        pasteLatch_ = false;
        return;
    }
    if (pasteLatch_) return;
    pasteLatch_ = true;
    const Wave pasted = clipboard_;
    commitWave(pasted);
    selectedWave() = pasted;
}

void WaveModel::sendWave(const Wave& wave) {
    const size_t n = static_cast<size_t>(sampleCount_);
    blob_.assign(n * sizeof(float), 0);
    const size_t count = std::min(n, wave.size());
    if (count > 0) std::memcpy(blob_.data(), wave.data(), count * sizeof(float));
    port_.setWavePin(selectedIndex(), blob_);
}

void WaveModel::commitWave(const Wave& wave) {
    const int32_t k = selectedIndex();
    const std::span<const uint8_t> held = port_.wavePinBytes(k);
    const size_t n = static_cast<size_t>(sampleCount_);
    if (held.size() == n * sizeof(float)) {
        Wave previous(n);
        if (n > 0) std::memcpy(previous.data(), held.data(), held.size());
        if (allFinite(previous)) undoWaves_[k] = std::move(previous);
    }
    sendWave(wave);
}

void WaveModel::keepUndo() {
    undoWaves_[static_cast<size_t>(selectedIndex())] = selectedWave();
}

void WaveModel::undo() {
    const int32_t k = selectedIndex();
    selectedWave() = undoWaves_[k];
    const Wave restored = selectedWave();
    commitWave(restored);
}

void WaveModel::runEntry(const CommandEntry& entry, float n, float a, FitFn fit, FitFn fitIfOut) {
    if (entry.run == nullptr || sampleCount_ <= 0) return;
    Wave& wave = selectedWave();
    CommandContext context{wave, length_,    sampleCount_, lastIndex_, n,
                           a,    clipboard_, &scratch_,    fit,        fitIfOut};
    const Wave before = wave;
    switch (entry.run(context)) {
    case Outcome::nothing:
        wave = before;
        break;
    case Outcome::commit:
        if (allFinite(wave)) {
            const Wave result = wave;
            commitWave(result);
        } else {
            wave = before;
        }
        break;
    case Outcome::commitOut:
        wave = before;
        if (allFinite(scratch_)) {
            const Wave result = scratch_;
            commitWave(result);
        }
        break;
    case Outcome::copy:
        wave = before;
        copy();
        break;
    case Outcome::undo:
        wave = before;
        undo();
        break;
    }
}

void WaveModel::runGenerator(int32_t index, float n, float a) {
    int32_t g = index;
    if (g < 0 && !generatorStarted_) g = 0;
    generatorStarted_ = true;
    if (g == -1) return;
    if (g < 0 || g >= static_cast<int32_t>(kGeneratorCount)) g = static_cast<int32_t>(kGeneratorCount) - 1;
    runEntry(kGenerators[static_cast<size_t>(g)], n, a);
}

void WaveModel::runModifier(int32_t index, float n, float a) {
    int32_t m = index;
    if (m < 0 && !modifierStarted_) m = 0;
    modifierStarted_ = true;
    if (m < 0 || m >= static_cast<int32_t>(kModifierCount)) return;
    runEntry(kModifiers[static_cast<size_t>(m)], n, a);
}

} // namespace pq::waveeditor
