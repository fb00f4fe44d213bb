// Generators: each fills the selected wave with a newly computed shape.
//
// Arithmetic is in single precision in the order the steps are written, except where a step
// is marked as double. Loops that run "for each j < L" stop at the wave's last sample, so a
// fractional Wave Length never reaches past the wave.
#include "modules/waveeditor/wave_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace pq::waveeditor {

using namespace detail;

namespace {

float sampleIndex(size_t j) {
    return static_cast<float>(j);
}

// Random value from -0.5 to 0.5.
float randomUnit() {
    return static_cast<float>(randomInt()) * 3.0518509e-05f - 0.5f;
}

int32_t random(int32_t m) {
    return randomInt() % m;
}

bool isPrime(int64_t p) {
    if (p < 2) return false;
    for (int64_t d = 2; d * d <= p; ++d)
        if (p % d == 0) return false;
    return true;
}

// x^e with x not below 0: the accumulated x of the power curves can end a rounding error
// below 0, where a fractional power has no real value.
float power(float x, float e) {
    return std::pow(std::max(x, 0.0f), e);
}

// Harmonics 1..H of the table t (amplitude t[c - 1] + 0.5), H = min(trunc(N), n / 2).
void synthesizeHarmonics(CommandContext& c, const std::vector<float>& t) {
    const int64_t h = std::min<int64_t>(static_cast<int64_t>(t.size()), c.n / 2);
    zero(c.w);
    for (int64_t p = 1; p <= h; ++p) {
        const float omega = static_cast<float>(p) * kTwoPi;
        const float a = t[static_cast<size_t>(p - 1)] + 0.5f;
        for (size_t j = 0; j < c.w.size(); ++j)
            c.w[j] += std::sin((sampleIndex(j) / c.length) * omega) * a;
    }
}

// Random power-curve segments; `orientations` 3 or 4 (the fourth keeps the segment).
void segments(CommandContext& c, int64_t count, int32_t orientations) {
    const int64_t len = c.n / count;
    // With more segments than samples every segment is empty and the wave keeps its samples.
    if (len <= 0) return;
    const float delta = 1.0f / static_cast<float>(len);
    for (int64_t q = 0; q < count; ++q) {
        const auto first = c.w.begin() + q * len;
        const auto last = first + len;
        const float e = static_cast<float>(randomInt()) * 1.5260186e-04f + 1.0f;
        float x = 0.0f;
        for (auto it = first; it != last; ++it) {
            *it = std::pow(x, e);
            x += delta;
        }
        for (auto it = first; it != last; ++it)
            *it -= 0.5f;
        const int32_t orientation = random(orientations);
        if (orientation == 0 || orientation == 2)
            for (auto it = first; it != last; ++it)
                *it = -*it;
        if (orientation == 1 || orientation == 2) std::reverse(first, last);
    }
}

// Falling (from 1) or rising (from 0) curve x^(A * 5 + 1), moved down by 0.5.
void powerCurve(CommandContext& c, bool falling) {
    const float e = c.A * 5.0f + 1.0f;
    float x = falling ? 1.0f : 0.0f;
    for (float& sample : c.w) {
        sample = power(x, e);
        if (falling)
            x -= 1.0f / c.length;
        else
            x += 1.0f / c.length;
    }
    for (float& sample : c.w)
        sample -= 0.5f;
}

void negate(std::span<float> w) {
    for (float& x : w)
        x = -x;
}

// The notes spelled by the decimal digits of trunc(N): "10", "20", "30" are 10, 11, 12.
std::vector<int32_t> arpNoteList(float value) {
    double whole = std::trunc(static_cast<double>(value));
    if (whole == 0.0) whole = 0.0; // no "-0"
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.0f", whole);
    const std::string text(digits);
    std::vector<int32_t> notes;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const bool zeroNext = i + 1 < text.size() && text[i + 1] == '0';
        if (ch == '/') break;
        if (ch == '1' || ch == '2' || ch == '3') {
            if (zeroNext) {
                notes.push_back(ch == '1' ? 10 : ch == '2' ? 11 : 12);
                ++i;
            } else if (ch == '1') {
                notes.push_back(i + 1 < text.size() ? 0 : 1);
            } else {
                notes.push_back(ch - '0');
            }
        } else {
            notes.push_back(ch - '0');
        }
    }
    return notes;
}

} // namespace

