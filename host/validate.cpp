#include "host/validate.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <limits>
#include <memory>
#include <random>

#include "host/audio_instance.h"
#include "host/gui/gui_module_instance.h"
#include "host/host_error.h"
#include "host/module_creation.h"
#include "host/patch.h"
#include "host/plugin_library.h"

// The sanitizer build checks each module's process for leaks before it ends.
#if defined(__SANITIZE_ADDRESS__)
#define PQ_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PQ_LEAK_CHECK 1
#endif
#endif
#ifdef PQ_LEAK_CHECK
#include <sanitizer/asan_interface.h>
#include <sanitizer/lsan_interface.h>
#endif

namespace pqhost {
namespace {

class Hostile {
public:
    explicit Hostile(uint32_t seed) : rng_(seed) {}

    int32_t below(int32_t n) { return std::uniform_int_distribution<int32_t>(0, n - 1)(rng_); }
    bool chance(int percent) { return below(100) < percent; }

    float number() {
        switch (below(10)) {
        case 0:
            return std::numeric_limits<float>::quiet_NaN();
        case 1:
            return below(2) ? std::numeric_limits<float>::infinity()
                            : -std::numeric_limits<float>::infinity();
        case 2:
            return below(2) ? 3.0e38f : -3.0e38f;
        case 3:
            return static_cast<float>(below(2000) - 1000);
        case 4:
            return 0.0f;
        default:
            return std::uniform_real_distribution<float>(-2.0f, 2.0f)(rng_);
        }
    }
    int32_t whole() {
        switch (below(6)) {
        case 0:
            return std::numeric_limits<int32_t>::min();
        case 1:
            return std::numeric_limits<int32_t>::max();
        case 2:
            return below(2000) - 1000;
        default:
            return below(12) - 2;
        }
    }
    // A payload of 0 to 16 bytes or, now and then, a long one (a wave, a text).
    std::vector<uint8_t> payload() {
        size_t size = chance(15) ? size_t(below(20000)) : size_t(below(17));
        std::vector<uint8_t> bytes(size);
        if (chance(50)) {
            for (size_t i = 0; i + 4 <= size; i += 4) {
                const float f = number();
                std::memcpy(&bytes[i], &f, 4);
            }
        } else {
            for (auto& b : bytes)
                b = static_cast<uint8_t>(below(256));
        }
        return bytes;
    }
    int32_t pinId(const ModuleInfo& module) {
        if (chance(10)) return below(2) ? whole() : int32_t(module.pins.size()) + below(5);
        return module.pins.empty() ? 0 : module.pins[size_t(below(int32_t(module.pins.size())))].id;
    }

private:
    std::mt19937 rng_;
};

// The audio buffers a module gets, each inside guard zones: before every block the zones and
// the part of each output past `count` hold a marker, and each input's samples are noted; after
// it, a marker overwritten or an input changed is a finding naming the pin. The sanitizer build
// poisons the zones instead, so that a read there is caught as well as a write.
class GuardedBuffers {
public:
    static constexpr int32_t kGuard = 64;

    GuardedBuffers(AudioInstance& instance, const ModuleInfo& module, int32_t blockSize)
        : blockSize_(blockSize) {
        for (const PinInfo& pin : module.pins) {
            if (pin.datatype != 5) continue;
            Buffer& b = buffers_.emplace_back();
            b.pinId = pin.id;
            b.input = pin.direction == gmpi::kDirectionIn;
            b.samples.assign(size_t(blockSize + 2 * kGuard), 0.0f);
            b.noted.assign(size_t(blockSize), 0.0f);
            instance.setBufferResult(pin.id, b.samples.data() + kGuard);
        }
#ifdef PQ_LEAK_CHECK
        for (Buffer& b : buffers_) {
            ASAN_POISON_MEMORY_REGION(b.samples.data(), kGuard * sizeof(float));
            ASAN_POISON_MEMORY_REGION(b.samples.data() + kGuard + blockSize_, kGuard * sizeof(float));
        }
#endif
    }
    ~GuardedBuffers() {
#ifdef PQ_LEAK_CHECK
        for (Buffer& b : buffers_)
            ASAN_UNPOISON_MEMORY_REGION(b.samples.data(), b.samples.size() * sizeof(float));
#endif
    }
    GuardedBuffers(const GuardedBuffers&) = delete;
    GuardedBuffers& operator=(const GuardedBuffers&) = delete;
    float* input(size_t i) {
        return buffers_[i].input ? buffers_[i].samples.data() + kGuard : nullptr;
    }
    size_t size() const {
        return buffers_.size();
    }

