#include "host/patch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <map>

#include <nlohmann/json.hpp>
#include <sndfile.h>

#include "host/host_error.h"

namespace pqhost {
namespace {

using nlohmann::json;

constexpr uint64_t kWavDataLimit = 0xFFFFFFFFull - 4096;
constexpr int64_t kFacePixelLimit = int64_t(1) << 27;
constexpr uintmax_t kStyleSheetLimit = uintmax_t(16) << 20;
constexpr size_t kEventLimit = size_t(1) << 20;

// Opens a file the patch reader reads: a regular file of at most `limit` bytes, never a
// device, a FIFO or a directory (opened without waiting for a writer, then checked).
// Answers the descriptor; a failure throws HostError with `cannotRead` and the reason.
int openBounded(const std::filesystem::path& file, const std::string& cannotRead,
                uint64_t limit = kFileSizeLimit) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw HostError(cannotRead + ": " + std::strerror(errno));
    struct stat info {};
    std::string problem;
    if (::fstat(fd, &info) != 0)
        problem = std::strerror(errno);
    else if (S_ISDIR(info.st_mode))
        problem = "a directory";
    else if (!S_ISREG(info.st_mode))
        problem = "not a regular file";
    else if (uint64_t(info.st_size) > limit)
        problem = "larger than " + std::to_string(limit >> 20) + " MiB";
    if (!problem.empty()) {
        ::close(fd);
        throw HostError(cannotRead + ": " + problem);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Reads a whole file that openBounded accepts, stopping should it grow past `limit` while read.
std::string readBounded(const std::filesystem::path& file, const std::string& cannotRead,
                        uint64_t limit = kFileSizeLimit) {
    std::string text;
    const int fd = openBounded(file, cannotRead, limit);
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || text.size() + size_t(n) > limit) {
            const std::string why = n < 0 ? std::strerror(errno) : "it grew beyond the size limit";
            ::close(fd);
            throw HostError(cannotRead + ": " + why);
        }
        if (n == 0) break;
        text.append(buffer, size_t(n));
    }
    ::close(fd);
    return text;
}

// The JSON library's words without its tag ("[json.exception.parse_error.101] ").
std::string jsonReason(const std::exception& e) {
    std::string why = e.what();
    if (const auto tag = why.find("] "); why.starts_with("[json.") && tag != std::string::npos)
        why.erase(0, tag + 2);
    return why.substr(0, 200);
}

// Finds where parsing stops, for errors the JSON library reports without a place (a number
// beyond double range): an event reader that builds nothing and keeps the byte offset.
struct ErrorPlace : nlohmann::json_sax<json> {
    size_t offset = 0;
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(size_t position, const std::string&, const json::exception&) override {
        offset = position;
        return false;
    }
};

std::string lineAndColumn(const std::string& text, size_t offset) {
    offset = std::min(offset, text.size());
    const size_t line = size_t(std::count(text.begin(), text.begin() + std::ptrdiff_t(offset), '\n')) + 1;
    const size_t lineStart = text.rfind('\n', offset == 0 ? 0 : offset - 1);
    const size_t column = lineStart == std::string::npos || offset == 0 ? offset : offset - lineStart - 1;
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// How far apart two keys are: edits of one letter, ignoring case.
size_t distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            const size_t next = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = row[j];
            row[j] = next;
        }
    }
    return row[b.size()];
}

} // namespace

std::string nearestName(const std::string& name, const std::vector<std::string>& known) {
    std::string best;
    size_t bestDistance = std::max<size_t>(2, name.size() / 3) + 1;
    for (const std::string& candidate : known) {
        const size_t d = distance(name, candidate);
        if (d < bestDistance) bestDistance = d, best = candidate;
    }
    return best;
}

std::string faceFileProblem(const std::string& name) {
    if (name.empty()) return "an empty name";
    const std::filesystem::path path(name);
    if (path.has_root_path()) return "an absolute path; face files lie in the WAV's folder";
    for (const std::filesystem::path& part : path)
        if (part == "..") return "a name with \"..\"; face files lie in the WAV's folder";
    return {};
}