namespace gen {

Outcome sine(CommandContext& c) {
    for (size_t j = 0; j < c.w.size(); ++j)
        c.w[j] = std::sin((sampleIndex(j) / c.length) * kTwoPi) * 0.5f;
    return Outcome::commit;
}

Outcome rampUp(CommandContext& c) {
    float v = -0.5f;
    for (float& x : c.w) {
        v += 1.0f / c.length;
        x = v;
    }
    return Outcome::commit;
}

Outcome rampDown(CommandContext& c) {
    float v = 0.5f;
    for (float& x : c.w) {
        v -= 1.0f / c.length;
        x = v;
    }
    return Outcome::commit;
}

Outcome square(CommandContext& c) {
    for (size_t j = 0; j < c.w.size(); ++j)
        c.w[j] = sampleIndex(j) < c.length * 0.5f ? 0.5f : -0.5f;
    return Outcome::commit;
}

Outcome triangle(CommandContext& c) {
    float v = -0.5f;
    for (size_t j = 0; j < c.w.size(); ++j) {
        if (sampleIndex(j) >= c.length * 0.5f)
            v -= 2.0f / c.length;
        else
            v += 2.0f / c.length;
        c.w[j] = v;
    }
    return Outcome::commit;
}

Outcome fibonacci(CommandContext& c) {
    zero(c.w);
    float a = 1.0f;
    float f = 1.0f;
    float g = 1.0f;
    for (int i = 0; i < 17; ++i) {
        addPartial(c, f, 0.5f * a);
        a -= 0.05882353f;
        const float next = f + g;
        g = f;
        f = next;
    }
    c.fit(c.w);
    return Outcome::commit;
}

Outcome primes(CommandContext& c) {
    zero(c.w);
    const int64_t count = truncSat(static_cast<float>(c.n) * c.A * 0.5f);
    const float d = 1.0f / static_cast<float>(count);
    const int64_t top = std::min(count, partialLimit(c.n) + 1);
    float a = 1.0f;
    for (int64_t p = 3; p < top; p += 2) {
        if (!isPrime(p)) continue;
        addPartial(c, static_cast<float>(p), 0.5f * a);
        a -= d;
    }
    c.fit(c.w);
    return Outcome::commit;
}

Outcome voxel(CommandContext& c) {
    if (!(c.N > 0.0f)) return Outcome::nothing;
    const float m = std::trunc(c.N);
    const float a = c.A;
    // Only the entries that become harmonics are built; the curve's constants still use M.
    const int64_t entries = std::min<int64_t>(truncSat(m), c.n / 2);
    float p = static_cast<float>((1.0 - static_cast<double>(a)) * 0.15 + 0.5 / static_cast<double>(m));
    const int64_t c1 = truncSat(a * 4.0f + 1.0f);
    const float peak = static_cast<float>((static_cast<double>(a) * 0.5 + static_cast<double>(p)) +
                                          0.25 / static_cast<double>(m));
    const float rise = peak / static_cast<float>(c1);
    const int64_t c2 = truncSat(m * 0.1f + static_cast<float>(c1));
    const float fall = (peak - peak / (m - 7.0f)) / static_cast<float>(c2 - c1);
    const int64_t c3 = truncSat(m * 0.5f + static_cast<float>(c2));
    const float d3 = 1.0f / (m - static_cast<float>(c3));
    const double exponent = static_cast<double>(m) * 0.1;
    // Values the third branch sets; a negative A can reach the fourth branch without it.
    float a2 = 0.0f;
    float a3 = 0.0f;
    float step = 0.0f;
    std::vector<float> t(static_cast<size_t>(std::max<int64_t>(entries, 0)));
    for (int64_t e = 0; e < entries; ++e) {
        float& out = t[static_cast<size_t>(e)];
        if (e < c1) {
            p += rise;
            out = p - 0.5f;
        } else if (e < c2) {
            p -= fall;
            out = p - 0.5f;
        } else if (e == c2) {
            a2 = 1.0f - p;
            step = a2 / static_cast<float>(c3 - c2);
            a3 = p;
            p += step;
            out = static_cast<float>(static_cast<double>(a3) + std::pow(static_cast<double>(p), exponent) -
                                     0.5);
        } else if (e < c3) {
            p += step;
            out = static_cast<float>(static_cast<double>(a2) * std::pow(static_cast<double>(p), exponent) +
                                     static_cast<double>(a3) - 0.5);
        } else {
            p -= d3;
            out = p * p - 0.5f;
        }
    }
    synthesizeHarmonics(c, t);
    c.fitIfOut(c.w);
    return Outcome::commit;
}

Outcome metallic(CommandContext& c) {
    if (!(c.A > 0.0f)) return Outcome::nothing;
    zero(c.w);
    const int64_t h = std::min(truncSat(static_cast<float>(c.n) * c.A * 0.5f), partialLimit(c.n));
    for (int64_t p = 1; p <= h; ++p) {
        const float pf = static_cast<float>(p);
        const float a = 0.5f / pf;
        const float advance = pf * pf;
        for (size_t j = 0; j < c.w.size(); ++j)
            c.w[j] += a * std::sin((sampleIndex(j) / c.length) * advance + kTwoPi);
    }
    c.fitIfOut(c.w);
    return Outcome::commit;
}

Outcome additiveCopy(CommandContext& c) {
    if (!clipboardFits(c)) return Outcome::nothing;
    const int64_t h = std::min(truncSat(c.N), static_cast<int64_t>(c.n / 2));
    zero(c.w);
    for (int64_t p = 1; p <= h; ++p)
        addPartial(c, static_cast<float>(p), c.clipboard[static_cast<size_t>(p - 1)] + 0.5f);
    c.fitIfOut(c.w);
    return Outcome::commit;
}

Outcome inharmonicCopy(CommandContext& c) {
    if (!clipboardFits(c)) return Outcome::nothing;
    zero(c.w);
    float r = 1.0f;
    const int64_t h = std::min(truncSat(c.N), static_cast<int64_t>(c.n / 2));
    for (int64_t p = 1; p <= h; ++p) {
        const int64_t m = truncSat(c.length / r);
        float delta = 1.0f / static_cast<float>(m);
        const float a = (c.clipboard[static_cast<size_t>(p - 1)] + 0.5f) / static_cast<float>(p);
        const float fraction = r - std::trunc(r);
        float g = 0.0f;
        if (p == 1 || (fraction < 0.02f && fraction > -0.02f)) {
            g = 1.0f;
            delta = 0.0f;
        }
        const float omega = r * kTwoPi;
        for (size_t j = 0; j < c.w.size(); ++j) {
            const auto ji = static_cast<int64_t>(j);
            if (ji < m) {
                c.w[j] += std::sin((sampleIndex(j) / c.length) * omega) * g * a;
                g += delta;
            } else {
                float v = std::sin((sampleIndex(j) / c.length) * omega);
                if (ji > c.lastIndex - m) {
                    v *= g;
                    g -= delta;
                }
                c.w[j] += v * a;
            }
        }
        r += c.A;
    }
    c.fit(c.w);
    return Outcome::commit;
}

Outcome nthHarmonic(CommandContext& c) {
    if (!(c.N >= 1.0f)) return Outcome::nothing;
    zero(c.w);
    const int64_t top = std::min(truncSat(c.A * 100.0f), partialLimit(c.n));
    const int64_t step = truncSat(c.N);
    for (int64_t p = 1; p <= top; p += step) {
        const float a = p == 1 ? 1.0f : 1.0f / static_cast<float>(p);
        addPartial(c, static_cast<float>(p), 0.5f * a);
    }
    c.fit(c.w);
    return Outcome::commit;
}

Outcome nthRandovertone(CommandContext& c) {
    if (!(c.N >= 1.0f)) return Outcome::nothing;
    zero(c.w);
    const int64_t top = std::min(truncSat(c.A * 100.0f), partialLimit(c.n));
    const int64_t step = truncSat(c.N);
    for (int64_t p = 1; p <= top; p += step) {
        float a = 1.0f / static_cast<float>(p);
        const int64_t m = truncSat(a * c.length);
        float delta = 1.0f / static_cast<float>(m);
        float r = 1.0f;
        float g = 1.0f;
        if (p == 1) {
            a = 1.0f;
            delta = 0.0f;
        } else {
            r = static_cast<float>(p) + static_cast<float>(randomInt()) * 7.629627e-05f;
            g = 0.0f;
        }
        const float omega = r * kTwoPi;
        const float fadeFrom = c.length - static_cast<float>(m);
        for (size_t j = 0; j < c.w.size(); ++j) {
            float v = 0.0f;
            if (static_cast<int64_t>(j) < m) {
                c.w[j] += std::sin((sampleIndex(j) / c.length) * omega) * 0.5f * g * a;
                g += delta;
                continue;
            }
            if (sampleIndex(j) > fadeFrom) {
                v = std::sin((sampleIndex(j) / c.length) * omega) * 0.5f * g;
                g -= delta;
            } else {
                v = std::sin((sampleIndex(j) / c.length) * omega) * 0.5f;
            }
            c.w[j] += v * a;
        }
    }
    c.fit(c.w);
    return Outcome::commit;
}

Outcome randomWave(CommandContext& c) {
    zero(c.w);
    const int32_t count = random(30) + 2;
    for (int32_t p = 1; p <= count; ++p) {
        const float a = static_cast<float>(random(900) + 100) * 0.001f;
        addPartial(c, static_cast<float>(p), 0.5f * a);
        rotateWave(c.w, random(c.n), c.n);
    }
    c.fit(c.w);
    if (random(10) != 1) return Outcome::commit;

    // Warp: read the wave back at a speed set by a random curve.
    const size_t s = c.w.size();
    const int32_t speed = random(8) + 1;
    const float sf = static_cast<float>(speed);
    const int32_t shape = random(4);
    std::vector<float> curve(s);
    if (shape == 0) {
        for (size_t j = 0; j < s; ++j)
            curve[j] = std::sin((sampleIndex(j) / c.length) * (sf * kPi)) * 0.5f;
    } else if (shape == 1) {
        float v = 0.5f;
        for (float& x : curve) {
            v -= sf / c.length;
            if (v < -0.5f) v = 0.5f;
            x = v;
        }
    } else if (shape == 2) {
        int64_t i = 0;
        float sign = 1.0f;
        for (float& x : curve) {
            if (i > c.lastIndex) {
                i -= c.lastIndex;
                sign = -sign;
            }
            x = sign * 0.5f;
            i += speed;
        }
    } else {
        float v = -0.5f;
        const float u = 2.0f / c.length * sf;
        float sign = 1.0f;
        for (float& x : curve) {
            const float turned = v <= 0.5f ? sign : -sign;
            sign = v >= -0.5f ? turned : -turned;
            v += sign * u;
            x = v;
        }
    }
    const float variation =
        static_cast<float>(static_cast<double>(randomInt()) * 3.0518509e-05 + 0.9 + 0.00001);
    const float gain = 0.2f / static_cast<float>(count) * variation;
    Wave& out = *c.out;
    out.assign(s, 0.0f);
    int64_t pos = 0;
    const auto size = static_cast<int64_t>(s);
    for (size_t e = 0; e < s; ++e) {
        int64_t i = pos > c.lastIndex ? pos - c.lastIndex : pos;
        i = std::max<int64_t>(i, 0);
        // A very short wave can leave the read position past the end after one wrap.
        if (i >= size) i %= size;
        out[e] = c.w[static_cast<size_t>(i)];
        pos = truncSat((curve[e] + 0.5f) * static_cast<float>(s) * gain + 1.0f) + i;
    }
    std::copy(out.begin(), out.end(), c.w.begin());
    return Outcome::commit;
}

Outcome randomLines(CommandContext& c) {
    const int64_t s = static_cast<int64_t>(c.w.size());
    const int64_t count = random(30) * 2 + 4;
    const int64_t len = s / count;
    float y = randomUnit();
    randomInt(); // drawn and not used, which keeps the sequence of the random source
    int64_t start = 0;
    for (int64_t q = 0; q < count - 1; ++q) {
        const int64_t end = start + len;
        const float z = randomUnit();
        for (int64_t j = start; j < end; ++j)
            c.w[static_cast<size_t>(j)] =
                static_cast<float>(j - start) * (z - y) * (1.0f / static_cast<float>(end - start)) + y;
        y = z;
        start = end;
    }
    // The closing segment leads back towards the first sample. On a wave shorter than the
    // segment count all other segments are empty and it spans the whole wave.
    const float first = c.w[0];
    const float span = static_cast<float>(len > 0 ? len : s - start);
    for (int64_t j = start; j < s; ++j)
        c.w[static_cast<size_t>(j)] = static_cast<float>(j - start) * (first - y) * (1.0f / span) + y;
    c.fit(c.w);
    return Outcome::commit;
}

Outcome randomSegment(CommandContext& c) {
    segments(c, random(8) * 2 + 2, 3);
    return Outcome::commit;
}

Outcome randomSegment4(CommandContext& c) {
    segments(c, random(8) * 2 + 2, 4);
    return Outcome::commit;
}

Outcome randNSegments(CommandContext& c) {
    const int64_t count = truncSat(c.N);
    if (count > 0) segments(c, count, 4);
    return Outcome::commit;
}

Outcome binaryNoise(CommandContext& c) {
    for (float& x : c.w)
        x = static_cast<float>(random(2)) - 0.5f;
    return Outcome::commit;
}

Outcome exponentialDown(CommandContext& c) {
    powerCurve(c, true);
    return Outcome::commit;
}

Outcome logarithmicDown(CommandContext& c) {
    powerCurve(c, false);
    negate(c.w);
    return Outcome::commit;
}

Outcome exponentialUp(CommandContext& c) {
    powerCurve(c, false);
    return Outcome::commit;
}

Outcome logarithmicUp(CommandContext& c) {
    powerCurve(c, true);
    negate(c.w);
    return Outcome::commit;
}

Outcome randomArp(CommandContext& c) {
    const int64_t hold = c.n / (random(4) * 2 + 2);
    int64_t counter = 0;
    float v = -0.5f;
    for (float& x : c.w) {
        if (counter > hold) {
            counter = 0;
            v = static_cast<float>(random(12)) * 0.083333336f - 0.5f;
        }
        x = v;
        ++counter;
    }
    return Outcome::commit;
}

Outcome arpNotes(CommandContext& c) {
    if (!std::isfinite(c.N)) return Outcome::nothing;
    const std::vector<int32_t> notes = arpNoteList(c.N);
    if (notes.empty()) return Outcome::nothing;
    const int64_t hold = c.n / static_cast<int64_t>(notes.size());
    size_t e = 0;
    int64_t counter = 0;
    for (float& x : c.w) {
        if (counter > hold) e = std::min(e + 1, notes.size() - 1);
        x = static_cast<float>(notes[e]) * 0.083333336f - 0.5f;
        counter = (counter <= hold ? counter : 0) + 1;
    }
    return Outcome::commit;
}

Outcome flat(CommandContext& c) {
    zero(c.w);
    return Outcome::commit;
}

} // namespace gen