    void arm(int32_t count) {
        for (Buffer& b : buffers_) {
            if (!kPoisoned) {
                mark(b.samples.data(), kGuard);
                mark(b.samples.data() + kGuard + blockSize_, kGuard);
            }
            if (b.input)
                std::memcpy(b.noted.data(), b.samples.data() + kGuard, size_t(blockSize_) * sizeof(float));
            else
                mark(b.samples.data() + kGuard + std::max(count, 0), blockSize_ - std::max(count, 0));
        }
    }
    void check(int32_t count) const {
        for (const Buffer& b : buffers_) {
            const float* data = b.samples.data() + kGuard;
            const std::string pin = "pin " + std::to_string(b.pinId);
            if (!kPoisoned && !marked(b.samples.data(), kGuard))
                throw HostError("wrote before the buffer of " + pin);
            if (!kPoisoned && !marked(data + blockSize_, kGuard))
                throw HostError("wrote past the buffer of " + pin);
            if (b.input && std::memcmp(b.noted.data(), data, size_t(blockSize_) * sizeof(float)) != 0)
                throw HostError("wrote into the input buffer of " + pin);
            if (!b.input && !marked(data + std::max(count, 0), blockSize_ - std::max(count, 0)))
                throw HostError("wrote past the " + std::to_string(count) + " samples of the block on " +
                                pin);
        }
    }

private:
#ifdef PQ_LEAK_CHECK
    static constexpr bool kPoisoned = true;
#else
    static constexpr bool kPoisoned = false;
#endif
    static constexpr uint32_t kMarker = 0x7FC0DEADu; // a NaN no arithmetic produces
    static void mark(float* at, int32_t n) {
        for (int32_t i = 0; i < n; ++i)
            std::memcpy(at + i, &kMarker, 4);
    }
    static bool marked(const float* at, int32_t n) {
        for (int32_t i = 0; i < n; ++i)
            if (std::memcmp(at + i, &kMarker, 4) != 0) return false;
        return true;
    }
    struct Buffer {
        int32_t pinId = 0;
        bool input = false;
        std::vector<float> samples, noted;
    };
    int32_t blockSize_;
    std::vector<Buffer> buffers_;
};

void exerciseAudio(PluginLibrary& library, const ModuleInfo& module, Hostile& h, int rounds) {
    const float rates[] = {22050.0f, 44100.0f, 48000.0f, 96000.0f};
    const int32_t blockSize = h.chance(20) ? 1 : 1 + h.below(512);
    AudioEngine engine(rates[h.below(4)], blockSize);
    for (int creation = 0; creation < 2; ++creation) {
        AudioInstance instance(engine, toUtf8(module.id));
        // Both ways a host can hand itself over: as the edition expects, then at creation.
        const CreatedModule made =
            createModule(library, module.id, 0, instance.hostObject(),
                         creation == 0 ? HostHandover::AsTheEditionExpects : HostHandover::AtCreation);
        if (made.result != gmpi::kMpOk || made.object == nullptr)
            throw HostError("creation failed with " + std::to_string(made.result));
        instance.attach(made.object, made.hostGivenAtCreation);
        GuardedBuffers buffers(instance, module, blockSize);
        instance.setBufferResult(h.whole(), nullptr);
        instance.open();
        instance.queueGraphStart();
        std::vector<gmpi::MpEvent> events;
        std::vector<std::vector<uint8_t>> payloads;
        for (int round = 0; round < rounds; ++round) {
            for (size_t k = 0; k < buffers.size(); ++k) {
                float* buffer = buffers.input(k);
                if (buffer == nullptr) continue;
                const float constant = h.number();
                const bool varies = h.chance(30);
                for (int32_t i = 0; i < blockSize; ++i)
                    buffer[i] = varies ? h.number() : constant;
            }
            const int32_t count = h.chance(5) ? h.below(blockSize + 1) : blockSize;
            const int n = h.below(6);
            events.assign(size_t(n), gmpi::MpEvent{});
            payloads.assign(size_t(n), {});
            for (int i = 0; i < n; ++i) {
                gmpi::MpEvent& e = events[size_t(i)];
                e.time = h.chance(10) ? h.whole() : h.below(count + 1);
                e.type = h.chance(5)
                             ? h.whole()
                             : gmpi::kEventPinSet + h.below(gmpi::kEventGraphStart - gmpi::kEventPinSet + 1);
                e.pinId = h.pinId(module);
                payloads[size_t(i)] = h.payload();
                e.size = h.chance(5) ? h.whole() : int32_t(payloads[size_t(i)].size());
                if (payloads[size_t(i)].size() <= 8) {
                    // A size beyond the inline bytes must be cut to them by the module.
                    if (!payloads[size_t(i)].empty())
                        std::memcpy(e.data, payloads[size_t(i)].data(), payloads[size_t(i)].size());
                    e.extraData = nullptr;
                } else {
                    e.extraData = reinterpret_cast<char*>(payloads[size_t(i)].data());
                    // Extra data is read as far as the size says: a host never overstates it.
                    e.size = std::clamp<int32_t>(e.size, 0, int32_t(payloads[size_t(i)].size()));
                }
                e.next = i + 1 < n ? &events[size_t(i) + 1] : nullptr;
            }
            buffers.arm(count);
            instance.processRaw(count, n > 0 ? events.data() : nullptr);
            buffers.check(count);
            if (h.chance(20)) { // the host's own, well-formed path
                buffers.arm(blockSize);
                instance.runBlock();
                buffers.check(blockSize);
            }
        }
    }
}

// Every entry of each selection list (the wave editor's Generate and Modify), one past each
// end and the negative values, each after hostile values on the pins the commands read.
void exerciseSelections(GuiModuleInstance& gui, const ModuleInfo& module, Hostile& h, int rounds) {
    // Lengths up to a few thousand samples: at the longest waves (65536) the additive
    // commands take seconds to minutes with a large N or A, which a validation run cannot
    // wait for; the hostile deliveries of exerciseGui reach those lengths too.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float lengths[] = {nan, -3.0f, 0.0f, 0.5f, 1.0f, 2.0f, 3.7f, 7.0f, 64.0f, 257.0f, 2048.0f, 4096.0f};
    const PinInfo* length = module.findPin(std::string("Wave Length"));
    const PinInfo* select = module.findPin(std::string("Wave Select"));
    const PinInfo* parameters[] = {module.findPin(std::string("N")), module.findPin(std::string("A"))};
    for (const PinInfo& pin : module.pins) {
        const PinInfo* list = selectionListOf(module, pin);
        const std::vector<uint8_t>* shown = list != nullptr ? gui.pinValue(list->id) : nullptr;
        if (shown == nullptr) continue;
        const int32_t entries = int32_t(std::count(shown->begin(), shown->end(), uint8_t(','))) + 1;
        for (int pass = 0; pass < std::max(1, rounds / 50); ++pass) {
            for (int32_t index = -2; index <= entries; ++index) {
                if (length && h.chance(pass == 0 ? 10 : 40)) {
                    // Long waves now and then; most commands run on short ones.
                    const float l = h.chance(5) ? lengths[size_t(h.below(12))] : lengths[size_t(h.below(10))];
                    gui.deliverFloat(length->id, l);
                }
                if (select && h.chance(30)) gui.deliverInt(select->id, h.chance(50) ? h.below(4) : h.whole());
                for (const PinInfo* p : parameters)
                    if (p) gui.deliverFloat(p->id, h.number());
                gui.deliverInt(pin.id, index);
                if (h.chance(10)) gui.deliverInt(pin.id, h.whole());
            }
        }
    }
}

void exerciseGui(PluginLibrary& library, const ModuleInfo& module, Hostile& h, int rounds) {
    GuiModuleInstance gui;
    // A skin of any bytes: faces that draw text read their styles from it.
    const std::vector<uint8_t> skin = h.payload();
    gui.setStyleSheet(std::make_shared<const std::string>(skin.begin(), skin.end()));
    const CreatedModule made = createModule(library, module.id, module.subtype, gui.hostObject());
    if (made.result != gmpi::kMpOk || made.object == nullptr || !gui.attach(made.object, module.subtype))
        throw HostError("creation failed with " + std::to_string(made.result));
    exerciseSelections(gui, module, h, rounds);
    for (int round = 0; round < rounds; ++round) {
        const std::vector<uint8_t> bytes = h.payload();
        const int32_t size = h.chance(5) ? h.whole() : int32_t(bytes.size());
        gui.deliver(h.pinId(module), bytes.empty() ? nullptr : bytes.data(),
                    bytes.empty() ? 0 : std::min(size, int32_t(bytes.size())));
        const gmpi_gui_api::Point point{h.number(), h.number()};
        const int32_t flags = h.chance(30) ? gmpi_gui_api::kPointerFlagShift : h.whole();
        switch (h.below(8)) {
        case 0:
            gui.pointerDown(flags, point);
            break;
        case 1:
            gui.pointerMove(flags, point);
            break;
        case 2:
            gui.pointerUp(flags, point);
            break;
        case 3:
            gui.measure({h.number(), h.number()});
            break;
        case 4:
            gui.arrange({h.number(), h.number(), h.number(), h.number()});
            break;
        case 5:
            gui.render(1 + h.below(64), 1 + h.below(64));
            break;
        default:
            break;
        }
    }
}

// The exit code of a module's process whose leak check found memory never released.
constexpr int kLeaked = 4;

std::string describe(const ModuleInfo& module) {
    // Built by appending: GCC 12 at -O3 takes a literal + temporary string for an overlap.
    std::string text = "\"";
    text += toUtf8(module.id);
    text += "\" subtype ";
    text += std::to_string(module.subtype);
    return text;
}

} // namespace

void exerciseModule(const std::string& libraryPath, const ModuleInfo& module, uint32_t seed, int rounds) {
    PluginLibrary library(libraryPath);
    Hostile hostile(seed);
    if (module.subtype == gmpi::kSubtypeAudio)
        exerciseAudio(library, module, hostile, rounds);
    else
        exerciseGui(library, module, hostile, rounds);
}

std::vector<ValidationFinding> validateLibrary(const std::string& libraryPath, uint32_t seed, int rounds,
                                               std::vector<std::string>* validated,
                                               const ModuleExerciser& exerciser, unsigned timeoutSeconds) {
    const LibraryCatalogue catalogue = readCatalogue(libraryPath);
    if (catalogue.modules.empty())
        throw HostError(catalogue.noModulesMessage(libraryPath) + ": nothing to validate");
    std::vector<const ModuleInfo*> present;
    {
        PluginLibrary library(libraryPath);
        present = creatableModules(library, catalogue);
    }
    std::vector<ValidationFinding> findings;
    for (const ModuleInfo* module : present) {
        if (validated) validated->push_back(describe(*module));
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child < 0) throw HostError("cannot start a process to validate " + describe(*module));
        if (child == 0) {
            int code = 0;
            try {
                ::alarm(timeoutSeconds); // a module that never answers ends here
                exerciser(libraryPath, *module, seed, rounds);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "pqhost: %s: %s\n", describe(*module).c_str(), e.what());
                code = 3;
            }
#ifdef PQ_LEAK_CHECK
            // _exit skips the leak check that ends a process normally: run it here, where it
            // can still be told which module leaked.
            if (code == 0 && __lsan_do_recoverable_leak_check() != 0) code = kLeaked;
#endif
            std::fflush(nullptr);
            ::_exit(code);
        }
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
            findings.push_back(
                {describe(*module), "hung: no answer within " + std::to_string(timeoutSeconds) + " s"});
        else if (WIFSIGNALED(status))
            findings.push_back({describe(*module), std::string("crashed: ") + ::strsignal(WTERMSIG(status))});
        else if (WIFEXITED(status) && WEXITSTATUS(status) == kLeaked)
            findings.push_back({describe(*module), "leaked memory (the sanitizer's report names it)"});
        else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            findings.push_back(
                {describe(*module), "failed with exit code " + std::to_string(WEXITSTATUS(status))});
    }
    return findings;
}

