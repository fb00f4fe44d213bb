// Every audio module of every library, driven block by block with the counters on only while
// its process runs: no allocation, no lock and no blocking call in any block, whatever the
// events carry, including blocks that take a new wave of a length seen before.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "host/audio_instance.h"
#include "host/catalogue.h"
#include "host/module_creation.h"
#include "host/plugin_library.h"
#include "host/host_error.h"
#include "tests/realtime/audio_thread_counter.h"

namespace {

// A host whose services never allocate while process runs: it counts what the module says
// and keeps nothing. Shared blocks are only asked for in open.
class QuietHost final : public gmpi::IMpAudioHost {
public:
    explicit QuietHost(pqhost::AudioEngine& engine) : engine_(engine) {}
    int32_t queryInterface(const gmpi::Guid& iid, void** out) override {
        if (out == nullptr) return gmpi::kMpFail;
        if (iid == gmpi::MP_IID_AUDIO_HOST || iid == gmpi::MP_IID_UNKNOWN) {
            *out = this;
            ++refs_;
            return gmpi::kMpOk;
        }
        *out = nullptr;
        return gmpi::kMpNoSupport;
    }
    int32_t addRef() override { return ++refs_; }
    int32_t release() override { return --refs_; }
    int32_t setPin(int32_t, int32_t, int32_t, const void*) override {
        ++valuesSent;
        return gmpi::kMpOk;
    }
    int32_t setPinStreaming(int32_t, int32_t, bool) override { return gmpi::kMpOk; }
    int32_t sleep() override { return gmpi::kMpOk; }
    int32_t getBlockSize(int32_t* size) override {
        if (size == nullptr) return gmpi::kMpFail;
        *size = engine_.blockSize();
        return gmpi::kMpOk;
    }
    int32_t getSampleRate(float* rate) override {
        if (rate == nullptr) return gmpi::kMpFail;
        *rate = engine_.sampleRate();
        return gmpi::kMpOk;
    }
    int32_t getHandle(int32_t* handle) override {
        if (handle == nullptr) return gmpi::kMpFail;
        *handle = 1;
        return gmpi::kMpOk;
    }
    int32_t allocateSharedMemory(const char16_t* name, void** block, float, int32_t size,
                                 int32_t* needInitialise) override {
        if (name == nullptr || block == nullptr || needInitialise == nullptr || size < 0)
            return gmpi::kMpFail;
        bool fresh = false;
        *block = engine_.sharedBlock(name, size, fresh);
        *needInitialise = fresh ? 1 : 0;
        return *block != nullptr ? gmpi::kMpOk : gmpi::kMpFail;
    }
    int64_t valuesSent = 0;

private:
    pqhost::AudioEngine& engine_;
    int32_t refs_ = 1;
};

// One block's events in time order, built before the block.
class EventList {
public:
    void clear() {
        entries_.clear();
        payloads_.clear();
    }
    void add(int32_t time, int32_t type, int32_t pin, const void* data = nullptr, int32_t size = 0) {
        Entry entry{};
        entry.event.time = time;
        entry.event.type = type;
        entry.event.pinId = pin;
        entry.event.size = size;
        if (size > 8) {
            entry.payload = int(payloads_.size());
            payloads_.emplace_back(static_cast<const char*>(data), static_cast<const char*>(data) + size);
        } else if (size > 0) {
            std::memcpy(entry.event.data, data, size_t(size));
        }
        entries_.push_back(entry);
    }
    const gmpi::MpEvent* link() {
        std::stable_sort(entries_.begin(), entries_.end(),
                         [](const Entry& a, const Entry& b) { return a.event.time < b.event.time; });
        events_.clear();
        for (const Entry& entry : entries_) {
            events_.push_back(entry.event);
            events_.back().extraData = entry.payload >= 0 ? payloads_[size_t(entry.payload)].data() : nullptr;
        }
        for (size_t i = 0; i + 1 < events_.size(); ++i)
            events_[i].next = &events_[i + 1];
        return events_.empty() ? nullptr : events_.data();
    }

private:
    struct Entry {
        gmpi::MpEvent event;
        int payload = -1;
    };
    std::vector<Entry> entries_;
    std::vector<gmpi::MpEvent> events_;
    std::vector<std::vector<char>> payloads_;
};

std::vector<float> wave(size_t length, float seed) {
    std::vector<float> w(length);
    for (size_t i = 0; i < length; ++i)
        w[i] =
            std::sin(seed + 6.2831853f * float(i) / float(length)) + 0.3f * std::sin(seed * 3.0f * float(i));
    return w;
}

struct Result {
    int64_t blocks = 0;
    rtcount::Counts counts;           // over every block but those that grow a wave's room
    int64_t growingBlocks = 0;        // blocks taking a wave longer than any seen before
    int64_t growingAllocations = 0;   // what those allocated (room kept from then on)
    int64_t voluntarySwitches = 0;    // the audio thread blocked while processing
    std::string firstBlockWithCounts; // what the first offending block carried
};

// Wave lengths in the order they arrive: short, reserved and beyond, then each again.
const std::vector<size_t> kWaveLengths = {600,  1, 2048, 4096, 5000, 256, 600,
                                          5000, 1, 7000, 4096, 7000, 0,   600};

Result drive(const pqhost::PluginLibrary& library, const pqhost::ModuleInfo& module, int32_t blockSize) {
    pqhost::AudioEngine engine(48000.0f, blockSize);
    QuietHost host(engine);
    Result result;
    {
        pqhost::AudioInstance instance(engine, "module");
        const pqhost::CreatedModule made =
            pqhost::createModule(library, module.id, 0, &host, pqhost::HostHandover::AtCreation);
        if (made.result != gmpi::kMpOk) throw pqhost::HostError("creation failed");
        instance.attach(made.object, true);
        std::vector<float*> inputs;
        for (const pqhost::PinInfo& pin : module.pins)
            if (pin.datatype == 5) {
                float* buffer = instance.addAudioPin(pin.id);
                if (pin.direction == 0) inputs.push_back(buffer);
            }
        instance.open();

        const float hostile[] = {std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::infinity(),
                                 -3.0e38f,
                                 1.0e9f,
                                 -1.0f,
                                 0.5f,
                                 10.0f};
        const int32_t wholes[] = {0, 1, 2, 3, 6, 7, -1, 1000, std::numeric_limits<int32_t>::min()};
        std::map<std::pair<int32_t, size_t>, bool> lengthsSeen; // by wave input and length
        std::map<int32_t, size_t> longestSeen; // per wave input; room for 4096 samples from the start
        EventList list;
        const int64_t switchesBefore = rtcount::voluntarySwitches();
        for (int64_t block = 0; block < 400; ++block) {
            list.clear();
            bool growing = false;
            std::string carried;
            if (block == 0) list.add(0, gmpi::kEventGraphStart, -1);
            for (size_t k = 0; k < inputs.size(); ++k) {
                const float level = hostile[size_t(block + int64_t(k)) % std::size(hostile)];
                for (int32_t i = 0; i < blockSize; ++i)
                    inputs[k][i] = (block % 3 == 0) ? level : 0.01f * float((i + block) % 97);
            }
            // Control values, streaming changes and, every few blocks, a wave on each blob pin.
            for (const pqhost::PinInfo& pin : module.pins) {
                if (pin.direction != 0) continue;
                const int32_t time = int32_t((block * 7 + pin.id) % blockSize);
                if (pin.datatype == 0 && block % 5 == pin.id % 5) {
                    const int32_t v = wholes[size_t(block / 5 + pin.id) % std::size(wholes)];
                    list.add(time, gmpi::kEventPinSet, pin.id, &v, 4);
                } else if (pin.datatype == 6 && block % 4 == pin.id % 4) {
                    const float v = hostile[size_t(block + pin.id) % std::size(hostile)];
                    list.add(time, gmpi::kEventPinSet, pin.id, &v, 4);
                } else if (pin.datatype == 5 && block % 9 == pin.id % 9) {
                    list.add(time, block % 2 ? gmpi::kEventPinStreamingStart : gmpi::kEventPinStreamingStop,
                             pin.id);
                } else if (pin.datatype == 10 && block % 6 == 1) {
                    const size_t length = kWaveLengths[size_t(block / 6 + pin.id) % kWaveLengths.size()];
                    const std::vector<float> w = wave(length, float(block));
                    list.add(time, gmpi::kEventPinSet, pin.id, w.data(), int32_t(length * 4));
                    size_t& longest = longestSeen.try_emplace(pin.id, 4096).first->second;
                    growing = growing || length > longest;
                    longest = std::max(longest, length);
                    carried += " wave of " + std::to_string(length) +
                               (lengthsSeen[{pin.id, length}] ? " (seen before)" : "");
                    lengthsSeen[{pin.id, length}] = true;
                }
            }
            const gmpi::MpEvent* events = list.link();
            const int32_t count = block % 11 == 10 ? blockSize / 2 : blockSize;
            rtcount::start();
            instance.processRaw(count, events);
            const rtcount::Counts counts = rtcount::stop();
            ++result.blocks;
            if (growing) {
                ++result.growingBlocks;
                result.growingAllocations += counts.allocations;
                result.counts.locks += counts.locks;
                result.counts.systemCalls += counts.systemCalls;
                continue;
            }
            if (counts.total() != 0 && result.firstBlockWithCounts.empty())
                result.firstBlockWithCounts = "block " + std::to_string(block) + carried;
            result.counts.allocations += counts.allocations;
            result.counts.locks += counts.locks;
            result.counts.systemCalls += counts.systemCalls;
        }
        result.voluntarySwitches = rtcount::voluntarySwitches() - switchesBefore;
    }
    return result;
}

const char* const kLibraries[] = {"pq_Modules", "pq_ADSR3", "pq_ArrayLFO", "pq_ArrayOsc", "pq_Tuner"};

TEST(RealTime, ProcessNeverAllocatesLocksOrBlocks) {
    int audioModules = 0;
    for (const char* name : kLibraries) {
        const std::string path = std::string(PQ_PLUGIN_DIR) + "/" + name + ".so";
        const pqhost::PluginLibrary library(path);
        const pqhost::LibraryCatalogue catalogue = pqhost::readCatalogue(path);
        for (const pqhost::ModuleInfo* module : pqhost::creatableModules(library, catalogue)) {
            if (module->subtype != gmpi::kSubtypeAudio) continue;
            ++audioModules;
            for (int32_t blockSize : {1, 64, 512}) {
                SCOPED_TRACE(std::string(name) + " " + module->className + " block " +
                             std::to_string(blockSize));
                const Result r = drive(library, *module, blockSize);
                EXPECT_EQ(r.counts.allocations, 0) << r.firstBlockWithCounts;
                EXPECT_EQ(r.counts.locks, 0) << r.firstBlockWithCounts;
                EXPECT_EQ(r.counts.systemCalls, 0) << r.firstBlockWithCounts;
                // Reported, not asserted: a page of the library's code read back from disk on a
                // busy machine also makes the thread wait, through no fault of the module.
                std::printf(
                    "%-11s %-9s block %3d: %lld blocks, %lld allocations, %lld locks, %lld system calls; "
                    "%lld blocks growing a wave's room made %lld allocations; %lld context switches\n",
                    name, module->className.c_str(), blockSize, (long long)r.blocks,
                    (long long)r.counts.allocations, (long long)r.counts.locks,
                    (long long)r.counts.systemCalls, (long long)r.growingBlocks,
                    (long long)r.growingAllocations, (long long)r.voluntarySwitches);
            }
        }
    }
    EXPECT_EQ(audioModules, 8); // four in the all-module library, one in each single-module one
}

// The counters themselves see what a module would do.
TEST(RealTime, CountersSeeAllocationsAndLocks) {
    rtcount::start();
    // Through a volatile pointer, so that the compiler cannot leave the pair out.
    void* (*volatile allocate)(size_t) = std::malloc;
    std::free(allocate(100));
    auto* vector = new std::vector<int>(100);
    asm volatile("" : : "r"(vector) : "memory");
    delete vector;
    static pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
    pthread_mutex_lock(&m);
    pthread_mutex_unlock(&m);
    const rtcount::Counts counts = rtcount::stop();
    EXPECT_GE(counts.allocations, 2);
    EXPECT_EQ(counts.locks, 1);
}

} // namespace
