#include "host/patch_save.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

#include <nlohmann/json.hpp>
#include <sndfile.h>
#include <unistd.h>

#include "host/host_error.h"

namespace pqhost {
namespace {

using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

// Pins that run a command each time the host sets them; their last value is no state.
bool runsCommand(const ModuleInfo& module, const PinInfo& pin) {
    static const struct {
        const char16_t* module;
        const char* pin;
    } kCommands[] = {
        {u"pq WaveEditor", "Copy"},
        {u"pq WaveEditor", "Paste"},
        {u"pq WaveEditor", "Generate"},
        {u"pq WaveEditor", "Modify"},
    };
    for (const auto& c : kCommands)
        if (module.id == c.module && pin.name == c.pin) return true;
    return false;
}

std::vector<float> samplesOf(const std::vector<uint8_t>& bytes) {
    std::vector<float> samples(bytes.size() / 4);
    if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * 4);
    return samples;
}

// A GUI pin's bytes as the patch writes its value; null when the value cannot be written
// (a number that is not finite).
json guiValue(const PinInfo& pin, const std::vector<uint8_t>& bytes) {
    const auto scalar = [&](auto v) {
        std::memcpy(&v, bytes.data(), std::min(sizeof(v), bytes.size()));
        return v;
    };
    switch (pin.datatype) {
    case 1: {
        std::u16string text(bytes.size() / 2, u'\0');
        if (!text.empty()) std::memcpy(text.data(), bytes.data(), text.size() * 2);
        return toUtf8(text);
    }
    case 4:
        return !bytes.empty() && std::any_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b != 0; });
    case 6: {
        const float v = scalar(0.0f);
        return std::isfinite(v) ? json(v) : json();
    }
    case 8:
        return scalar(int32_t(0));
    case 10: {
        const std::vector<float> samples = samplesOf(bytes);
        for (float s : samples)
            if (!std::isfinite(s)) return json();
        return json{{"samples", samples}};
    }
    default:
        return json();
    }
}

// A wave file named relative to the patch, made absolute.
void absoluteWaveFile(json& value, const fs::path& patchDir) {
    if (!value.is_object() || !value.contains("wav") || !value["wav"].is_string()) return;
    const fs::path wave = value["wav"].get<std::string>();
    if (wave.is_relative()) value["wav"] = fs::absolute(patchDir / wave).lexically_normal().string();
}

std::string moduleOf(const json& pinText) {
    if (!pinText.is_string()) return {};
    const std::string text = pinText.get<std::string>();
    return text.substr(0, text.find('.'));
}

// Writes `text` to `file` through a temporary file beside it.
void writeTextFile(const fs::path& file, const std::string& text) {
    const std::string temporary = file.string() + ".partial." + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            throw HostError("cannot write " + file.string());
        }
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw HostError("cannot write " + file.string());
    }
}

void writeWave(const std::string& path, const std::vector<float>& samples, float sampleRate,
               const std::string& shown) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) throw HostError("cannot write " + shown + ": " + sf_strerror(nullptr));
    const auto count = static_cast<sf_count_t>(samples.size());
    const bool written = sf_writef_float(file, samples.data(), count) == count;
    if (sf_close(file) != 0 || !written) throw HostError("cannot write " + shown);
}

} // namespace

std::string savedPatchText(const Patch& patch, const PatchRunner& runner) {
    json root;
    try {
        root = json::parse(patch.source);
    } catch (const std::exception&) {
        throw HostError(patch.file.string() + ": the patch as read cannot be saved");
    }
    const fs::path patchDir = patch.file.parent_path();
    json& modules = root["modules"];
    std::set<std::string> savedWaves; // modules whose waves the saved patch holds
    for (size_t i = 0; i < patch.modules.size() && i < modules.size(); ++i) {
        const PatchModule& module = patch.modules[i];
        json& entry = modules[i];
        const fs::path library = module.library;
        if (module.library.find('/') != std::string::npos || library.extension() == ".so")
            entry["library"] = fs::absolute(module.libraryPath).lexically_normal().string();
        const GuiModuleInstance* gui = runner.guiModule(module.name);
        if (gui == nullptr) {
            if (entry.contains("values") && entry["values"].is_object())
                for (auto& [name, value] : entry["values"].items())
                    absoluteWaveFile(value, patchDir);
            continue;
        }
        json values = json::object();
        for (const PinInfo& pin : module.info->pins) {
            if (pin.direction != gmpi::kDirectionIn || runsCommand(*module.info, pin)) continue;
            const std::vector<uint8_t>* bytes = gui->pinValue(pin.id);
            if (bytes == nullptr) continue;
            json value = guiValue(pin, *bytes);
            if (value.is_null()) continue;
            if (pin.datatype == gmpi::kGuiPinBlob) savedWaves.insert(module.name);
            values[pin.name] = std::move(value);
        }
        entry["values"] = std::move(values);
    }
    // The edits of a module whose waves were saved are in those waves already.
    const auto dropAimedAt = [&](const char* key, const char* moduleKey, bool pinText) {
        if (!root.contains(key) || !root[key].is_array()) return;
        json kept = json::array();
        for (json& item : root[key]) {
            const json* target = item.is_object() && item.contains(moduleKey) ? &item[moduleKey] : nullptr;
            const std::string name =
                target == nullptr ? "" : (pinText ? moduleOf(*target) : target->get<std::string>());
            if (savedWaves.count(name)) continue;
            if (item.is_object() && item.contains("value")) absoluteWaveFile(item["value"], patchDir);
            kept.push_back(std::move(item));
        }
        root[key] = std::move(kept);
    };
    dropAimedAt("events", "pin", true);
    dropAimedAt("pointer", "module", false);
    return root.dump(2) + "\n";
}

