#include "host/patch_runner.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

#include "host/audio_instance.h"
#include "host/host_error.h"
#include "host/module_creation.h"
#include "host/plugin_library.h"

namespace pqhost {

struct PatchRunner::Node {
    const PatchModule* module = nullptr;
    std::unique_ptr<AudioInstance> audio;   // audio modules
    std::unique_ptr<GuiModuleInstance> gui; // GUI modules
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
    createModules();
    layOutPointedFaces();
    wireConnections();
    orderModules();
    prepareFirstBlock();
}

void PatchRunner::fail(const std::string& what) const {
    throw HostError(patch_.file.string() + ": " + what);
}

// Loads each library once and creates every module; audio modules get their audio buffers,
// unconnected inputs the constant the patch or the pin's default gives them.
void PatchRunner::createModules() {
    std::map<std::string, PluginLibrary*> loaded;
    const auto styleSheet =
        patch_.styleSheet.empty() ? nullptr : std::make_shared<const std::string>(patch_.styleSheet);
    for (const PatchModule& module : patch_.modules) {
        const std::string key = module.libraryPath.string();
        if (!loaded.count(key)) {
            try {
                libraries_.push_back(std::make_unique<PluginLibrary>(key));
            } catch (const HostError& e) {
                fail("module \"" + module.name + "\": " + e.what());
            }
            loaded[key] = libraries_.back().get();
        }
        PluginLibrary& library = *loaded[key];
        auto node = std::make_unique<Node>();
        node->module = &module;
        gmpi::IMpUnknown* host = nullptr;
        if (module.subtype != gmpi::kSubtypeAudio) {
            node->gui = std::make_unique<GuiModuleInstance>();
            if (styleSheet) node->gui->setStyleSheet(styleSheet);
            host = node->gui->hostObject();
        } else {
            node->audio = std::make_unique<AudioInstance>(*engine_, module.name);
            host = node->audio->hostObject();
        }
        const CreatedModule made = createModule(library, module.id, module.subtype, host);
        if (made.result != gmpi::kMpOk || made.object == nullptr ||
            (node->gui && !node->gui->attach(made.object, module.subtype)))
            fail("module \"" + module.name + "\": " + module.library + " could not create \"" +
                 toUtf8(module.id) + "\" (result " + std::to_string(made.result) + ")");
        if (node->gui) {
            nodes_.push_back(std::move(node));
            continue;
        }
        node->audio->attach(made.object, made.hostGivenAtCreation);
        for (const PinInfo& pin : module.info->pins) {
            if (pin.datatype != gmpi::kDatatypeAudio) continue;
            float* buffer = node->audio->addAudioPin(pin.id);
            if (pin.direction == gmpi::kDirectionIn) {
                float value = 0;
                if (!pin.defaultValue.empty()) value = std::stof(pin.defaultValue);
                for (const auto& [id, bytes] : module.values)
                    if (id == pin.id) std::memcpy(&value, bytes.data(), 4);
                node->constants[pin.id] = value;
                std::fill(buffer, buffer + patch_.blockSize, value);
            }
        }
        nodes_.push_back(std::move(node));
    }

    const auto needFace = [&](size_t module, const char* what) {
        if (!nodes_[module]->gui->hasFace())
            fail("module \"" + patch_.modules[module].name + "\" has no face to " + what);
    };
    for (const PatchPointer& p : patch_.pointer)
        needFace(p.module, "point at");
    for (const PatchFace& f : patch_.faces)
        needFace(f.module, "paint");
}

// A face that the patch points at lies on the editor's surface from the start, at the size
// of its first picture (or 256 x 100 without one), as a host lays out its faces before
// the user can reach them.
void PatchRunner::layOutPointedFaces() {
    for (const PatchPointer& p : patch_.pointer) {
        GuiModuleInstance& gui = *nodes_[p.module]->gui;
        if (gui.arranged()) continue;
        gmpi_gui_api::Size size{256.0f, 100.0f};
        for (const PatchFace& f : patch_.faces)
            if (f.module == p.module) {
                size = {float(f.width), float(f.height)};
                break;
            }
        gui.measure(size);
        gui.arrange({0.0f, 0.0f, size.width, size.height});
    }
}

// Audio connections feed buffers; what each module sends is routed: streaming to fed audio
// inputs, values to control inputs.
void PatchRunner::wireConnections() {
    for (const PatchConnection& c : patch_.connections) {
        Node& from = *nodes_[c.from.module];
        Node& to = *nodes_[c.to.module];
        if (c.to.pin->datatype == gmpi::kDatatypeAudio && from.audio) {
            to.constants.erase(c.to.pin->id);
            to.feeds.push_back({c.to.pin->id, &from, c.from.pin->id});
        }
    }
    for (auto& node : nodes_) {
        const size_t index = size_t(&node - &nodes_[0]);
        if (node->gui) {
            node->gui->setValueCallback([this, index](int32_t pinId, const std::vector<uint8_t>& bytes) {
                routeGuiValue(index, pinId, bytes);
            });
            // Values the module set while it initialised travel now that every module exists.
            for (const GuiPinValue& early : std::vector<GuiPinValue>(node->gui->sent()))
                routeGuiValue(index, early.pinId, early.bytes);
            continue;
        }
        node->audio->onValue = [this, index](const PinValueRecord& value) {
            for (const PatchConnection& c : patch_.connections)
                if (c.from.module == index && c.from.pin->id == value.pinId &&
                    c.to.pin->datatype != gmpi::kDatatypeAudio)
                    nodes_[c.to.module]->audio->queueEvent(value.time, gmpi::kEventPinSet, c.to.pin->id,
                                                           value.bytes.data(), int32_t(value.bytes.size()));
        };
        node->audio->onStreaming = [this, index](const StreamingRecord& s) {
            for (const PatchConnection& c : patch_.connections)
                if (c.from.module == index && c.from.pin->id == s.pinId)
                    nodes_[c.to.module]->audio->queueStreaming(s.time, c.to.pin->id, s.streaming);
        };
    }
}

// Sources run before what they feed where the connections allow; loops keep patch order.
void PatchRunner::orderModules() {
    std::vector<int> pending(nodes_.size(), 0);
    for (const PatchConnection& c : patch_.connections)
        ++pending[c.to.module];
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
        for (const PatchConnection& c : patch_.connections)
            if (c.from.module == pick) --pending[c.to.module];
    }
}

