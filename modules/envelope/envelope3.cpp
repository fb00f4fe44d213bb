#include "modules/envelope/envelope3.h"

#include <algorithm>
#include <cmath>

#include "modules/envelope/envelope_curve.h"
#include "runtime/audio/edition.h"

namespace {
constexpr auto kExponentForm =
    pq::kSingleModuleBuild ? pq::envelope::ExponentForm::SingleModule : pq::envelope::ExponentForm::Newest;
} // namespace

Envelope3::Envelope3() {
    pq::attachPins<kPins>(this, trigger, gate, attack, decay, sustain, release, overallLevel, attackCurve,
                          decayCurve, releaseCurve, signalOut, voiceReset);
}

int32_t Envelope3::open() {
    stage = kEndStage;
    stageRoutine = &Envelope3::segmentNone;
    return MpBase::open();
}

void Envelope3::onSetPins() {
    const int32_t position = getBlockPosition();
    bool reset = false;
    if (voiceReset.isUpdated() && voiceReset.getValue() > 0.0f) {
        stage = kEndStage;
        level = 0.0;
        gateState = triggerState = false;
        startStage(position);
        reset = true;
    }

    if (reset || gate.isUpdated() || trigger.isUpdated()) {
        if (gate.isStreaming() || trigger.isStreaming()) {
            setSubProcess(&Envelope3::subProcessGateScan);
            return;
        }
        handleGateTrigger(position, gate.getValue(position), trigger.getValue(position));
        // Gate and trigger stopped streaming without an edge, or nothing has been started
        // yet (a gate already high at load): settle on the current stage so that the block
        // routine renders it and the module can sleep while it holds.
        if (isSavedSubProcess(static_cast<SubProcess>(&Envelope3::subProcessGateScan)) ||
            stageRoutine == &Envelope3::segmentNone) {
            startStage(position);
        }
        return;
    }

    if (isHolding && stage >= kEndStage) return;
    // News of the stage's time or target recomputes the stage from the current level; the
    // range stays measured from where the stage began. Curves and "Overall Level" are read
    // at stage starts only.
    const AudioInPin* time = stage == kAttackStage ? &attack : stage == kSustainStage ? &decay : &release;
    if (time->isUpdated() || (stage == kSustainStage && sustain.isUpdated())) startStage(position);
}

void Envelope3::handleGateTrigger(int32_t position, float gateValue, float triggerValue) {
    const bool t = triggerValue > 0.0f;
    const bool g = gateValue > 0.0f;
    if (t != triggerState) {
        triggerState = t;
        // A trigger rising while the gate is high counts as a new gate.
        if (t && g) gateState = false;
    }
    if (g == gateState) return;
    gateState = g;
    if (g) {
        stage = -1; // nextStage moves on to the attack
    } else if (stage != kSustainStage) {
        stage = kSustainStage; // nextStage moves on to the release, the gate being low
    }
    nextStage(position);
}

void Envelope3::nextStage(int32_t position) {
    isHolding = true;
    if (stage < kEndStage) {
        const bool sustains = stage == kSustainStage && gate.getValue(position) > 0.0f;
        if (!sustains) {
            ++stage;
            isHolding = false;
        }
    }
    stageStartLevel = level;
    startStage(position);
}

void Envelope3::chooseBlockRoutine() {
    if (gate.isStreaming() || trigger.isStreaming())
        setSubProcess(&Envelope3::subProcessGateScan);
    else
        setSubProcess(&Envelope3::subProcessStages);
}

void Envelope3::startStage(int32_t position) {
    // Hostile input (NaN or infinite levels) must not outlive a stage start.
    if (!std::isfinite(level)) level = 0.0;
    if (!std::isfinite(stageStartLevel)) stageStartLevel = 0.0;
    if (stage == kEndStage) {
        targetLevel = 0.0f;
    } else if (stage == kSustainStage) {
        targetLevel = sustain.getValue(position);
        if (!std::isfinite(targetLevel)) targetLevel = 0.0f;
    } else {
        targetLevel = 1.0f;
    }
    targetLevelExact = targetLevel;

    const bool sustainStreams = sustain.isStreaming();
    const bool levelStreams = overallLevel.isStreaming();
    bool outputStreams = true;
    if (isHolding) {
        level = targetLevelExact;
        if (stage == kSustainStage) {
            if (sustainStreams) {
                stageRoutine = levelStreams ? &Envelope3::segmentSustain<true, true>
                                            : &Envelope3::segmentSustain<true, false>;
            } else {
                stageRoutine = levelStreams ? &Envelope3::segmentSustain<false, true>
                                            : &Envelope3::segmentSustain<false, false>;
            }
            outputStreams = sustainStreams || levelStreams;
        } else {
            stageRoutine = &Envelope3::segmentIdle;
            outputStreams = false;
        }
    } else {
        // A stage whose target is where the level already is ends at once.
        if (targetLevel - static_cast<float>(level) == 0.0f) {
            nextStage(position);
            return;
        }
        const AudioInPin& time = stage == kAttackStage ? attack : stage == kSustainStage ? decay : release;
        const AudioInPin& curve = stage == kAttackStage    ? attackCurve
                                  : stage == kSustainStage ? decayCurve
                                                           : releaseCurve;
        const double range = stage == kAttackStage    ? 1.0 - stageStartLevel
                             : stage == kSustainStage ? std::fabs(stageStartLevel - targetLevelExact)
                                                      : stageStartLevel;
        const float seconds = pq::envelope::stageSeconds(time.getValue(position), kExponentForm);
        const pq::envelope::Ramp ramp =
            pq::envelope::makeRamp(level, targetLevelExact, range, curve.getValue(position), seconds,
                                   static_cast<double>(getSampleRate()));
        coefficient = ramp.coefficient;
        asymptote = ramp.asymptote;
        distance = ramp.distance;
        growth = ramp.growth;
        rampSamplesLeft = ramp.sampleLimit;

        const RampEnd end = targetLevelExact > level                   ? RampEnd::Rise
                            : stage == kSustainStage && sustainStreams ? RampEnd::DecayToSustain
                                                                       : RampEnd::Fall;
        switch (end) {
        case RampEnd::Rise:
            stageRoutine = ramp.tracksDistance ? rampRoutine<RampEnd::Rise, true>(levelStreams)
                                               : rampRoutine<RampEnd::Rise, false>(levelStreams);
            break;
        case RampEnd::Fall:
            stageRoutine = ramp.tracksDistance ? rampRoutine<RampEnd::Fall, true>(levelStreams)
                                               : rampRoutine<RampEnd::Fall, false>(levelStreams);
            break;
        case RampEnd::DecayToSustain:
            stageRoutine = ramp.tracksDistance ? rampRoutine<RampEnd::DecayToSustain, true>(levelStreams)
                                               : rampRoutine<RampEnd::DecayToSustain, false>(levelStreams);
            break;
        }
    }
    chooseBlockRoutine();
    signalOut.setStreaming(outputStreams, position);
}