namespace {

// Audio to audio and control to control of one type; GUI values also reach audio-module
// inputs, numbers and bools as numbers, blobs as blobs. Audio modules do not feed GUI pins.
bool connectable(int32_t fromSubtype, int32_t from, int32_t toSubtype, int32_t to) {
    const bool fromGui = fromSubtype != gmpi::kSubtypeAudio, toGui = toSubtype != gmpi::kSubtypeAudio;
    if (!fromGui) return !toGui && from == to;
    if (toGui) return from == to;
    const bool number = from == gmpi::kGuiPinBool || from == gmpi::kGuiPinFloat || from == gmpi::kGuiPinInt;
    if (to == gmpi::kDatatypeAudio || to == gmpi::kDatatypeFloat) return number;
    if (to == gmpi::kDatatypeInt) return from == gmpi::kGuiPinBool || from == gmpi::kGuiPinInt;
    return to == gmpi::kDatatypeBlob && from == gmpi::kGuiPinBlob;
}

class Reader {
public:
    Reader(std::filesystem::path file, std::filesystem::path pluginDir)
        : file_(std::move(file)), pluginDir_(std::move(pluginDir)) {}

    Patch read();

private:
    Patch readRoot(const json& root);

private:
    [[noreturn]] void fail(const std::string& place, const std::string& what) const {
        throw HostError(file_.string() + ": " + place + ": " + what);
    }
    const json& member(const json& object, const char* key, const std::string& place) const;
    // Refuses keys of `object` that are not `known`, naming the nearest known one.
    void knownKeys(const json& object, std::initializer_list<const char*> known,
                   const std::string& place) const;
    double number(const json& value, const std::string& place) const;
    float singleFloat(const json& value, const std::string& place) const;
    PinRef pinRef(const json& value, const std::string& place) const;
    std::vector<uint8_t> valueBytes(const PinInfo& pin, int32_t subtype, const json& value,
                                    const std::string& place) const;
    int64_t sampleAt(double seconds, const std::string& place) const;
    void readModule(const json& entry, const std::string& place);
    const LibraryCatalogue& catalogueOf(const std::filesystem::path& library, const std::string& place);
    void readConnection(const json& entry, const std::string& place);
    void readEvent(const json& entry, const std::string& place);
    void addEvent(PatchEvent event, const std::string& place);
    // A selection list's entry given by its text: kept for the runner (true), or not such a
    // value (false). `sample` -1 means an initial value.
    bool addSelection(const PatchModule& module, size_t index, const PinInfo& pin, const json& value,
                      int64_t sample, const std::string& place);
    size_t guiModule(const json& entry, const std::string& place) const;
    void readPointer(const json& entry, const std::string& place);
    void readFace(const json& entry, const std::string& place);
    void readSkin(const json& skin);
    void readOutput(const json& entry, const std::string& place);
    // Reads each entry of the optional list `key` of the top level with `read`.
    using Entry = void (Reader::*)(const json& entry, const std::string& place);
    void readList(const json& root, const char* key, Entry read, const char* expected = "expected a list");

    std::filesystem::path file_;
    std::filesystem::path pluginDir_;
    Patch patch_;
    std::map<std::string, size_t> byName_;
    std::map<std::string, std::shared_ptr<const LibraryCatalogue>> catalogues_; // by canonical path
    int64_t facePixels_ = 0;
};

std::string shown(const json& value);
std::string shown(const std::string& text);

const json& Reader::member(const json& object, const char* key, const std::string& place) const {
    if (!object.is_object()) fail(place, "expected an object");
    const auto it = object.find(key);
    if (it == object.end()) fail(place, std::string("missing \"") + key + "\"");
    return *it;
}

void Reader::knownKeys(const json& object, std::initializer_list<const char*> known,
                       const std::string& place) const {
    if (!object.is_object()) return;
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        if (std::find_if(known.begin(), known.end(), [&](const char* k) { return key == k; }) != known.end())
            continue;
        const std::string near = nearestName(key, std::vector<std::string>(known.begin(), known.end()));
        fail(place, "unknown key " + shown(key) + (near.empty() ? "" : "; did you mean \"" + near + "\"?"));
    }
}

// A value as an error message shows it: scalars as written (long ones cut), containers by
// kind, so that a message stays one short line whatever the file holds.
std::string shown(const json& value) {
    if (value.is_array()) return "a list";
    if (value.is_object()) return "an object";
    std::string text = value.dump(-1, ' ', false, json::error_handler_t::replace);
    if (text.size() > 60) text = text.substr(0, 57) + "...";
    return text;
}

