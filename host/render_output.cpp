#include "host/render_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sndfile.h>

#include "host/host_error.h"

namespace pqhost {
namespace fs = std::filesystem;

struct OutputWriter::SndFile {
    SNDFILE* file;
};

namespace {

std::string reason(int error) {
    return error != 0 ? std::strerror(error) : "unknown error";
}

// What stands at `path`, for a message; empty when it is a regular file or nothing.
std::string occupant(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return {};
        return reason(errno);
    }
    if (S_ISREG(info.st_mode)) return {};
    if (S_ISDIR(info.st_mode)) return "a directory";
    if (S_ISLNK(info.st_mode)) return "a symbolic link";
    if (S_ISFIFO(info.st_mode)) return "a FIFO";
    if (S_ISSOCK(info.st_mode)) return "a socket";
    return "a device";
}

// Only a regular file or a name not taken yet may be replaced by a render's output.
void checkReplaceable(const fs::path& path) {
    const std::string what = occupant(path);
    if (!what.empty())
        throw HostError("cannot write " + path.string() + ": it is " + what +
                        "; only a regular file or a new name is replaced");
}

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    const fs::path ra = fs::weakly_canonical(a, error);
    const fs::path rb = fs::weakly_canonical(b, error);
    if (!ra.empty() && ra == rb) return true;
    return fs::exists(a, error) && fs::exists(b, error) && fs::equivalent(a, b, error);
}

// True when `inner` lies inside `outer` (both canonical) and is not `outer` itself.
bool strictlyInside(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i)
        if (i == inner.end() || *i != *o) return false;
    return i != inner.end();
}

// A temporary file beside `target`, its name short enough for any folder: a long output
// name never makes the temporary name too long. Answers the open descriptor.
int temporaryBeside(const fs::path& target, fs::path& temporary) {
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string name = (folder / ".pqhost-XXXXXX.partial").string();
    const int fd = ::mkstemps(name.data(), 8);
    if (fd < 0) throw HostError("cannot write " + target.string() + ": " + reason(errno));
    // mkstemps makes the file private; the output gets the mode a new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    temporary = name;
    return fd;
}

// The header libsndfile writes for a 32-bit float WAV of `frames` frames, so that a stream
// that cannot be rewound starts with the right lengths. The header is made in memory: data
// bytes are counted but not kept.
std::vector<unsigned char> wavHeader(int32_t channels, int32_t sampleRate, int64_t frames) {
    struct Memory {
        std::vector<unsigned char> bytes;
        sf_count_t position = 0, length = 0, kept = 1 << 16;
    } memory;
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) { return static_cast<Memory*>(user)->length; };
    io.seek = [](sf_count_t offset, int whence, void* user) {
        auto& m = *static_cast<Memory*>(user);
        m.position = whence == SEEK_SET   ? offset
                     : whence == SEEK_CUR ? m.position + offset
                                          : m.length + offset;
        return m.position;
    };
    io.read = [](void*, sf_count_t, void*) { return sf_count_t(0); };
    io.write = [](const void* data, sf_count_t count, void* user) {
        auto& m = *static_cast<Memory*>(user);
        const sf_count_t end = m.position + count;
        if (m.position < m.kept) {
            const sf_count_t n = std::min(end, m.kept) - m.position;
            if (m.bytes.size() < size_t(m.position + n)) m.bytes.resize(size_t(m.position + n));
            std::memcpy(m.bytes.data() + m.position, data, size_t(n));
        }
        m.position = end;
        m.length = std::max(m.length, end);
        return count;
    };
    io.tell = [](void* user) { return static_cast<Memory*>(user)->position; };
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &memory);
    if (file == nullptr) throw HostError(std::string("cannot make a WAV header: ") + sf_strerror(nullptr));
    // The peak chunk would need every sample before the first one is sent.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    constexpr sf_count_t kSlice = 4096;
    const std::vector<float> silence(size_t(kSlice) * size_t(channels), 0.0f);
    for (int64_t done = 0; done < frames; done += kSlice)
        sf_writef_float(file, silence.data(), std::min<sf_count_t>(kSlice, frames - done));
    sf_close(file); // rewrites the header with the lengths
    const sf_count_t dataStart = memory.length - sf_count_t(frames) * channels * sf_count_t(sizeof(float));
    if (dataStart <= 0 || dataStart > sf_count_t(memory.bytes.size()))
        throw HostError("cannot make a WAV header for " + std::to_string(frames) + " frames");
    memory.bytes.resize(size_t(dataStart));
    return memory.bytes;
}

} // namespace

