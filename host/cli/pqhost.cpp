// pqhost: the substitute host's command line.
//
//   pqhost info <library>                 SDK version and text, and every module it describes and creates
//   pqhost render <patch.json> -o <file.wav|-> [--plugins <dir>] [--save <patch.json>]
//                [--export-waves <dir>]   renders a patch's outputs to a 32-bit float WAV file;
//                                         --save writes the patch as it stands at the end,
//                                         --export-waves the GUI modules' waves as WAV files
//   pqhost validate <library> [--seed N] [--rounds N] [--timeout S]
//                                         drives every module with good and hostile input, each in
//                                         a process of its own; a crash is reported with its seed
//                                         and fewest rounds; --level thorough runs eight seeds
//
// `pqhost --help`, `pqhost <command> --help` and `pqhost --version` answer on standard output.
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "host/catalogue.h"
#include "host/host_error.h"
#include "host/module_creation.h"
#include "host/module_description.h"
#include "host/patch.h"
#include "host/patch_runner.h"
#include "host/patch_save.h"
#include "host/plugin_library.h"
#include "host/render_output.h"
#include "host/validate.h"

namespace {

struct InfoOptions {
    std::string library;
};

struct RenderOptions {
    std::string patch;
    std::string output;
    std::filesystem::path plugins;
    std::string save;        // --save: the patch as it stands at the end
    std::string exportWaves; // --export-waves: a folder for the GUI modules' waves
};

struct ValidateOptions {
    std::string library;
    uint32_t seed = 1;
    int rounds = 300;
    unsigned timeout = 60;
    std::string level = "quick";
};

// The quick level runs every module once; the thorough one runs it with eight seeds in turn,
// each choosing its own block size and sample rate, four times the rounds each.
int validate(const ValidateOptions& o) {
    const bool thorough = o.level == "thorough";
    const int runs = thorough ? 8 : 1;
    const int rounds = thorough ? o.rounds * 4 : o.rounds;
    size_t failed = 0, modules = 0;
    for (int run = 0; run < runs; ++run) {
        const uint32_t seed = o.seed + uint32_t(run);
        std::vector<std::string> validated;
        const auto findings =
            pqhost::validateLibrary(o.library, seed, rounds, &validated, pqhost::exerciseModule, o.timeout);
        for (const auto& finding : findings) {
            // The shortest sequence of this seed that still fails is the one worth reading.
            const int shortest = pqhost::shortestFailingRounds(o.library, finding.module, seed, rounds,
                                                               pqhost::exerciseModule, o.timeout);
            std::printf("FAILED module %s: %s (reproduce: pqhost validate %s --seed %u --rounds %d)\n",
                        finding.module.c_str(), finding.what.c_str(), o.library.c_str(), seed,
                        shortest > 0 ? shortest : rounds);
        }
        failed += findings.size();
        modules = validated.size();
    }
    std::printf(
        "validated %zu module(s) of %s at the %s level, %d run(s) of %d rounds from seed %u: %zu failed\n",
        modules, o.library.c_str(), o.level.c_str(), runs, rounds, o.seed, failed);
    return failed == 0 ? 0 : 1;
}

// Deliverables named in patches are found beside the program, in plugins/.
std::filesystem::path defaultPluginDir() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path("plugins") : self.parent_path() / "plugins";
}

int render(const RenderOptions& o) {
    const pqhost::Patch patch = pqhost::loadPatch(o.patch, o.plugins);
    pqhost::checkSaveTargets(o.patch, o.output, o.save, o.exportWaves);
    if (patch.outputs.empty())
        throw pqhost::HostError(o.patch + ": output: the patch names no audio output to render");
    // Every place is checked before the render starts, so that a refusal costs no time.
    pqhost::OutputPlan plan = pqhost::planOutputs(o.output, patch);
    pqhost::PatchRunner runner(patch);
    pqhost::OutputWriter writer(std::move(plan), int32_t(patch.outputs.size()), int32_t(patch.sampleRate),
                                patch.lengthSamples);
    const bool longRender = patch.lengthSamples > int64_t(patch.sampleRate) * 10;
    const bool showProgress = longRender && ::isatty(STDERR_FILENO);
    runner.stream([&](const float* const* channels, int32_t count) { writer.writeBlock(channels, count); },
                  [&](double done) {
                      if (showProgress) std::fprintf(stderr, "\rrendering %3d%%", int(done * 100));
                  });
    if (showProgress) std::fputc('\n', stderr);
    const std::vector<std::string> written = writer.commit(runner.faces());
    // With the WAV on standard output, the report goes to standard error.
    std::FILE* report = o.output == "-" ? stderr : stdout;
    std::fprintf(report, "rendered %s: %lld samples at %g Hz in %lld blocks of %d, %zu channel(s) to %s\n",
                 o.patch.c_str(), static_cast<long long>(patch.lengthSamples), double(patch.sampleRate),
                 static_cast<long long>(runner.blocks()), patch.blockSize, patch.outputs.size(),
                 o.output.c_str());
    for (const pqhost::ModuleReport& m : runner.report()) {
        if (m.gui)
            std::fprintf(report, "  GUI module %s: set %lld values\n", m.name.c_str(),
                         static_cast<long long>(m.valuesSent));
        else
            std::fprintf(report, "  module %s: ran %lld blocks, slept %lld\n", m.name.c_str(),
                         static_cast<long long>(m.blocksRun), static_cast<long long>(m.blocksSlept));
    }
    for (size_t i = 0; i < runner.faces().size(); ++i) {
        const pqhost::FaceImage& image = runner.faces()[i].second;
        std::fprintf(report, "  face %s (%dx%d)\n", written[i + 1].c_str(), image.width, image.height);
    }
    if (!o.save.empty()) {
        pqhost::writeSavedPatch(o.save, patch, runner);
        std::fprintf(report, "  saved patch %s\n", o.save.c_str());
    }
    if (!o.exportWaves.empty())
        for (const std::string& wave : pqhost::exportWaves(o.exportWaves, patch, runner))
            std::fprintf(report, "  wave %s\n", wave.c_str());
    return 0;
}