std::string shown(const std::string& text) {
    return shown(json(text));
}

double Reader::number(const json& value, const std::string& place) const {
    if (!value.is_number()) fail(place, "expected a number, found " + shown(value));
    const double v = value.get<double>();
    if (!std::isfinite(v)) fail(place, "expected a finite number");
    return v;
}

// A number that a 32-bit float holds.
float Reader::singleFloat(const json& value, const std::string& place) const {
    const double v = number(value, place);
    if (std::fabs(v) > double(std::numeric_limits<float>::max()))
        fail(place, shown(value) + " lies beyond the range of a 32-bit float");
    return static_cast<float>(v);
}

int64_t Reader::sampleAt(double seconds, const std::string& place) const {
    if (!std::isfinite(seconds) || seconds < 0) fail(place, "time must be zero or more seconds");
    const double sample = std::floor(seconds * patch_.sampleRate + 0.5);
    if (sample >= double(patch_.lengthSamples) && !(patch_.lengthSamples == 0 && sample == 0))
        fail(place, "time " + std::to_string(seconds) + " s lies beyond the patch's length");
    return static_cast<int64_t>(sample);
}

// "module "x" has no pin "y"", with the nearest pin name when one is close.
std::string noSuchPin(const PatchModule& module, const std::string& pinName) {
    std::vector<std::string> names;
    for (const PinInfo& pin : module.info->pins)
        names.push_back(pin.name);
    const std::string near = nearestName(pinName, names);
    return "module " + shown(module.name) + " has no pin " + shown(pinName) +
           (near.empty() ? "" : "; did you mean \"" + near + "\"?");
}

PinRef Reader::pinRef(const json& value, const std::string& place) const {
    if (!value.is_string()) fail(place, "expected \"module.pin\"");
    const std::string text = value.get<std::string>();
    const auto dot = text.find('.');
    if (dot == std::string::npos) fail(place, "expected \"module.pin\", found " + shown(text));
    const std::string moduleName = text.substr(0, dot);
    const std::string pinName = text.substr(dot + 1);
    const auto it = byName_.find(moduleName);
    if (it == byName_.end()) fail(place, "unknown module " + shown(moduleName));
    const PatchModule& module = patch_.modules[it->second];
    const PinInfo* pin = module.info->findPin(pinName);
    if (pin == nullptr) fail(place, noSuchPin(module, pinName));
    return {it->second, pin};
}

std::vector<uint8_t> Reader::valueBytes(const PinInfo& pin, int32_t subtype, const json& value,
                                        const std::string& place) const {
    auto bytesOf = [](const auto& v) {
        std::vector<uint8_t> bytes(sizeof(v));
        std::memcpy(bytes.data(), &v, sizeof(v));
        return bytes;
    };
    const bool audioSide = subtype == gmpi::kSubtypeAudio;
    const int32_t type = pin.datatype;
    if ((audioSide && (type == gmpi::kDatatypeAudio || type == gmpi::kDatatypeFloat)) ||
        (!audioSide && type == gmpi::kGuiPinFloat)) {
        return bytesOf(singleFloat(value, place));
    }
    if ((audioSide && type == gmpi::kDatatypeInt) || (!audioSide && type == gmpi::kGuiPinInt)) {
        const double v = number(value, place);
        if (v != std::floor(v) || v < std::numeric_limits<int32_t>::min() ||
            v > std::numeric_limits<int32_t>::max())
            fail(place, "pin \"" + pin.name + "\" takes a 32-bit integer, found " + shown(value));
        return bytesOf(static_cast<int32_t>(v));
    }
    if (!audioSide && type == gmpi::kGuiPinBool) {
        if (!value.is_boolean())
            fail(place, "pin \"" + pin.name + "\" takes true or false, found " + shown(value));
        return {static_cast<uint8_t>(value.get<bool>() ? 1 : 0)};
    }
    if (!audioSide && type == gmpi::kGuiPinText) {
        if (!value.is_string()) fail(place, "pin \"" + pin.name + "\" takes a text, found " + shown(value));
        const std::u16string text = toUtf16(value.get<std::string>());
        std::vector<uint8_t> bytes(text.size() * 2);
        if (!text.empty()) std::memcpy(bytes.data(), text.data(), bytes.size());
        return bytes;
    }
    if ((audioSide && type == gmpi::kDatatypeBlob) || (!audioSide && type == gmpi::kGuiPinBlob)) {
        const json* samples = &value;
        knownKeys(value, {"wav", "samples"}, place);
        if (value.is_object() && value.contains("wav")) {
            const json& path = value["wav"];
            if (!path.is_string()) fail(place, "\"wav\" takes a file name");
            std::filesystem::path wave = path.get<std::string>();
            if (wave.is_relative()) wave = file_.parent_path() / wave;
            try {
                return readWaveBlob(wave);
            } catch (const HostError& e) {
                fail(place, e.what());
            }
        }
        if (value.is_object() && value.contains("samples")) samples = &value["samples"];
        if (!samples->is_array())
            fail(place, "pin \"" + pin.name + "\" takes a wave: a list of samples or { \"wav\": file }");
        std::vector<uint8_t> bytes;
        bytes.reserve(samples->size() * 4);
        for (size_t i = 0; i < samples->size(); ++i) {
            const float f = singleFloat((*samples)[i], place + " sample " + std::to_string(i));
            const auto* b = reinterpret_cast<const uint8_t*>(&f);
            bytes.insert(bytes.end(), b, b + 4);
        }
        return bytes;
    }
    fail(place, "pin \"" + pin.name + "\" cannot be given a value");
}

