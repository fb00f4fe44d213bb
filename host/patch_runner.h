// Runs a patch block by block as a real host does: buffers passed along audio connections
// with streaming starts and stops as events, control values delivered as value events at
// their sample times, sleeping modules skipped until an event reaches them, graph start in
// the first block.
#pragma once

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

class PatchRunner {
public:
    // Loads the libraries and creates, connects and opens every module. Throws HostError.
    explicit PatchRunner(const Patch& patch);
    ~PatchRunner();
    PatchRunner(const PatchRunner&) = delete;
    PatchRunner& operator=(const PatchRunner&) = delete;

    // Renders the patch's length; `progress` (optional) hears the fraction done now and then.
    void run(const std::function<void(double)>& progress = {});

    // One channel per chosen output, the patch's length in samples.
    const std::vector<std::vector<float>>& channels() const { return channels_; }
    std::vector<ModuleReport> report() const;
    int64_t blocks() const { return blocks_; }
    AudioInstance* audioModule(const std::string& name) const;
    GuiModuleInstance* guiModule(const std::string& name) const;
    // Faces painted during the run, with the file names the patch gave them.
    const std::vector<std::pair<std::string, FaceImage>>& faces() const { return faces_; }

private:
    struct Node;
    void runBlock(int64_t blockStart, int32_t count);
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
    int64_t blocks_ = 0;
    size_t nextEvent_ = 0;
    size_t nextGuiEvent_ = 0;
    size_t nextPointer_ = 0;
    size_t nextFace_ = 0;
    size_t nextSelection_ = 0;
    std::vector<std::pair<std::string, FaceImage>> faces_;
};

// Writes the channels as a 32-bit float WAV file and the faces as PNG files beside it (face
// names relative to the WAV's directory). Everything is written to temporary files first and
// moved into place only when all were written, so that a failure leaves no file behind.
// Answers the paths written, the WAV first. Throws HostError.
std::vector<std::string> writeOutputs(const std::string& wavPath,
                                      const std::vector<std::vector<float>>& channels, float sampleRate,
                                      const std::vector<std::pair<std::string, FaceImage>>& faces);

} // namespace pqhost