void Envelope3::subProcessStages(int32_t offset, int32_t count) {
    (this->*stageRoutine)(offset, count);
    while (remainingSamples > 0) {
        offset += count - remainingSamples;
        count = remainingSamples;
        (this->*stageRoutine)(offset, count);
    }
}

void Envelope3::subProcessGateScan(int32_t offset, int32_t count) {
    const float* gateIn = gate.getBuffer();
    const float* triggerIn = trigger.getBuffer();
    const int32_t end = offset + count;
    int32_t runStart = offset;
    for (int32_t i = offset; i < end; ++i) {
        if ((gateIn[i] > 0.0f) == gateState && (triggerIn[i] > 0.0f) == triggerState) continue;
        if (i > runStart) subProcessStages(runStart, i - runStart);
        handleGateTrigger(i, gateIn[i], triggerIn[i]);
        runStart = i;
    }
    if (end > runStart) subProcessStages(runStart, end - runStart);
}

void Envelope3::segmentNone(int32_t, int32_t) {
    remainingSamples = 0;
}

void Envelope3::segmentIdle(int32_t offset, int32_t count) {
    remainingSamples = 0;
    float* out = signalOut.getBuffer() + offset;
    std::fill(out, out + count, 0.0f);
}

template <bool PerSampleSustain, bool PerSampleLevel>
void Envelope3::segmentSustain(int32_t offset, int32_t count) {
    remainingSamples = 0;
    if (count <= 0) return;
    float* out = signalOut.getBuffer() + offset;
    const float* sustainIn = sustain.getBuffer() + offset;
    const float* gain = overallLevel.getBuffer() + offset;
    if constexpr (!PerSampleSustain && !PerSampleLevel) {
        std::fill(out, out + count, sustainIn[0] * gain[0]);
    } else {
        for (int32_t i = 0; i < count; ++i)
            out[i] = sustainIn[PerSampleSustain ? i : 0] * gain[PerSampleLevel ? i : 0];
    }
    level = sustainIn[PerSampleSustain ? count - 1 : 0];
}

template <Envelope3::RampEnd End, bool TracksDistance>
Envelope3::Segment Envelope3::rampRoutine(bool perSampleLevel) const {
    return perSampleLevel ? &Envelope3::segmentRamp<End, true, TracksDistance>
                          : &Envelope3::segmentRamp<End, false, TracksDistance>;
}

template <Envelope3::RampEnd End, bool PerSampleLevel, bool TracksDistance>
void Envelope3::segmentRamp(int32_t offset, int32_t count) {
    remainingSamples = 0;
    if (count <= 0) return;
    float* out = signalOut.getBuffer() + offset;
    const float* gain = overallLevel.getBuffer() + offset;
    const float* sustainIn = sustain.getBuffer() + offset;
    const double a = asymptote;
    const double k = coefficient;
    const double target = targetLevelExact;
    const int32_t n = std::min(count, rampSamplesLeft);
    double x = level;
    double u = distance;
    const double g = growth;
    int32_t stop = -1;
    for (int32_t i = 0; i < n; ++i) {
        if constexpr (TracksDistance) {
            u *= g;
            x = a + u;
        } else {
            x += (a - x) * k;
        }
        bool reached;
        if constexpr (End == RampEnd::Rise)
            reached = x >= target;
        else if constexpr (End == RampEnd::Fall)
            reached = x <= target;
        else
            reached = x <= static_cast<double>(sustainIn[i]);
        if (reached) {
            stop = i;
            break;
        }
        out[i] = static_cast<float>(x) * gain[PerSampleLevel ? i : 0];
    }
    if (stop < 0) {
        rampSamplesLeft -= n;
        if (rampSamplesLeft > 0) {
            level = x;
            distance = u;
            return;
        }
        // The ramp has had its time: it ends on its last sample whatever the level.
        stop = n - 1;
    }
    level = End == RampEnd::DecayToSustain ? static_cast<double>(sustainIn[stop]) : target;
    out[stop] = static_cast<float>(level) * gain[PerSampleLevel ? stop : 0];
    // Should the stage move on only with the next call, that call ends the ramp at once.
    rampSamplesLeft = 1;
    remainingSamples = count - stop - 1;
    if (remainingSamples > 0) nextStage(offset + stop + 1);
}