void Reader::readModule(const json& entry, const std::string& place) {
    PatchModule module;
    knownKeys(entry, {"name", "library", "id", "subtype", "values"}, place);
    const json& name = member(entry, "name", place);
    const json& library = member(entry, "library", place);
    const json& id = member(entry, "id", place);
    if (!name.is_string() || name.get<std::string>().empty()) fail(place, "\"name\" must be a text");
    if (!library.is_string() || library.get<std::string>().empty()) fail(place, "\"library\" must be a text");
    if (!id.is_string()) fail(place, "\"id\" must be a text");
    module.name = name.get<std::string>();
    if (module.name.find('.') != std::string::npos) fail(place, "a module name may not contain '.'");
    if (byName_.count(module.name)) fail(place, "a second module named " + shown(module.name));
    module.library = library.get<std::string>();
    module.id = toUtf16(id.get<std::string>());
    if (entry.contains("subtype")) {
        const double subtype = number(entry["subtype"], place + ": subtype");
        if (subtype != gmpi::kSubtypeAudio && subtype != gmpi::kSubtypeGuiLegacy &&
            subtype != gmpi::kSubtypeGuiGraphics)
            fail(place + ": subtype", "must be 0 (audio), 1 or 2 (GUI), not " + shown(entry["subtype"]));
        module.subtype = static_cast<int32_t>(subtype);
    }
    std::filesystem::path path = module.library;
    if (module.library.find('/') != std::string::npos || path.extension() == ".so") {
        if (path.is_relative()) path = file_.parent_path() / path;
    } else {
        path = pluginDir_ / (module.library + ".so");
    }
    if (!std::filesystem::is_regular_file(path))
        fail(place, "library \"" + module.library + "\" not found (looked for " + path.string() + ")");
    module.libraryPath = path;
    const LibraryCatalogue& catalogue = catalogueOf(path, place);
    module.info = catalogue.findModule(module.id, module.subtype);
    if (module.info == nullptr)
        fail(place, "unknown module " + shown(id) + " of subtype " + std::to_string(module.subtype) +
                        ": library \"" + module.library + "\" describes no such module");

    if (entry.contains("values")) {
        const json& values = entry["values"];
        if (!values.is_object()) fail(place, "\"values\" must be an object of pin names");
        for (const auto& [pinName, value] : values.items()) {
            const std::string where = place + ": value of " + shown(pinName);
            const PinInfo* pin = module.info->findPin(pinName);
            if (pin == nullptr) fail(where, noSuchPin(module, pinName));
            // GUI pins are written by host and module alike; audio outputs only by the module.
            if (pin->direction != gmpi::kDirectionIn && module.subtype == gmpi::kSubtypeAudio)
                fail(where, "an output takes no value");
            if (addSelection(module, patch_.modules.size(), *pin, value, -1, where)) continue;
            module.values.emplace_back(pin->id, valueBytes(*pin, module.subtype, value, where));
        }
    }
    byName_[module.name] = patch_.modules.size();
    patch_.modules.push_back(std::move(module));
}