// The first block: initial values, the constant state of unconnected audio inputs, graph start.
void PatchRunner::prepareFirstBlock() {
    // Entries named by their text must be in the lists the modules show once they exist.
    for (const PatchSelection& selection : patch_.selections)
        selectionBytes(selection);

    for (auto& node : nodes_) {
        if (node->gui) {
            // GUI pins take their values in pin order, as a host loading a patch gives them.
            const size_t index = size_t(&node - &nodes_[0]);
            auto values = node->module->values;
            std::stable_sort(values.begin(), values.end(),
                             [](const auto& x, const auto& y) { return x.first < y.first; });
            for (const auto& [id, bytes] : values)
                if (const PinInfo* pin = node->module->info->findPin(id)) giveGuiValue(index, *pin, bytes);
            for (const PatchSelection& selection : patch_.selections)
                if (selection.initial && selection.module == index)
                    giveGuiValue(index, *selection.pin, selectionBytes(selection));
            continue;
        }
        node->audio->open();
        for (const auto& [id, bytes] : node->module->values) {
            if (node->constants.count(id)) continue;
            const PinInfo* pin = node->module->info->findPin(id);
            if (pin && pin->datatype == gmpi::kDatatypeAudio)
                continue; // a connected audio input follows its source
            node->audio->queueEvent(0, gmpi::kEventPinSet, id, bytes.data(), int32_t(bytes.size()));
        }
        for (const auto& [id, value] : node->constants)
            node->audio->queueStreaming(0, id, false);
        node->audio->queueGraphStart(0);
    }
    for (const PinRef& out : patch_.outputs)
        outputBuffers_.push_back(nodes_[out.module]->audio->buffer(out.pin->id));
}

PatchRunner::~PatchRunner() {
    nodes_.clear(); // every module is released before its library unloads
    libraries_.clear();
}

GuiModuleInstance* PatchRunner::guiModule(const std::string& name) const {
    for (const auto& node : nodes_)
        if (node->module->name == name) return node->gui.get();
    return nullptr;
}

