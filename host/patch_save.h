// What a render leaves besides its WAV: the patch as it stands at the end (what a host's saved
// project holds) and the waves of the GUI modules as single-cycle WAV files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "host/patch.h"
#include "host/patch_runner.h"

namespace pqhost {

// The patch after `runner` has rendered it, as JSON text. Each GUI module's values are the
// final values of the pins the host gives it (a wave as its list of samples); the pins that
// run a command when set (Generate, Modify, Copy, Paste) and the pins the module sets itself
// are left out, so that loading the saved patch starts from the edited state instead of
// editing it again. For the same reason the timed events and pointer strokes aimed at a
// module whose waves were saved are dropped; everything else is kept. Library and wave file
// paths relative to the patch become absolute, so the saved patch may lie anywhere.
std::string savedPatchText(const Patch& patch, const PatchRunner& runner);

// Writes savedPatchText to `file` through a temporary file moved into place. Throws HostError.
void writeSavedPatch(const std::filesystem::path& file, const Patch& patch, const PatchRunner& runner);

// Writes every wave a GUI module holds on a blob pin as a 32-bit float mono WAV file
// "<module>-<pin>.wav" in `dir` (made when missing), one cycle per file at the patch's sample
// rate; pins holding no samples are skipped. All files are written to temporary files first
// and moved into place together. Answers the paths written. Throws HostError.
std::vector<std::string> exportWaves(const std::filesystem::path& dir, const Patch& patch,
                                     const PatchRunner& runner);

// Refuses, before anything runs, a --save target that cannot be a patch file (a directory,
// the patch itself, the WAV) and an --export-waves target that is not a directory. Empty
// paths are not checked. Throws HostError.
void checkSaveTargets(const std::filesystem::path& patchFile, const std::filesystem::path& wavFile,
                      const std::filesystem::path& saveFile, const std::filesystem::path& waveDir);

} // namespace pqhost
