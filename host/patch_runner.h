// Runs a patch block by block as a real host does: buffers passed along audio connections
// with streaming starts and stops as events, control values delivered as value events at
// their sample times, sleeping modules skipped until an event reaches them, graph start in
// the first block.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/patch.h"

namespace pqhost {

class PluginLibrary;
class AudioEngine;
class AudioInstance;

struct ModuleReport {
    std::string name;
    int64_t blocksRun = 0;
    int64_t blocksSlept = 0;
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

private:
    struct Node;
    void runBlock(int64_t blockStart, int32_t count);

    const Patch& patch_;
    std::vector<std::unique_ptr<PluginLibrary>> libraries_;
    std::unique_ptr<AudioEngine> engine_;
    std::vector<std::unique_ptr<Node>> nodes_;  // in patch order
    std::vector<Node*> order_;                  // in running order
    std::vector<std::vector<float>> channels_;
    int64_t blocks_ = 0;
    size_t nextEvent_ = 0;
};

// Writes 32-bit float WAV through a temporary file, so that a failed render leaves no file.
void writeWav(const std::string& path, const std::vector<std::vector<float>>& channels, float sampleRate);

} // namespace pqhost
