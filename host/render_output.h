// The files a render writes: a 32-bit float WAV streamed block by block, and the face pictures
// beside it. Nothing the user did not choose is touched: the places are checked before the
// render starts, everything is written to temporary files, and the files are moved into place
// together only when all of them were written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/gui/gui_module_instance.h"
#include "host/patch.h"

namespace pqhost {

// Where a render's files go, checked.
struct OutputPlan {
    std::filesystem::path wav;                // empty: the WAV goes to standard output
    std::vector<std::filesystem::path> faces; // in the patch's face order
};

// Checks the places of a render's files. `wav` is a path or "-" for standard output; a path
// must name a regular file or nothing yet (devices, FIFOs, directories and symbolic links are
// refused). Face files are resolved against the WAV's folder (the current folder when the WAV
// goes to standard output) and must stay inside it: absolute names, ".." and symbolic links
// leading outside are refused, as are names that meet the patch, the WAV or each other.
// Throws HostError.
OutputPlan planOutputs(const std::string& wav, const Patch& patch);

// Writes the WAV as the render goes and the faces at the end; removes every temporary file
// unless commit() moved them into place.
class OutputWriter {
public:
    // Opens the temporary WAV file, or writes the WAV header to standard output: the length
    // is known before the render starts. Throws HostError.
    OutputWriter(OutputPlan plan, int32_t channels, int32_t sampleRate, int64_t frames);
    ~OutputWriter();
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    // One block of every channel. Throws HostError with the system's reason.
    void writeBlock(const float* const* channels, int32_t count);
    // Finishes the WAV, writes the faces (in the plan's order) and moves every file into
    // place. Answers the paths written, the WAV first ("-" for standard output).
    std::vector<std::string> commit(const std::vector<std::pair<std::string, FaceImage>>& faces);

private:
    void removeTemporaries();

    OutputPlan plan_;
    int32_t channels_;
    struct SndFile;
    SndFile* sound_ = nullptr; // the temporary WAV file
    std::FILE* stream_ = nullptr;
    std::vector<float> interleaved_;
    std::vector<std::filesystem::path> temporaries_; // WAV first (when a file), then faces
    bool committed_ = false;
};

} // namespace pqhost
