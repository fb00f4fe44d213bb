// A module library for the validator's own tests: it offers the envelope's identifier and pins,
// but its block routine writes one sample past every stretch it is given, so that at the end of
// a block it writes past the block's count (and, in a full block, past the buffer).
#include "modules/envelope/envelope3.h"
#include "runtime/audio/mp_pins.h"
#include "runtime/audio/mp_registration.h"

namespace {

class FaultyEnvelope : public MpBase {
public:
    // The envelope's pins, described as the envelope describes them, so that a host finds it.
    static constexpr pq::ModuleDescription kDescription{"PQADSR3", gmpi::kSubtypeAudio, "FaultyEnvelope",
                                                        Envelope3::kPins};

    FaultyEnvelope() {
        for (int32_t i = 0; i < 10; ++i)
            inputs_[size_t(i)].attach(this, i);
        output_.attach(this, 10);
        voiceReset_.attach(this, 11);
        setSubProcess(&FaultyEnvelope::subProcess);
    }
    void subProcess(int32_t offset, int32_t count) {
        float* out = output_.getBuffer();
        for (int32_t i = offset; i <= offset + count; ++i)
            out[i] = 0.5f;
    }

private:
    AudioInPin inputs_[10];
    AudioOutPin output_;
    FloatInPin voiceReset_;
};

} // namespace

const pq::LibraryInfo pq::libraryInfo = {30400, false};

PQ_REGISTER_MODULE(FaultyEnvelope);