void writeSavedPatch(const fs::path& file, const Patch& patch, const PatchRunner& runner) {
    writeTextFile(file, savedPatchText(patch, runner));
}

std::vector<std::string> exportWaves(const fs::path& dir, const Patch& patch, const PatchRunner& runner) {
    std::error_code error;
    if (fs::exists(dir, error) && !fs::is_directory(dir, error))
        throw HostError("cannot export waves to " + dir.string() + ": not a directory");
    fs::create_directories(dir, error);
    if (error) throw HostError("cannot make the directory " + dir.string() + ": " + error.message());

    struct Wave {
        std::string path;
        std::vector<float> samples;
    };
    std::vector<Wave> waves;
    for (const PatchModule& module : patch.modules) {
        const GuiModuleInstance* gui = runner.guiModule(module.name);
        if (gui == nullptr) continue;
        for (const PinInfo& pin : module.info->pins) {
            const std::vector<uint8_t>* bytes =
                pin.datatype == gmpi::kGuiPinBlob ? gui->pinValue(pin.id) : nullptr;
            if (bytes == nullptr || bytes->size() < 4) continue;
            // A module's name may hold path separators; the file stays inside `dir`.
            std::string name = module.name + "-" + pin.name + ".wav";
            std::replace(name.begin(), name.end(), '/', '_');
            std::replace(name.begin(), name.end(), '\\', '_');
            waves.push_back({(dir / name).string(), samplesOf(*bytes)});
        }
    }
    const std::string suffix = ".partial." + std::to_string(::getpid());
    std::vector<std::string> written;
    const auto removeTemporaries = [&] {
        for (const std::string& path : written)
            std::remove((path + suffix).c_str());
    };
    try {
        for (const Wave& wave : waves) {
            written.push_back(wave.path);
            writeWave(wave.path + suffix, wave.samples, patch.sampleRate, wave.path);
        }
    } catch (...) {
        removeTemporaries();
        throw;
    }
    for (const std::string& path : written)
        if (std::rename((path + suffix).c_str(), path.c_str()) != 0) {
            removeTemporaries();
            throw HostError("cannot write " + path);
        }
    return written;
}

void checkSaveTargets(const fs::path& patchFile, const fs::path& wavFile, const fs::path& saveFile,
                      const fs::path& waveDir) {
    std::error_code error;
    if (!saveFile.empty()) {
        if (fs::is_directory(saveFile, error))
            throw HostError("render: cannot save the patch as " + saveFile.string() + ": a directory");
        if (fs::equivalent(saveFile, patchFile, error))
            throw HostError("render: --save " + saveFile.string() +
                            " is the patch file itself; save the edited patch under another name");
        if (fs::weakly_canonical(saveFile, error) == fs::weakly_canonical(wavFile, error))
            throw HostError("render: --save and -o name the same file " + saveFile.string());
        const fs::path parent = saveFile.has_parent_path() ? saveFile.parent_path() : fs::path(".");
        if (!fs::is_directory(parent, error))
            throw HostError("render: cannot save the patch as " + saveFile.string() + ": no directory " +
                            parent.string());
    }
    if (!waveDir.empty() && fs::exists(waveDir, error) && !fs::is_directory(waveDir, error))
        throw HostError("render: --export-waves " + waveDir.string() + " is not a directory");
}

} // namespace pqhost