void Reader::readConnection(const json& entry, const std::string& place) {
    knownKeys(entry, {"from", "to"}, place);
    PatchConnection connection{pinRef(member(entry, "from", place), place + ": from"),
                               pinRef(member(entry, "to", place), place + ": to")};
    const PatchModule& from = patch_.modules[connection.from.module];
    const PatchModule& to = patch_.modules[connection.to.module];
    if (connection.from.pin->direction != gmpi::kDirectionOut && from.subtype == gmpi::kSubtypeAudio)
        fail(place, "\"from\" must name an output");
    if (connection.to.pin->direction != gmpi::kDirectionIn) fail(place, "\"to\" must name an input");
    const bool toAudio =
        to.subtype == gmpi::kSubtypeAudio && connection.to.pin->datatype == gmpi::kDatatypeAudio;
    if (!connectable(from.subtype, connection.from.pin->datatype, to.subtype, connection.to.pin->datatype))
        fail(place, std::string("cannot connect ") +
                        datatypeName(connection.from.pin->datatype, from.subtype) + " output \"" +
                        connection.from.pin->name + "\" to " +
                        datatypeName(connection.to.pin->datatype, to.subtype) + " input \"" +
                        connection.to.pin->name + "\"");
    if (connection.from.module == connection.to.module) fail(place, "a module cannot feed itself");
    for (const PatchConnection& c : patch_.connections)
        if (c.to.module == connection.to.module && c.to.pin == connection.to.pin && toAudio)
            fail(place, "audio input \"" + connection.to.pin->name + "\" already has a source");
    patch_.connections.push_back(connection);
}

void Reader::readEvent(const json& entry, const std::string& place) {
    knownKeys(entry,
              entry.contains("gate") ? std::initializer_list<const char*>{"pin", "gate"}
                                     : std::initializer_list<const char*>{"pin", "time", "value"},
              place);
    const PinRef pin = pinRef(member(entry, "pin", place), place + ": pin");
    const PatchModule& module = patch_.modules[pin.module];
    if (pin.pin->direction != gmpi::kDirectionIn) fail(place, "events go to inputs");
    if (entry.contains("gate")) {
        const json& gate = entry["gate"];
        knownKeys(gate, {"start", "high", "low", "repeat", "level"}, place + ": gate");
        const double start = number(member(gate, "start", place + ": gate"), place + ": gate start");
        const double high = number(member(gate, "high", place + ": gate"), place + ": gate high");
        const double low = gate.contains("low") ? number(gate["low"], place + ": gate low") : 0.0;
        const double repeat = gate.contains("repeat") ? number(gate["repeat"], place + ": gate repeat") : 1.0;
        const double level = gate.contains("level") ? number(gate["level"], place + ": gate level") : 1.0;
        if (high <= 0 || low < 0 || repeat < 1 || repeat > 1e6 || repeat != std::floor(repeat))
            fail(place, "a gate needs high > 0, low >= 0 and a whole repeat count from 1 to 1000000");
        const std::vector<uint8_t> bytes[2] = {valueBytes(*pin.pin, module.subtype, level, place),
                                               valueBytes(*pin.pin, module.subtype, 0.0, place)};
        for (int64_t k = 0; k < static_cast<int64_t>(repeat); ++k) {
            const double on = start + double(k) * (high + low);
            const double times[2] = {on, on + high};
            for (int edge = 0; edge < 2; ++edge) {
                if (std::floor(times[edge] * patch_.sampleRate + 0.5) >= double(patch_.lengthSamples))
                    return; // the rest of the pattern lies past the end
                addEvent({sampleAt(times[edge], place), pin, bytes[edge]}, place);
            }
        }
        return;
    }
    const double time = number(member(entry, "time", place), place + ": time");
    if (addSelection(module, pin.module, *pin.pin, member(entry, "value", place),
                     sampleAt(time, place + ": time"), place))
        return;
    addEvent({sampleAt(time, place + ": time"), pin,
              valueBytes(*pin.pin, module.subtype, member(entry, "value", place), place)},
             place);
}