const std::array<CommandEntry, kGeneratorCount> kGenerators = {{
    {"SINE", gen::sine},
    {"RAMP UP", gen::rampUp},
    {"RAMP DOWN", gen::rampDown},
    {"SQUARE", gen::square},
    {"TRIANGLE", gen::triangle},
    {"FIBONACCI", gen::fibonacci},
    {"PRIMES [A]", gen::primes},
    {"VOXEL[N+A]", gen::voxel},
    {"METALLIC [A]", gen::metallic},
    {"----", nullptr},
    {"ADDITIVE COPY [N]", gen::additiveCopy},
    {"INHARMONIC COPY [N+A]", gen::inharmonicCopy},
    {"NTH HARMONIC [N+A] ", gen::nthHarmonic},
    {"NTH RANDOVERTONE [N+A]", gen::nthRandovertone},
    {"----", nullptr},
    {"RANDOM WAVE", gen::randomWave},
    {" RANDOM LINES", gen::randomLines},
    {"RANDOM SEGMENT", gen::randomSegment},
    {"RAND [N] SEGMENTS", gen::randNSegments},
    {"BINARY NOISE", gen::binaryNoise},
    {"----", nullptr},
    {"EXPONENTIAL DOWN [A]", gen::exponentialDown},
    {"LOGARITHMIC DOWN [A]", gen::logarithmicDown},
    {"EXPONENTIAL UP [A]", gen::exponentialUp},
    {"LOGARITHMIC UP [A]", gen::logarithmicUp},
    {"----", nullptr},
    {"RANDOM ARP", gen::randomArp},
    {" ARP [N] NOTES", gen::arpNotes},
    {" FLAT", gen::flat},
}};

} // namespace pq::waveeditor
