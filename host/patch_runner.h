// Runs a patch block by block as a real host does: buffers passed along audio connections
// with streaming starts and stops as events, control values delivered as value events at
// their sample times, sleeping modules skipped until an event reaches them, graph start in
// the first block.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/gui/gui_module_instance.h"
#include "host/patch.h"

namespace pqhost {

class PluginLibrary;
class AudioEngine;
class AudioInstance;

struct ModuleReport {
    std::string name;
    bool gui = false;
    int64_t blocksRun = 0;   // audio modules
    int64_t blocksSlept = 0; // audio modules
    int64_t valuesSent = 0;  // GUI modules
};

// Hears the rendered outputs block by block: one buffer per chosen output, `count` samples each.
using BlockSink = std::function<void(const float* const* channels, int32_t count)>;

class PatchRunner {
public:
    // Loads the libraries and creates, connects and opens every module. Throws HostError.
    explicit PatchRunner(const Patch& patch);
    ~PatchRunner();
    PatchRunner(const PatchRunner&) = delete;
    PatchRunner& operator=(const PatchRunner&) = delete;

    // Renders the patch's length and keeps the outputs in channels(), and in each audio module
    // the values it sent; `progress` (optional) hears the fraction done now and then.
    void run(const std::function<void(double)>& progress = {});
    // Renders the patch's length and hands each block's outputs to `sink` instead of keeping
    // them (nor what the modules sent), so that memory stays the same however long the patch is.
    void stream(const BlockSink& sink, const std::function<void(double)>& progress = {});

    // After run(): one channel per chosen output, the patch's length in samples.
    const std::vector<std::vector<float>>& channels() const { return channels_; }
    std::vector<ModuleReport> report() const;
    int64_t blocks() const { return blocks_; }
    AudioInstance* audioModule(const std::string& name) const;
    GuiModuleInstance* guiModule(const std::string& name) const;
    // Faces painted during the run, with the file names the patch gave them.
    const std::vector<std::pair<std::string, FaceImage>>& faces() const { return faces_; }

private:
    struct Node;
    // The constructor's steps, in order.
    void createModules();
    void wireConnections();
    void layOutPointedFaces();
    void orderModules();
    void prepareFirstBlock();
    [[noreturn]] void fail(const std::string& what) const;

    void runBlock(int64_t blockStart, int32_t count, const BlockSink& sink);
    // GUI values, pointer events and faces due before `end`, after the audio of that block.
    void runGui(int64_t end);
    // A value for a module's input: GUI modules hear it at once, audio modules at `offset`
    // of their next block.
    void deliverToPin(size_t module, const PinInfo& pin, const std::vector<uint8_t>& bytes,
                      int32_t offset = 0);
    void routeGuiValue(size_t module, int32_t pinId, const std::vector<uint8_t>& bytes);
    // A value the patch gives a GUI module's pin: the module hears it, and it travels along
    // the pin's connections as the pin's value, as a value the module set does.
    void giveGuiValue(size_t module, const PinInfo& pin, const std::vector<uint8_t>& bytes);
    // A selection list's entry named by its text, as the index of that entry in the list the
    // module shows now. Throws HostError when the list has no such entry.
    std::vector<uint8_t> selectionBytes(const PatchSelection& selection) const;

    const Patch& patch_;
    std::vector<std::unique_ptr<PluginLibrary>> libraries_;
    std::unique_ptr<AudioEngine> engine_;
    std::vector<std::unique_ptr<Node>> nodes_; // in patch order
    std::vector<Node*> order_;                 // in running order
    std::vector<std::vector<float>> channels_;
    std::vector<const float*> outputBuffers_; // the chosen outputs' buffers, for the sink
    int64_t blocks_ = 0;
    bool keepRecords_ = false; // run() keeps the values modules sent, stream() does not
    size_t nextEvent_ = 0;
    size_t nextGuiEvent_ = 0;
    size_t nextPointer_ = 0;
    size_t nextFace_ = 0;
    size_t nextSelection_ = 0;
    std::vector<std::pair<std::string, FaceImage>> faces_;
};

} // namespace pqhost
