// Event streams, pin values and audio inputs into one audio module, loaded from its library
// as a host loads it. Which module is chosen at build time (PQ_FUZZ_LIBRARY, PQ_FUZZ_MODULE).
//
// The input is read as: block size and rate, then blocks, each with a sample count, audio
// input levels and a list of events (time, type, pin, payload). Pins are mostly the module's
// own, sometimes any number; times and sizes are whatever the bytes say, as a hostile host
// would send them, except that a long payload is never overstated.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "host/audio_instance.h"
#include "host/catalogue.h"
#include "host/module_creation.h"
#include "host/plugin_library.h"

namespace {

pqhost::PluginLibrary* gLibrary = nullptr;
const pqhost::ModuleInfo* gModule = nullptr;

float anyFloat(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
        return std::numeric_limits<float>::quiet_NaN();
    case 1:
        return std::numeric_limits<float>::infinity();
    case 2:
        return -std::numeric_limits<float>::infinity();
    case 3:
        return in.ConsumeBool() ? 3.0e38f : -3.0e38f;
    default:
        return in.ConsumeFloatingPointInRange<float>(-4.0f, 4.0f);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string path = std::string(PQ_PLUGIN_DIR) + "/" PQ_FUZZ_LIBRARY ".so";
    gLibrary = new pqhost::PluginLibrary(path);
    // Kept for the whole run: the module's pins point into it.
    static const pqhost::LibraryCatalogue catalogue = pqhost::readCatalogue(path);
    gModule = catalogue.findModule(PQ_FUZZ_MODULE, gmpi::kSubtypeAudio);
    if (gModule == nullptr) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const float rates[] = {8000.0f, 44100.0f, 48000.0f, 192000.0f};
    const int32_t blockSize = in.ConsumeIntegralInRange<int32_t>(1, 128);
    pqhost::AudioEngine engine(rates[in.ConsumeIntegralInRange<int>(0, 3)], blockSize);
    pqhost::AudioInstance instance(engine, "fuzzed");
    const pqhost::CreatedModule made = pqhost::createModule(
        *gLibrary, gModule->id, 0, instance.hostObject(),
        in.ConsumeBool() ? pqhost::HostHandover::AtCreation : pqhost::HostHandover::AsTheEditionExpects);
    if (made.result != gmpi::kMpOk) std::abort();
    instance.attach(made.object, made.hostGivenAtCreation);
    std::vector<float*> inputs;
    for (const pqhost::PinInfo& pin : gModule->pins)
        if (pin.datatype == 5) {
            float* buffer = instance.addAudioPin(pin.id);
            if (pin.direction == 0) inputs.push_back(buffer);
        }
    instance.open();

    std::vector<gmpi::MpEvent> events;
    std::vector<std::vector<uint8_t>> payloads;
    for (int block = 0; block < 32 && in.remaining_bytes() > 0; ++block) {
        const int32_t count = in.ConsumeBool() ? blockSize : in.ConsumeIntegralInRange<int32_t>(0, blockSize);
        for (float* buffer : inputs) {
            const float level = anyFloat(in);
            const bool ramp = in.ConsumeBool();
            for (int32_t i = 0; i < blockSize; ++i)
                buffer[i] = ramp ? level * float(i) / float(blockSize) : level;
        }
        const size_t n = in.ConsumeIntegralInRange<size_t>(0, 8);
        events.assign(n, gmpi::MpEvent{});
        payloads.assign(n, {});
        for (size_t i = 0; i < n; ++i) {
            gmpi::MpEvent& e = events[i];
            e.time = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(0, count)
                                      : in.ConsumeIntegral<int32_t>();
            e.type = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(100, 104)
                                      : in.ConsumeIntegral<int32_t>();
            if (in.ConsumeIntegralInRange<int>(0, 9) != 0 && !gModule->pins.empty())
                e.pinId = gModule->pins[in.ConsumeIntegralInRange<size_t>(0, gModule->pins.size() - 1)].id;
            else
                e.pinId = in.ConsumeIntegral<int32_t>();
            std::vector<uint8_t>& bytes = payloads[i];
            switch (in.ConsumeIntegralInRange<int>(0, 3)) {
            case 0: { // a value of four bytes
                const float f = anyFloat(in);
                bytes.resize(4);
                std::memcpy(bytes.data(), &f, 4);
                break;
            }
            case 1: { // a wave
                const size_t samples = in.ConsumeIntegralInRange<size_t>(0, 5000);
                const float a = anyFloat(in), b = anyFloat(in);
                bytes.resize(samples * 4 + in.ConsumeIntegralInRange<size_t>(0, 3));
                for (size_t s = 0; s < samples; ++s) {
                    const float f = (s % 7 == 3) ? b : a * float(s % 64) / 64.0f;
                    std::memcpy(&bytes[s * 4], &f, 4);
                }
                break;
            }
            default:
                bytes = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 16));
                break;
            }
            e.size = in.ConsumeIntegralInRange<int>(0, 15) == 0 ? in.ConsumeIntegral<int32_t>()
                                                                : int32_t(bytes.size());
            if (bytes.size() <= sizeof(e.data)) {
                // An inline payload: any size the host claims, the module reads at most 8 bytes.
                if (!bytes.empty()) std::memcpy(e.data, bytes.data(), bytes.size());
                e.extraData = nullptr;
            } else {
                e.extraData = reinterpret_cast<char*>(bytes.data());
                e.size = std::min<int32_t>(std::max<int32_t>(e.size, 0), int32_t(bytes.size()));
            }
            e.next = i + 1 < n ? &events[i + 1] : nullptr;
        }
        instance.processRaw(count, n > 0 ? events.data() : nullptr);
    }
    return 0;
}