void Reader::addEvent(PatchEvent event, const std::string& place) {
    if (patch_.events.size() + patch_.selections.size() >= kEventLimit)
        fail(place, "a patch holds at most " + std::to_string(kEventLimit) + " events");
    patch_.events.push_back(std::move(event));
}

bool Reader::addSelection(const PatchModule& module, size_t index, const PinInfo& pin, const json& value,
                          int64_t sample, const std::string& place) {
    if (module.subtype == gmpi::kSubtypeAudio || !value.is_string()) return false;
    const PinInfo* list = selectionListOf(*module.info, pin);
    if (list == nullptr) return false;
    const std::string entry = value.get<std::string>();
    if (entry.find_first_not_of(" -") == std::string::npos)
        fail(place, "pin \"" + pin.name + "\" takes an entry of \"" + list->name + "\", not " + shown(entry));
    if (patch_.events.size() + patch_.selections.size() >= kEventLimit)
        fail(place, "a patch holds at most " + std::to_string(kEventLimit) + " events");
    patch_.selections.push_back({std::max<int64_t>(sample, 0), index, &pin, list, entry, place, sample < 0});
    return true;
}

size_t Reader::guiModule(const json& entry, const std::string& place) const {
    const json& name = member(entry, "module", place);
    if (!name.is_string()) fail(place, "\"module\" must be a module name");
    const auto it = byName_.find(name.get<std::string>());
    if (it == byName_.end()) fail(place, "unknown module " + shown(name));
    if (patch_.modules[it->second].subtype == gmpi::kSubtypeAudio)
        fail(place, "module " + shown(name) + " has no face");
    return it->second;
}

void Reader::readOutput(const json& entry, const std::string& place) {
    const PinRef ref = pinRef(entry, place);
    const PatchModule& module = patch_.modules[ref.module];
    if (module.subtype != gmpi::kSubtypeAudio || ref.pin->datatype != gmpi::kDatatypeAudio ||
        ref.pin->direction != gmpi::kDirectionOut)
        fail(place, "only audio outputs can be rendered");
    patch_.outputs.push_back(ref);
}

void Reader::readList(const json& root, const char* key, Entry read, const char* expected) {
    if (!root.contains(key)) return;
    const json& list = root[key];
    if (!list.is_array()) fail(key, expected);
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string place = std::string(key) + "[" + std::to_string(i) + "]";
        try {
            (this->*read)(list[i], place);
        } catch (const json::exception& e) {
            fail(place, jsonReason(e));
        }
    }
}

void Reader::readPointer(const json& entry, const std::string& place) {
    PatchPointer pointer{};
    knownKeys(entry, {"time", "module", "action", "x", "y", "shift"}, place);
    pointer.module = guiModule(entry, place);
    pointer.sample = sampleAt(number(member(entry, "time", place), place + ": time"), place + ": time");
    const json& action = member(entry, "action", place);
    const std::string text = action.is_string() ? action.get<std::string>() : "";
    if (text == "down")
        pointer.action = PatchPointer::Action::Down;
    else if (text == "move")
        pointer.action = PatchPointer::Action::Move;
    else if (text == "up")
        pointer.action = PatchPointer::Action::Up;
    else
        fail(place, "\"action\" must be \"down\", \"move\" or \"up\"");
    pointer.x = singleFloat(member(entry, "x", place), place + ": x");
    pointer.y = singleFloat(member(entry, "y", place), place + ": y");
    if (entry.contains("shift")) {
        if (!entry["shift"].is_boolean()) fail(place, "\"shift\" must be true or false");
        if (entry["shift"].get<bool>()) pointer.flags |= gmpi::kPointerFlagShift;
    }
    patch_.pointer.push_back(pointer);
}

