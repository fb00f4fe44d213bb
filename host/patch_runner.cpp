#include "host/patch_runner.h"

#include <algorithm>
#include <cstring>
#include <map>

#include <sndfile.h>
#include <unistd.h>

#include "host/audio_instance.h"
#include "host/host_error.h"
#include "host/plugin_library.h"

namespace pqhost {

struct PatchRunner::Node {
    const PatchModule* module = nullptr;
    std::unique_ptr<AudioInstance> audio;
    // Unconnected audio inputs hold a constant the host writes into their buffers.
    std::map<int32_t, float> constants;
    // Connected audio inputs: (input pin id, source node, source pin id).
    struct Feed {
        int32_t pin;
        Node* source;
        int32_t sourcePin;
    };
    std::vector<Feed> feeds;
    // Constants that change inside the current block: (pin, offset, value).
    struct Change {
        int32_t pin, offset;
        float value;
    };
    std::vector<Change> changes;
};

PatchRunner::PatchRunner(const Patch& patch) : patch_(patch) {
    engine_ = std::make_unique<AudioEngine>(patch.sampleRate, patch.blockSize);
    std::map<std::string, PluginLibrary*> loaded;
    for (const PatchModule& module : patch.modules) {
        const std::string key = module.libraryPath.string();
        if (!loaded.count(key)) {
            libraries_.push_back(std::make_unique<PluginLibrary>(key));
            loaded[key] = libraries_.back().get();
        }
        PluginLibrary& library = *loaded[key];
        auto node = std::make_unique<Node>();
        node->module = &module;
        if (module.subtype != 0) throw HostError("module \"" + module.name + "\": GUI modules cannot run in an audio patch yet");
        node->audio = std::make_unique<AudioInstance>(*engine_, module.name);
        gmpi::IMpUnknown* object = nullptr;
        // The newest factory hands the host over afterwards; the earlier one at creation.
        const int32_t result = library.factory2() ? library.createInstance2(module.id, 0, &object)
                                                  : library.createInstance(module.id, 0, node->audio->hostObject(), &object);
        if (result != gmpi::kMpOk || object == nullptr)
            throw HostError("module \"" + module.name + "\": " + module.library + " could not create \"" +
                            toUtf8(module.id) + "\" (result " + std::to_string(result) + ")");
        node->audio->attach(object, library.factory2() == nullptr);
        for (const PinInfo& pin : module.info->pins) {
            if (pin.datatype != 5) continue;
            float* buffer = node->audio->addAudioPin(pin.id);
            if (pin.direction == 0) {
                float value = 0;
                if (!pin.defaultValue.empty()) value = std::stof(pin.defaultValue);
                for (const auto& [id, bytes] : module.values)
                    if (id == pin.id) std::memcpy(&value, bytes.data(), 4);
                node->constants[pin.id] = value;
                std::fill(buffer, buffer + patch.blockSize, value);
            }
        }
        nodes_.push_back(std::move(node));
    }

    for (const PatchConnection& c : patch.connections) {
        Node& from = *nodes_[c.from.module];
        Node& to = *nodes_[c.to.module];
        if (c.to.pin->datatype == 5) {
            to.constants.erase(c.to.pin->id);
            to.feeds.push_back({c.to.pin->id, &from, c.from.pin->id});
        }
    }
    // Route what each module sends: streaming to fed audio inputs, values to control inputs.
    for (auto& node : nodes_) {
        const size_t index = size_t(&node - &nodes_[0]);
        node->audio->onValue = [this, index](const PinValueRecord& value) {
            for (const PatchConnection& c : patch_.connections)
                if (c.from.module == index && c.from.pin->id == value.pinId && c.to.pin->datatype != 5)
                    nodes_[c.to.module]->audio->queueEvent(value.time, gmpi::kEventPinSet, c.to.pin->id,
                                                           value.bytes.data(), int32_t(value.bytes.size()));
        };
        node->audio->onStreaming = [this, index](const StreamingRecord& s) {
            for (const PatchConnection& c : patch_.connections)
                if (c.from.module == index && c.from.pin->id == s.pinId)
                    nodes_[c.to.module]->audio->queueStreaming(s.time, c.to.pin->id, s.streaming);
        };
    }

    // Sources run before what they feed where the connections allow; loops keep patch order.
    std::vector<int> pending(nodes_.size(), 0);
    for (const PatchConnection& c : patch.connections) ++pending[c.to.module];
    std::vector<bool> placed(nodes_.size(), false);
    while (order_.size() < nodes_.size()) {
        size_t pick = nodes_.size();
        for (size_t i = 0; i < nodes_.size() && pick == nodes_.size(); ++i)
            if (!placed[i] && pending[i] == 0) pick = i;
        if (pick == nodes_.size())
            for (size_t i = 0; i < nodes_.size() && pick == nodes_.size(); ++i)
                if (!placed[i]) pick = i;
        placed[pick] = true;
        order_.push_back(nodes_[pick].get());
        for (const PatchConnection& c : patch.connections)
            if (c.from.module == pick) --pending[c.to.module];
    }

    // The first block: initial values, the constant state of unconnected audio inputs, graph start.
    for (auto& node : nodes_) {
        node->audio->open();
        for (const auto& [id, bytes] : node->module->values) {
            if (node->constants.count(id)) continue;
            const PinInfo* pin = node->module->info->findPin(id);
            if (pin && pin->datatype == 5) continue; // a connected audio input follows its source
            node->audio->queueEvent(0, gmpi::kEventPinSet, id, bytes.data(), int32_t(bytes.size()));
        }
        for (const auto& [id, value] : node->constants) node->audio->queueStreaming(0, id, false);
        node->audio->queueGraphStart(0);
    }
    channels_.assign(patch.outputs.size(), std::vector<float>(size_t(patch.lengthSamples), 0.0f));
}

PatchRunner::~PatchRunner() {
    nodes_.clear(); // every module is released before its library unloads
    libraries_.clear();
}

AudioInstance* PatchRunner::audioModule(const std::string& name) const {
    for (const auto& node : nodes_)
        if (node->module->name == name) return node->audio.get();
    return nullptr;
}

void PatchRunner::runBlock(int64_t blockStart, int32_t count) {
    // Patch events of this block: control inputs get value events, unconnected audio inputs
    // a new constant from that sample on, announced by a streaming-stop event.
    while (nextEvent_ < patch_.events.size() && patch_.events[nextEvent_].sample < blockStart + count) {
        const PatchEvent& e = patch_.events[nextEvent_++];
        Node& node = *nodes_[e.pin.module];
        const int32_t offset = static_cast<int32_t>(e.sample - blockStart);
        const auto constant = node.constants.find(e.pin.pin->id);
        if (e.pin.pin->datatype == 5) {
            if (constant == node.constants.end()) continue; // fed by a connection
            float value = 0;
            std::memcpy(&value, e.bytes.data(), 4);
            node.changes.push_back({e.pin.pin->id, offset, value});
            node.audio->queueStreaming(offset, e.pin.pin->id, false);
        } else {
            node.audio->queueEvent(offset, gmpi::kEventPinSet, e.pin.pin->id, e.bytes.data(), int32_t(e.bytes.size()));
        }
    }
    for (Node* node : order_) {
        for (const auto& [id, value] : node->constants) {
            float* buffer = node->audio->buffer(id);
            std::fill(buffer, buffer + count, value);
        }
        // Changes inside this block apply from their sample on, in time order.
        for (const Node::Change& change : node->changes) {
            float* buffer = node->audio->buffer(change.pin);
            std::fill(buffer + change.offset, buffer + count, change.value);
            node->constants[change.pin] = change.value;
        }
        node->changes.clear();
        for (const Node::Feed& feed : node->feeds)
            std::memcpy(node->audio->buffer(feed.pin), feed.source->audio->buffer(feed.sourcePin), sizeof(float) * size_t(count));
        node->audio->runBlock(count);
    }
    for (size_t c = 0; c < patch_.outputs.size(); ++c) {
        const PinRef& out = patch_.outputs[c];
        const float* buffer = nodes_[out.module]->audio->buffer(out.pin->id);
        std::copy(buffer, buffer + count, channels_[c].begin() + blockStart);
    }
}

void PatchRunner::run(const std::function<void(double)>& progress) {
    const int64_t total = patch_.lengthSamples;
    int64_t reported = 0;
    for (int64_t start = 0; start < total; start += patch_.blockSize) {
        runBlock(start, static_cast<int32_t>(std::min<int64_t>(patch_.blockSize, total - start)));
        ++blocks_;
        if (progress && start - reported >= total / 10) {
            reported = start;
            progress(double(start) / double(total));
        }
    }
    if (progress) progress(1.0);
}

std::vector<ModuleReport> PatchRunner::report() const {
    std::vector<ModuleReport> out;
    for (const auto& node : nodes_)
        out.push_back({node->module->name, node->audio->blocksRun(), node->audio->blocksSlept()});
    return out;
}

void writeWav(const std::string& path, const std::vector<std::vector<float>>& channels, float sampleRate) {
    if (channels.empty()) throw HostError("nothing to write: the patch names no output");
    const std::string temporary = path + ".partial." + std::to_string(::getpid());
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = static_cast<int>(channels.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(temporary.c_str(), SFM_WRITE, &info);
    if (file == nullptr) throw HostError("cannot write " + path + ": " + sf_strerror(nullptr));
    const size_t frames = channels[0].size();
    std::vector<float> interleaved(frames * channels.size());
    for (size_t i = 0; i < frames; ++i)
        for (size_t c = 0; c < channels.size(); ++c) interleaved[i * channels.size() + c] = channels[c][i];
    const sf_count_t written = sf_writef_float(file, interleaved.data(), sf_count_t(frames));
    const int closed = sf_close(file);
    if (written != sf_count_t(frames) || closed != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw HostError("cannot write " + path);
    }
}

} // namespace pqhost