OutputPlan planOutputs(const std::string& wav, const Patch& patch) {
    OutputPlan plan;
    std::error_code error;
    if (wav != "-") {
        if (wav.empty()) throw HostError("cannot write an empty file name");
        plan.wav = wav;
        checkReplaceable(plan.wav);
        if (sameFile(plan.wav, patch.file))
            throw HostError("cannot write " + wav + ": it is the patch file itself");
    }
    fs::path folder = plan.wav.empty() ? fs::current_path(error) : plan.wav.parent_path();
    if (folder.empty()) folder = ".";
    const fs::path realFolder = fs::weakly_canonical(fs::absolute(folder, error), error);
    for (const PatchFace& face : patch.faces) {
        const std::string problem = faceFileProblem(face.file);
        if (!problem.empty()) throw HostError("face file \"" + face.file + "\" is " + problem);
        const fs::path file = folder / face.file;
        const fs::path real = fs::weakly_canonical(fs::absolute(file, error), error);
        if (!strictlyInside(real, realFolder))
            throw HostError("face file \"" + face.file + "\": leads outside the WAV's folder " +
                            folder.string());
        checkReplaceable(file);
        if (sameFile(file, patch.file))
            throw HostError("face file \"" + face.file + "\": it is the patch file itself");
        if (!plan.wav.empty() && sameFile(file, plan.wav))
            throw HostError("face file \"" + face.file + "\": it is the WAV file");
        for (const fs::path& other : plan.faces)
            if (sameFile(file, other))
                throw HostError("face file \"" + face.file + "\": named twice in one render");
        plan.faces.push_back(file);
    }
    return plan;
}

OutputWriter::OutputWriter(OutputPlan plan, int32_t channels, int32_t sampleRate, int64_t frames)
    : plan_(std::move(plan)), channels_(channels) {
    if (channels < 1) throw HostError("nothing to write: the patch names no output");
    if (plan_.wav.empty()) {
        static_assert(std::endian::native == std::endian::little, "WAV samples are little-endian floats");
        const std::vector<unsigned char> header = wavHeader(channels, sampleRate, frames);
        stream_ = stdout;
        if (std::fwrite(header.data(), 1, header.size(), stream_) != header.size())
            throw HostError("cannot write standard output: " + reason(errno));
        return;
    }
    fs::path temporary;
    const int fd = temporaryBeside(plan_.wav, temporary);
    temporaries_.push_back(temporary);
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (file == nullptr) {
        ::close(fd);
        removeTemporaries();
        throw HostError("cannot write " + plan_.wav.string() + ": " + sf_strerror(nullptr));
    }
    sound_ = new SndFile{file};
}

OutputWriter::~OutputWriter() {
    if (sound_ != nullptr) sf_close(sound_->file);
    delete sound_;
    if (!committed_) removeTemporaries();
}

void OutputWriter::removeTemporaries() {
    std::error_code ignored;
    for (const fs::path& t : temporaries_)
        fs::remove(t, ignored);
    temporaries_.clear();
}

void OutputWriter::writeBlock(const float* const* channels, int32_t count) {
    if (count <= 0) return;
    interleaved_.resize(size_t(count) * size_t(channels_));
    for (int32_t i = 0; i < count; ++i)
        for (int32_t c = 0; c < channels_; ++c)
            interleaved_[size_t(i) * size_t(channels_) + size_t(c)] = channels[c][i];
    errno = 0;
    if (stream_ != nullptr) {
        if (std::fwrite(interleaved_.data(), sizeof(float), interleaved_.size(), stream_) !=
            interleaved_.size())
            throw HostError("cannot write standard output: " + reason(errno));
        return;
    }
    if (sf_writef_float(sound_->file, interleaved_.data(), count) != count) {
        const std::string why = errno != 0 ? reason(errno) : sf_strerror(sound_->file);
        throw HostError("cannot write " + plan_.wav.string() + ": " + why);
    }
}

std::vector<std::string> OutputWriter::commit(const std::vector<std::pair<std::string, FaceImage>>& faces) {
    if (faces.size() != plan_.faces.size()) throw HostError("the faces painted are not the faces planned");
    std::vector<std::string> written{plan_.wav.empty() ? "-" : plan_.wav.string()};
    if (stream_ != nullptr) {
        errno = 0;
        if (std::fflush(stream_) != 0 || std::ferror(stream_))
            throw HostError("cannot write standard output: " + reason(errno));
    } else {
        errno = 0;
        const int closed = sf_close(sound_->file);
        const int error = errno;
        delete sound_;
        sound_ = nullptr;
        if (closed != 0)
            throw HostError("cannot write " + plan_.wav.string() + ": " +
                            (error != 0 ? reason(error) : sf_error_number(closed)));
    }
    for (size_t i = 0; i < faces.size(); ++i) {
        fs::path temporary;
        ::close(temporaryBeside(plan_.faces[i], temporary));
        temporaries_.push_back(temporary);
        errno = 0;
        if (!faces[i].second.savePng(temporary.string()))
            throw HostError("cannot write face picture " + plan_.faces[i].string() +
                            (errno != 0 ? ": " + reason(errno) : std::string()));
    }
    // The places are checked again: something may have appeared there while the render ran.
    std::vector<fs::path> targets;
    if (!plan_.wav.empty()) targets.push_back(plan_.wav);
    targets.insert(targets.end(), plan_.faces.begin(), plan_.faces.end());
    for (const fs::path& target : targets)
        checkReplaceable(target);
    for (size_t i = 0; i < targets.size(); ++i) {
        if (std::rename(temporaries_[i].c_str(), targets[i].c_str()) != 0)
            throw HostError("cannot write " + targets[i].string() + ": " + reason(errno));
        temporaries_[i].clear();
    }
    committed_ = true;
    for (const fs::path& face : plan_.faces)
        written.push_back(face.string());
    return written;
}

} // namespace pqhost