void Reader::readFace(const json& entry, const std::string& place) {
    PatchFace face{};
    knownKeys(entry, {"module", "width", "height", "file", "time"}, place);
    face.module = guiModule(entry, place);
    const double width = number(member(entry, "width", place), place + ": width");
    const double height = number(member(entry, "height", place), place + ": height");
    if (width < 1 || height < 1 || width > 8192 || height > 8192 || width != std::floor(width) ||
        height != std::floor(height))
        fail(place, "a face is a whole number of 1 to 8192 pixels on each side");
    face.width = static_cast<int32_t>(width);
    face.height = static_cast<int32_t>(height);
    // Faces are kept until the render ends.
    facePixels_ += int64_t(face.width) * face.height;
    if (facePixels_ > kFacePixelLimit)
        fail(place, "the faces hold more than " + std::to_string(kFacePixelLimit) + " pixels together");
    const json& file = member(entry, "file", place);
    if (!file.is_string() || file.get<std::string>().empty()) fail(place, "\"file\" must name a PNG file");
    face.file = file.get<std::string>();
    if (const std::string problem = faceFileProblem(face.file); !problem.empty())
        fail(place + ": file", shown(face.file) + " is " + problem);
    face.sample = entry.contains("time") ? sampleAt(number(entry["time"], place + ": time"), place + ": time")
                                         : patch_.lengthSamples;
    patch_.faces.push_back(face);
}

// Each library's descriptions are read from its file once per patch.
const LibraryCatalogue& Reader::catalogueOf(const std::filesystem::path& library, const std::string& place) {
    std::error_code error;
    const std::string key = std::filesystem::weakly_canonical(library, error).string();
    auto it = catalogues_.find(key);
    if (it == catalogues_.end()) {
        std::shared_ptr<const LibraryCatalogue> catalogue;
        try {
            catalogue = std::make_shared<const LibraryCatalogue>(readCatalogue(library.string()));
        } catch (const HostError& e) {
            fail(place, e.what());
        }
        if (catalogue->modules.empty()) fail(place, catalogue->noModulesMessage(library.string()));
        patch_.catalogues.push_back(catalogue);
        it = catalogues_.emplace(key, std::move(catalogue)).first;
    }
    return *it->second;
}

void Reader::readSkin(const json& skin) {
    if (!skin.is_string() || skin.get<std::string>().empty())
        fail("skin", "expected a style sheet file name");
    std::filesystem::path path = skin.get<std::string>();
    if (path.is_relative()) path = file_.parent_path() / path;
    std::string text;
    try {
        text = readBounded(path, "cannot read style sheet " + path.string(), kStyleSheetLimit);
    } catch (const HostError& e) {
        fail("skin", e.what());
    }
    patch_.styleSheet = std::move(text);
}

Patch Reader::read() {
    const std::string text = readBounded(file_, file_.string() + ": cannot read the patch file");
    patch_.source = text;
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        // The parser's own words without the text it read last, which can be as long as the
        // file.
        const std::string why = jsonReason(e);
        throw HostError(file_.string() + ": not valid JSON: " + why.substr(0, why.find("; last read")));
    } catch (const json::exception& e) {
        // Errors such as a number beyond double range come without a place: find it.
        ErrorPlace place;
        json::sax_parse(text, &place);
        throw HostError(file_.string() + ": not valid JSON: " + lineAndColumn(text, place.offset) + ": " +
                        jsonReason(e));
    }
    try {
        return readRoot(root);
    } catch (const json::exception& e) {
        fail("top level", jsonReason(e));
    }
}

