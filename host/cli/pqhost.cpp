// pqhost: the substitute host's command line.
//
//   pqhost info <library>                 SDK version and text, and every module it describes and creates
//   pqhost render <patch.json> -o <file.wav> [--plugins <dir>]
//                                         renders a patch's outputs to a 32-bit float WAV file
//   pqhost validate <library> [--seed N] [--rounds N] [--timeout S]
//                                         drives every module with good and hostile input, each in
//                                         a process of its own; a crash is reported with its seed
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/catalogue.h"
#include "host/host_error.h"
#include "host/module_description.h"
#include "host/patch.h"
#include "host/patch_runner.h"
#include "host/plugin_library.h"
#include "host/validate.h"

namespace {

const char* kUsage = "usage: pqhost info <library.so>\n"
                     "       pqhost render <patch.json> -o <out.wav> [--plugins <dir>]\n"
                     "       pqhost validate <library.so> [--seed N] [--rounds N] [--timeout S]\n";

// A whole number from the command line, or a clear error.
long wholeArgument(const std::string& option, const std::string& text, long low, long high) {
    size_t used = 0;
    long value = 0;
    try {
        value = std::stol(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || value < low || value > high)
        throw pqhost::HostError(option + " takes a whole number from " + std::to_string(low) + " to " +
                                std::to_string(high) + ", not '" + text + "'");
    return value;
}

int validate(const std::vector<std::string>& args) {
    std::string library;
    uint32_t seed = 1;
    int rounds = 300;
    unsigned timeout = 60;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--timeout" && i + 1 < args.size())
            timeout = static_cast<unsigned>(wholeArgument("--timeout", args[++i], 1, 86400));
        else if (args[i] == "--seed" && i + 1 < args.size())
            seed = static_cast<uint32_t>(wholeArgument("--seed", args[++i], 0, 4294967295L));
        else if (args[i] == "--rounds" && i + 1 < args.size())
            rounds = static_cast<int>(wholeArgument("--rounds", args[++i], 1, 1000000));
        else if (library.empty() && !args[i].empty() && args[i][0] != '-')
            library = args[i];
        else
            throw pqhost::HostError("validate: unexpected argument '" + args[i] + "'");
    }
    if (library.empty()) throw pqhost::HostError("validate: needs a library");
    std::vector<std::string> validated;
    const auto findings =
        pqhost::validateLibrary(library, seed, rounds, &validated, pqhost::exerciseModule, timeout);
    for (const auto& finding : findings)
        std::printf("FAILED module %s: %s (reproduce: pqhost validate %s --seed %u --rounds %d)\n",
                    finding.module.c_str(), finding.what.c_str(), library.c_str(), seed, rounds);
    std::printf("validated %zu module(s) of %s, %d rounds each, seed %u: %zu failed\n", validated.size(),
                library.c_str(), rounds, seed, findings.size());
    return findings.empty() ? 0 : 1;
}

// Deliverables named in patches are found beside the program, in plugins/.
std::filesystem::path defaultPluginDir() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path("plugins") : self.parent_path() / "plugins";
}