int shortestFailingRounds(const std::string& libraryPath, const std::string& module, uint32_t seed,
                          int rounds, const ModuleExerciser& exerciser, unsigned timeoutSeconds) {
    // Only the module in question is driven; the others pass at once.
    const ModuleExerciser only = [&](const std::string& path, const ModuleInfo& info, uint32_t s, int r) {
        if (describe(info) == module) exerciser(path, info, s, r);
    };
    const auto fails = [&](int r) {
        for (const ValidationFinding& f :
             validateLibrary(libraryPath, seed, r, nullptr, only, timeoutSeconds))
            if (f.module == module) return true;
        return false;
    };
    // The reports of the repeated runs say what the first one said: standard error is quiet
    // meanwhile.
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && quiet >= 0) ::dup2(quiet, STDERR_FILENO);
    if (quiet >= 0) ::close(quiet);
    struct Restore {
        int saved;
        ~Restore() {
            std::fflush(stderr);
            if (saved >= 0) {
                ::dup2(saved, STDERR_FILENO);
                ::close(saved);
            }
        }
    } restore{saved};

    if (!fails(rounds)) return 0;
    int passing = 0, failing = rounds; // fewest rounds known to fail, most known to pass
    while (failing - passing > 1) {
        const int middle = passing + (failing - passing) / 2;
        (fails(middle) ? failing : passing) = middle;
    }
    return failing;
}

} // namespace pqhost