int info(const InfoOptions& o) {
    pqhost::PluginLibrary library(o.library);
    std::printf("library: %s\n", o.library.c_str());
    std::printf("sdk version: %d\n", library.sdkVersion());
    std::printf("sdk text: %s\n", pqhost::toUtf8(library.sdkText()).c_str());
    std::printf("factory: %s\n", library.factory2() ? "IMpFactory2" : "IMpFactory");
    const pqhost::LibraryCatalogue catalogue = pqhost::readCatalogue(o.library);
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
    for (const std::string& description : pqhost::readModuleDescriptions(o.library))
        std::printf("description:\n%s%s", description.c_str(),
                    !description.empty() && description.back() == '\n' ? "" : "\n");
    if (catalogue.modules.empty())
        throw pqhost::HostError(catalogue.noModulesMessage(o.library) + ": its modules cannot be listed");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // A file-size limit makes a write fail with its reason instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);

    CLI::App app{"The substitute host: loads module libraries as a real host does.", "pqhost"};
    app.set_version_flag("--version", "pqhost " PQHOST_VERSION);
    app.require_subcommand(0, 1); // none is answered below, so that a stray word is named

    InfoOptions infoOptions;
    CLI::App* infoCommand = app.add_subcommand("info", "List a library's SDK information, modules and pins.");
    infoCommand->add_option("library", infoOptions.library, "The module library (.so)")->required();

    RenderOptions renderOptions{{}, {}, defaultPluginDir(), {}, {}};
    CLI::App* renderCommand =
        app.add_subcommand("render", "Render a patch's outputs to a 32-bit float WAV file.");
    renderCommand->add_option("patch", renderOptions.patch, "The patch (JSON)")->required();
    renderCommand
        ->add_option("-o,--output", renderOptions.output,
                     "The WAV file to write (a new name or a regular file), or - for standard output")
        ->required();
    renderCommand
        ->add_option("--plugins", renderOptions.plugins, "Where deliverables named without a path are found")
        ->capture_default_str();
    renderCommand->add_option(
        "--save", renderOptions.save,
        "Write the patch as it stands at the end of the render (GUI modules' final values)");
    renderCommand->add_option("--export-waves", renderOptions.exportWaves,
                              "Write each wave editor's waves as single-cycle 32-bit float WAV files here");

    ValidateOptions validateOptions;
    CLI::App* validateCommand =
        app.add_subcommand("validate", "Drive every module of a library with good and hostile input.");
    validateCommand->add_option("library", validateOptions.library, "The module library (.so)")->required();
    validateCommand->add_option("--seed", validateOptions.seed, "Seed of the hostile input")
        ->check(CLI::Range(uint32_t(0), uint32_t(4294967295u)))
        ->capture_default_str();
    validateCommand->add_option("--rounds", validateOptions.rounds, "Rounds per module")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    validateCommand->add_option("--timeout", validateOptions.timeout, "Seconds a module may take")
        ->check(CLI::Range(1u, 86400u))
        ->capture_default_str();
    validateCommand->add_option("--level", validateOptions.level, "quick: one run; thorough: eight seeds")
        ->check(CLI::IsMember({"quick", "thorough"}))
        ->capture_default_str();

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e); // --help, --version
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "pqhost: %s (pqhost --help shows the usage)\n", e.what());
        return 2;
    }
    try {
        if (*infoCommand) return info(infoOptions);
        if (*renderCommand) return render(renderOptions);
        if (*validateCommand) return validate(validateOptions);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pqhost: %s\n", e.what());
        return 1;
    }
    std::fputs("pqhost: a command is needed: info, render or validate (pqhost --help shows the usage)\n",
               stderr);
    return 2;
}