int render(const std::vector<std::string>& args) {
    std::string patchFile, outFile;
    std::filesystem::path pluginDir = defaultPluginDir();
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size())
            outFile = args[++i];
        else if (args[i] == "--plugins" && i + 1 < args.size())
            pluginDir = args[++i];
        else if (patchFile.empty() && !args[i].empty() && args[i][0] != '-')
            patchFile = args[i];
        else
            throw pqhost::HostError("render: unexpected argument '" + args[i] + "'");
    }
    if (patchFile.empty() || outFile.empty())
        throw pqhost::HostError("render: needs a patch file and -o <out.wav>");
    std::error_code error;
    if (std::filesystem::is_directory(outFile, error))
        throw pqhost::HostError("render: cannot write " + outFile + ": a directory");
    if (std::filesystem::equivalent(patchFile, outFile, error))
        throw pqhost::HostError("render: " + outFile + " is the patch file itself");
    const pqhost::Patch patch = pqhost::loadPatch(patchFile, pluginDir);
    if (patch.outputs.empty())
        throw pqhost::HostError(patchFile + ": output: the patch names no audio output to render");
    pqhost::PatchRunner runner(patch);
    const bool longRender = patch.lengthSamples > int64_t(patch.sampleRate) * 10;
    const bool showProgress = longRender && ::isatty(STDERR_FILENO);
    runner.run([&](double done) {
        if (showProgress) std::fprintf(stderr, "\rrendering %3d%%", int(done * 100));
    });
    if (showProgress) std::fputc('\n', stderr);
    const std::vector<std::string> written =
        pqhost::writeOutputs(outFile, runner.channels(), patch.sampleRate, runner.faces());
    std::printf("rendered %s: %lld samples at %g Hz in %lld blocks of %d, %zu channel(s) to %s\n",
                patchFile.c_str(), static_cast<long long>(patch.lengthSamples), double(patch.sampleRate),
                static_cast<long long>(runner.blocks()), patch.blockSize, runner.channels().size(),
                outFile.c_str());
    for (const pqhost::ModuleReport& m : runner.report()) {
        if (m.gui)
            std::printf("  GUI module %s: set %lld values\n", m.name.c_str(),
                        static_cast<long long>(m.valuesSent));
        else
            std::printf("  module %s: ran %lld blocks, slept %lld\n", m.name.c_str(),
                        static_cast<long long>(m.blocksRun), static_cast<long long>(m.blocksSlept));
    }
    for (size_t i = 0; i < runner.faces().size(); ++i) {
        const pqhost::FaceImage& image = runner.faces()[i].second;
        std::printf("  face %s (%dx%d)\n", written[i + 1].c_str(), image.width, image.height);
    }
    return 0;
}

int info(const std::string& path) {
    pqhost::PluginLibrary library(path);
    std::printf("library: %s\n", path.c_str());
    std::printf("sdk version: %d\n", library.sdkVersion());
    std::printf("sdk text: %s\n", pqhost::toUtf8(library.sdkText()).c_str());
    std::printf("factory: %s\n", library.factory2() ? "IMpFactory2" : "IMpFactory");
    const pqhost::LibraryCatalogue catalogue = pqhost::readCatalogue(path);
    const auto creatable = pqhost::creatableModules(library, catalogue);
    for (const pqhost::ModuleInfo* module : creatable) {
        std::printf("module \"%s\" subtype %d (%s)\n", pqhost::toUtf8(module->id).c_str(), module->subtype,
                    module->className.c_str());
        for (const pqhost::PinInfo& pin : module->pins) {
            std::printf("  pin %d \"%s\" %s %s\n", pin.id, pin.name.c_str(),
                        pqhost::datatypeName(pin.datatype, module->subtype),
                        pin.direction == gmpi::kDirectionIn ? "in" : "out");
        }
    }
    for (const pqhost::ModuleInfo& module : catalogue.modules) {
        if (std::find(creatable.begin(), creatable.end(), &module) == creatable.end())
            std::printf("module \"%s\" subtype %d: described, but the library does not create it\n",
                        pqhost::toUtf8(module.id).c_str(), module.subtype);
    }
    // Descriptions the library carries in its file, read without calling into it.
    for (const std::string& description : pqhost::readModuleDescriptions(path))
        std::printf("description:\n%s%s", description.c_str(),
                    !description.empty() && description.back() == '\n' ? "" : "\n");
    if (catalogue.modules.empty())
        throw pqhost::HostError(catalogue.noModulesMessage(path) + ": its modules cannot be listed");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::strcmp(argv[1], "info") == 0) return info(argv[2]);
        if (argc >= 2 && std::strcmp(argv[1], "render") == 0) return render({argv + 2, argv + argc});
        if (argc >= 2 && std::strcmp(argv[1], "validate") == 0) return validate({argv + 2, argv + argc});
        std::fputs(kUsage, stderr);
        return 2;
    } catch (const pqhost::HostError& e) {
        std::fprintf(stderr, "pqhost: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pqhost: %s\n", e.what());
        return 1;
    }
}