// A GUI module set one of its pins: connected GUI pins hear it at once, audio-module inputs
// as a value (or a new constant) at the start of the next block.
void PatchRunner::routeGuiValue(size_t module, int32_t pinId, const std::vector<uint8_t>& bytes) {
    for (const PatchConnection& c : patch_.connections) {
        if (c.from.module != module || c.from.pin->id != pinId) continue;
        std::vector<uint8_t> value = bytes;
        const int32_t from = c.from.pin->datatype, to = c.to.pin->datatype;
        Node& target = *nodes_[c.to.module];
        if (target.audio && (to == gmpi::kDatatypeAudio || to == gmpi::kDatatypeFloat) &&
            from != gmpi::kGuiPinFloat) {
            // bools and integers become numbers
            int32_t whole = 0;
            if (from == gmpi::kGuiPinBool)
                whole = !bytes.empty() && bytes[0] != 0;
            else
                std::memcpy(&whole, bytes.data(), std::min<size_t>(4, bytes.size()));
            const float f = static_cast<float>(whole);
            value.assign(reinterpret_cast<const uint8_t*>(&f), reinterpret_cast<const uint8_t*>(&f) + 4);
        } else if (target.audio && to == gmpi::kDatatypeInt && from == gmpi::kGuiPinBool) {
            const int32_t whole = !bytes.empty() && bytes[0] != 0;
            value.assign(reinterpret_cast<const uint8_t*>(&whole),
                         reinterpret_cast<const uint8_t*>(&whole) + 4);
        }
        deliverToPin(c.to.module, *c.to.pin, value);
    }
}

void PatchRunner::giveGuiValue(size_t module, const PinInfo& pin, const std::vector<uint8_t>& bytes) {
    nodes_[module]->gui->deliver(pin.id, bytes.data(), int32_t(bytes.size()));
    routeGuiValue(module, pin.id, bytes);
}

std::vector<uint8_t> PatchRunner::selectionBytes(const PatchSelection& selection) const {
    const std::vector<uint8_t>* shown = nodes_[selection.module]->gui->pinValue(selection.list->id);
    std::u16string list;
    if (shown != nullptr) {
        list.resize(shown->size() / 2);
        std::memcpy(list.data(), shown->data(), list.size() * 2);
    }
    const int32_t index = selectionIndex(list, selection.entry);
    if (index < 0)
        throw HostError(patch_.file.string() + ": " + selection.place + ": \"" + selection.entry +
                        "\" is no entry of the list \"" + selection.list->name + "\" of module \"" +
                        patch_.modules[selection.module].name + "\"");
    std::vector<uint8_t> bytes(4);
    std::memcpy(bytes.data(), &index, 4);
    return bytes;
}

void PatchRunner::deliverToPin(size_t module, const PinInfo& pin, const std::vector<uint8_t>& bytes,
                               int32_t offset) {
    Node& node = *nodes_[module];
    if (node.gui) {
        node.gui->deliver(pin.id, bytes.data(), int32_t(bytes.size()));
        return;
    }
    if (pin.datatype == gmpi::kDatatypeAudio) {
        // An unconnected audio input holds a new constant from `offset` on, announced by a
        // streaming stop; a connected one follows its source.
        const auto constant = node.constants.find(pin.id);
        if (constant == node.constants.end() || bytes.size() < 4) return;
        float value = 0;
        std::memcpy(&value, bytes.data(), 4);
        node.changes.push_back({pin.id, offset, value});
        node.audio->queueStreaming(offset, pin.id, false);
        return;
    }
    node.audio->queueEvent(offset, gmpi::kEventPinSet, pin.id, bytes.data(), int32_t(bytes.size()));
}