Patch Reader::readRoot(const json& root) {
    if (!root.is_object()) fail("top level", "expected an object");
    knownKeys(root,
              {"$schema", "sampleRate", "blockSize", "length", "modules", "connections", "events", "output",
               "pointer", "faces", "skin"},
              "top level");
    patch_.file = file_;
    if (root.contains("sampleRate")) {
        const double rate = number(root["sampleRate"], "sampleRate");
        if (rate < 1000 || rate > 768000) fail("sampleRate", "must lie between 1000 and 768000");
        // The WAV header holds whole hertz: a fraction would play at a rate other than the one
        // rendered.
        if (rate != std::floor(rate))
            fail("sampleRate", "must be a whole number of Hz, not " + shown(root["sampleRate"]));
        patch_.sampleRate = static_cast<float>(rate);
    }
    if (root.contains("blockSize")) {
        const double block = number(root["blockSize"], "blockSize");
        if (block < 1 || block > 8192 || block != std::floor(block))
            fail("blockSize", "must be a whole number from 1 to 8192");
        patch_.blockSize = static_cast<int32_t>(block);
    }
    if (root.contains("skin")) readSkin(root["skin"]);
    const double length = number(member(root, "length", "top level"), "length");
    if (length < 0) fail("length", "must not be negative");
    if (length > 3600) fail("length", "must not exceed one hour");
    patch_.lengthSamples = static_cast<int64_t>(std::llround(length * patch_.sampleRate));

    const json& modules = member(root, "modules", "top level");
    if (!modules.is_array() || modules.empty()) fail("modules", "expected a list of modules");
    readList(root, "modules", &Reader::readModule);
    readList(root, "connections", &Reader::readConnection);
    readList(root, "events", &Reader::readEvent);
    readList(root, "output", &Reader::readOutput, "expected a list of \"module.pin\"");
    if (patch_.outputs.size() > 1024) fail("output", "a WAV file holds at most 1024 channels");
    // The channels are written as one WAV file, whose data must stay below 4 GiB.
    if (double(patch_.lengthSamples) * double(patch_.outputs.size()) * sizeof(float) > double(kWavDataLimit))
        fail("output",
             std::to_string(patch_.outputs.size()) + " channels of " + std::to_string(patch_.lengthSamples) +
                 " samples are more than a WAV file holds; shorten the patch or render fewer outputs");
    readList(root, "pointer", &Reader::readPointer);
    readList(root, "faces", &Reader::readFace);
    const auto bySample = [](const auto& a, const auto& b) { return a.sample < b.sample; };
    std::stable_sort(patch_.events.begin(), patch_.events.end(), bySample);
    std::stable_sort(patch_.pointer.begin(), patch_.pointer.end(), bySample);
    std::stable_sort(patch_.faces.begin(), patch_.faces.end(), bySample);
    std::stable_sort(patch_.selections.begin(), patch_.selections.end(), bySample);
    return patch_;
}

} // namespace

Patch loadPatch(const std::filesystem::path& file, const std::filesystem::path& pluginDir) {
    return Reader(file, pluginDir).read();
}

const PinInfo* selectionListOf(const ModuleInfo& module, const PinInfo& pin) {
    // The host shows these integer pins as lists of the entries their module sets.
    static const struct {
        const char16_t* module;
        const char* pin;
        const char* list;
    } kLists[] = {
        {u"pq WaveEditor", "Generate", "Generator List"},
        {u"pq WaveEditor", "Modify", "Modifier List"},
    };
    for (const auto& l : kLists)
        if (module.id == l.module && pin.name == l.pin) return module.findPin(std::string(l.list));
    return nullptr;
}

int32_t selectionIndex(const std::u16string& list, const std::string& entry) {
    const auto folded = [](std::string text) {
        const size_t first = text.find_first_not_of(' ');
        const size_t last = text.find_last_not_of(' ');
        text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
        for (char& c : text)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return text;
    };
    const std::string wanted = folded(entry);
    if (wanted.empty() || wanted.find_first_not_of('-') == std::string::npos) return -1;
    const std::string items = toUtf8(list);
    int32_t index = 0;
    for (size_t start = 0;; ++index) {
        const size_t comma = items.find(',', start);
        if (folded(items.substr(start, comma - start)) == wanted) return index;
        if (comma == std::string::npos) return -1;
        start = comma + 1;
    }
}

std::vector<uint8_t> readWaveBlob(const std::filesystem::path& file) {
    const int fd = openBounded(file, "cannot read wave file " + file.string());
    SF_INFO info{};
    SNDFILE* sound = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (sound == nullptr)
        throw HostError("cannot read wave file " + file.string() + ": " + sf_strerror(nullptr));
    if (info.frames > 1 << 24 || info.channels < 1 || info.frames * info.channels > 1 << 26) {
        sf_close(sound);
        throw HostError("wave file " + file.string() + " is too long for a single cycle");
    }
    std::vector<float> frames(size_t(info.frames) * size_t(info.channels));
    const sf_count_t read = sf_readf_float(sound, frames.data(), info.frames);
    sf_close(sound);
    std::vector<uint8_t> bytes(size_t(read) * 4);
    for (sf_count_t i = 0; i < read; ++i)
        std::memcpy(&bytes[size_t(i) * 4], &frames[size_t(i * info.channels)], 4);
    return bytes;
}

} // namespace pqhost