void PatchRunner::runGui(int64_t end) {
    const auto& events = patch_.events;
    for (;;) {
        while (nextGuiEvent_ < events.size() && !nodes_[events[nextGuiEvent_].pin.module]->gui)
            ++nextGuiEvent_;
        const int64_t never = INT64_MAX;
        const int64_t tEvent = nextGuiEvent_ < events.size() ? events[nextGuiEvent_].sample : never;
        const int64_t tPointer =
            nextPointer_ < patch_.pointer.size() ? patch_.pointer[nextPointer_].sample : never;
        const int64_t tFace = nextFace_ < patch_.faces.size() ? patch_.faces[nextFace_].sample : never;
        while (nextSelection_ < patch_.selections.size() && patch_.selections[nextSelection_].initial)
            ++nextSelection_;
        const int64_t tSelection =
            nextSelection_ < patch_.selections.size() ? patch_.selections[nextSelection_].sample : never;
        const int64_t t = std::min({tEvent, tPointer, tFace, tSelection});
        if (t >= end) return;
        if (t == tEvent) {
            const PatchEvent& e = events[nextGuiEvent_++];
            giveGuiValue(e.pin.module, *e.pin.pin, e.bytes);
        } else if (t == tSelection) {
            const PatchSelection& selection = patch_.selections[nextSelection_++];
            giveGuiValue(selection.module, *selection.pin, selectionBytes(selection));
        } else if (t == tPointer) {
            const PatchPointer& p = patch_.pointer[nextPointer_++];
            GuiModuleInstance& gui = *nodes_[p.module]->gui;
            switch (p.action) {
            case PatchPointer::Action::Down:
                gui.pointerDown(p.flags, {p.x, p.y});
                break;
            case PatchPointer::Action::Move:
                gui.pointerMove(p.flags, {p.x, p.y});
                break;
            case PatchPointer::Action::Up:
                gui.pointerUp(p.flags, {p.x, p.y});
                break;
            }
        } else {
            const PatchFace& f = patch_.faces[nextFace_++];
            faces_.emplace_back(f.file, nodes_[f.module]->gui->render(f.width, f.height));
        }
    }
}

AudioInstance* PatchRunner::audioModule(const std::string& name) const {
    for (const auto& node : nodes_)
        if (node->module->name == name) return node->audio.get();
    return nullptr;
}

void PatchRunner::runBlock(int64_t blockStart, int32_t count, const BlockSink& sink) {
    // Patch events of this block: control inputs get value events, unconnected audio inputs
    // a new constant from that sample on, announced by a streaming-stop event.
    while (nextEvent_ < patch_.events.size() && patch_.events[nextEvent_].sample < blockStart + count) {
        const PatchEvent& e = patch_.events[nextEvent_++];
        if (nodes_[e.pin.module]->gui) continue; // handled after the block's audio
        deliverToPin(e.pin.module, *e.pin.pin, e.bytes, static_cast<int32_t>(e.sample - blockStart));
    }
    for (Node* node : order_) {
        if (!node->audio) continue;
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
            std::memcpy(node->audio->buffer(feed.pin), feed.source->audio->buffer(feed.sourcePin),
                        sizeof(float) * size_t(count));
        node->audio->runBlock(count);
    }
    if (sink) sink(outputBuffers_.data(), count);
}

void PatchRunner::run(const std::function<void(double)>& progress) {
    channels_.assign(patch_.outputs.size(), std::vector<float>(size_t(patch_.lengthSamples), 0.0f));
    int64_t done = 0;
    keepRecords_ = true;
    stream(
        [this, &done](const float* const* channels, int32_t count) {
            for (size_t c = 0; c < channels_.size(); ++c)
                std::copy(channels[c], channels[c] + count, channels_[c].begin() + done);
            done += count;
        },
        progress);
}

void PatchRunner::stream(const BlockSink& sink, const std::function<void(double)>& progress) {
    const int64_t total = patch_.lengthSamples;
    int64_t reported = 0;
    // A render kept whole may keep what each module sent too; a streamed one keeps nothing
    // that grows with its length.
    for (const auto& node : nodes_)
        if (node->audio) node->audio->keepRecords = keepRecords_;
    keepRecords_ = false;
    for (int64_t start = 0; start < total; start += patch_.blockSize) {
        const int32_t count = static_cast<int32_t>(std::min<int64_t>(patch_.blockSize, total - start));
        runBlock(start, count, sink);
        runGui(start + count);
        ++blocks_;
        if (progress && start - reported >= total / 10) {
            reported = start;
            progress(double(start) / double(total));
        }
    }
    runGui(INT64_MAX); // faces painted at the end
    if (progress) progress(1.0);
}

std::vector<ModuleReport> PatchRunner::report() const {
    std::vector<ModuleReport> out;
    for (const auto& node : nodes_) {
        if (node->gui)
            out.push_back({node->module->name, true, 0, 0, int64_t(node->gui->sent().size())});
        else
            out.push_back(
                {node->module->name, false, node->audio->blocksRun(), node->audio->blocksSlept(), 0});
    }
    return out;
}

} // namespace pqhost
