// The files of `pqhost render`: what it may replace, where faces may go, standard output,
// long names, failures with their reasons, and memory that does not grow with the length.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <cstdio>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <sndfile.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string kPqhost = std::string(PQ_BINARY_DIR) + "/pqhost";

// An envelope rendered for `seconds`, optionally with the click rectangle's face painted to
// each of `faces`.
std::string patchText(double seconds, const std::vector<std::string>& faces = {}) {
    std::string text = R"({"sampleRate": 48000, "blockSize": 4096, "length": )" + std::to_string(seconds) +
                       R"(, "modules": [{"name": "env", "library": "pq_Modules", "id": "PQADSR3"},
        {"name": "b", "library": "pq_Modules", "id": "QM pq_ClickRectangle", "subtype": 2}],
        "events": [{"pin": "env.Gate", "gate": {"start": 0.001, "high": 0.002}}],
        "output": ["env.Signal Out"], "faces": [)";
    for (size_t i = 0; i < faces.size(); ++i)
        text += (i ? ", " : "") + std::string(R"({"module": "b", "width": 8, "height": 8, "file": ")") +
                faces[i] + "\"}";
    return text + "]}";
}

struct RenderFiles : ::testing::Test {
    // One folder per test and process: ctest runs the cases side by side.
    fs::path root =
        fs::path(::testing::TempDir()) / ("pq_render_files." + std::to_string(::getpid()) + "." +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path dir = root / "work";     // the WAV's folder
    fs::path outside = root / "away"; // must stay empty
    void SetUp() override {
        fs::create_directories(dir);
        fs::create_directories(outside);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    fs::path write(const fs::path& file, const std::string& text) {
        std::ofstream(file) << text;
        return file;
    }
    std::set<std::string> listing(const fs::path& folder) const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    }
    // Runs a shell command line; answers the exit status, standard error in `err`.
    int shell(const std::string& command, std::string* err = nullptr) const {
        const fs::path errFile = root / "stderr.txt";
        const int status = std::system(("(" + command + ") 2>" + errFile.string()).c_str());
        if (err) {
            std::ifstream in(errFile);
            *err = std::string(std::istreambuf_iterator<char>(in), {});
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int render(const fs::path& patch, const std::string& out, std::string* err = nullptr) const {
        return shell(kPqhost + " render '" + patch.string() + "' -o '" + out + "' >/dev/null", err);
    }
};

// A device, a FIFO, a socket, a directory or a symbolic link named by -o is refused with one
// line, and stays what it was; a regular file is replaced.
TEST_F(RenderFiles, OnlyRegularFilesOrNewNamesAreReplaced) {
    const fs::path patch = write(root / "p.json", patchText(0.01));
    const fs::path keep = write(outside / "keep.wav", "precious");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    fs::create_symlink(keep, dir / "link.wav");
    // A device node of our own where the system lets us make one (as root).
    const bool device = ::mknod((dir / "null").c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0;
    struct Case {
        const char* name;
        const char* kind;
        mode_t type;
    };
    std::vector<Case> cases = {{"fifo", "a FIFO", S_IFIFO},
                               {"folder", "a directory", S_IFDIR},
                               {"link.wav", "a symbolic link", S_IFLNK}};
    if (device) cases.push_back({"null", "a device", S_IFCHR});
    const std::set<std::string> before = listing(dir);
    for (const Case& c : cases) {
        std::string err;
        EXPECT_EQ(render(patch, (dir / c.name).string(), &err), 1) << c.name;
        EXPECT_THAT(err, ::testing::MatchesRegex("pqhost: cannot write .*: it is " + std::string(c.kind) +
                                                 "; only a regular file or a new name is replaced\n"));
        struct stat info {};
        ASSERT_EQ(::lstat((dir / c.name).c_str(), &info), 0) << c.name;
        EXPECT_EQ(info.st_mode & S_IFMT, c.type) << c.name;
        EXPECT_EQ(listing(dir), before) << c.name;
    }
    std::ifstream in(keep);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
    const fs::path regular = write(dir / "old.wav", "old");
    EXPECT_EQ(render(patch, regular.string()), 0);
    EXPECT_GT(fs::file_size(regular), 44u);
}

// -o - writes the same WAV to standard output, its header first with the length known before
// the render; the report goes to standard error.
TEST_F(RenderFiles, StandardOutputCarriesTheWav) {
    const fs::path patch = write(root / "p.json", patchText(0.5));
    ASSERT_EQ(render(patch, (dir / "file.wav").string()), 0);
    std::string err;
    ASSERT_EQ(shell(kPqhost + " render " + patch.string() + " -o - > " + (dir / "piped.wav").string(), &err),
              0);
    EXPECT_THAT(err, ::testing::HasSubstr("rendered "));
    std::vector<std::vector<float>> samples;
    for (const char* name : {"file.wav", "piped.wav"}) {
        SF_INFO info{};
        SNDFILE* sound = sf_open((dir / name).c_str(), SFM_READ, &info);
        ASSERT_NE(sound, nullptr) << name << ": " << sf_strerror(nullptr);
        EXPECT_EQ(info.frames, 24000) << name;
        EXPECT_EQ(info.channels, 1) << name;
        EXPECT_EQ(info.samplerate, 48000) << name;
        EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT) << name;
        samples.emplace_back(size_t(info.frames));
        EXPECT_EQ(sf_readf_float(sound, samples.back().data(), info.frames), info.frames);
        sf_close(sound);
    }
    EXPECT_EQ(samples[0], samples[1]);
    EXPECT_GT(*std::max_element(samples[0].begin(), samples[0].end()), 0.0f); // the gate opened
    EXPECT_EQ(fs::file_size(dir / "file.wav"), fs::file_size(dir / "piped.wav"));
}

// Face files lie inside the WAV's folder and meet neither the patch, the WAV nor each other;
// a refused render writes nothing anywhere.
TEST_F(RenderFiles, FacesStayInsideTheWavFolder) {
    fs::create_directory(dir / "sub");
    fs::create_directory_symlink(outside, dir / "escape");
    fs::create_directory_symlink(dir / "sub", dir / "inside");
    fs::create_symlink(outside / "face.png", dir / "pointer.png");
    struct Case {
        std::vector<std::string> faces;
        const char* message; // empty: accepted
    };
    const Case cases[] = {
        {{"escape/face.png"}, "leads outside the WAV's folder"},
        {{"pointer.png"}, "it is a symbolic link"},
        {{"p.json"}, "it is the patch file itself"},
        {{"out.wav"}, "it is the WAV file"},
        {{"a.png", "./a.png"}, "named twice in one render"},
        {{"a.png", "sub/../a.png"}, "is a name with \"..\""},
        {{"sub"}, "it is a directory"},
        {{"sub/face.png", "inside/other.png", "a.png"}, ""},
    };
    for (const Case& c : cases) {
        const fs::path patch = write(dir / "p.json", patchText(0.01, c.faces));
        const std::set<std::string> before = listing(dir);
        std::string err;
        const int status = render(patch, (dir / "out.wav").string(), &err);
        const std::string shown = ::testing::PrintToString(c.faces);
        EXPECT_TRUE(listing(outside).empty()) << shown;
        if (*c.message == '\0') {
            EXPECT_EQ(status, 0) << shown << err;
            for (const std::string& face : c.faces)
                EXPECT_TRUE(fs::is_regular_file(dir / face)) << face;
            continue;
        }
        EXPECT_EQ(status, 1) << shown;
        EXPECT_THAT(err, ::testing::HasSubstr(c.message)) << shown;
        EXPECT_EQ(listing(dir), before) << shown;
        EXPECT_TRUE(listing(dir / "sub").empty()) << shown;
    }
}

// The temporary files' names fit whatever the output's name.
TEST_F(RenderFiles, LongOutputNamesFit) {
    const fs::path patch = write(root / "p.json", patchText(0.01, {std::string(251, 'f') + ".png"}));
    const std::string name = std::string(251, 'w') + ".wav"; // 255 bytes, the longest a name can be
    std::string err;
    EXPECT_EQ(render(patch, (dir / name).string(), &err), 0) << err;
    EXPECT_EQ(listing(dir), (std::set<std::string>{name, std::string(251, 'f') + ".png"}));
}

// A write that fails says why, and leaves nothing behind.
TEST_F(RenderFiles, WriteFailuresGiveTheSystemsReason) {
    const fs::path patch = write(root / "p.json", patchText(1.0));
    std::string err;
    EXPECT_EQ(shell(kPqhost + " render " + patch.string() + " -o - > /dev/full", &err), 1);
    EXPECT_THAT(err, ::testing::HasSubstr("cannot write standard output: No space left on device"));
    // A file-size limit of 8 KiB stands for a full disk.
    EXPECT_EQ(
        shell("ulimit -f 8; " + kPqhost + " render " + patch.string() + " -o " + (dir / "out.wav").string(),
              &err),
        1);
    EXPECT_THAT(err, ::testing::HasSubstr("out.wav: File too large"));
    EXPECT_TRUE(listing(dir).empty());
}

// The peak memory of a render of 10 minutes, against one of 10 seconds measured the same way.
long peakKilobytes(const fs::path& patch, const fs::path& out) {
    const std::string patchArg = patch.string(), outArg = out.string();
    std::vector<char*> argv = {const_cast<char*>(kPqhost.c_str()),  const_cast<char*>("render"),
                               const_cast<char*>(patchArg.c_str()), const_cast<char*>("-o"),
                               const_cast<char*>(outArg.c_str()),   nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, kPqhost.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

TEST_F(RenderFiles, MemoryStaysFlatInTheRenderLength) {
    const long shortRender = peakKilobytes(write(root / "short.json", patchText(10)), dir / "short.wav");
    const long longRender = peakKilobytes(write(root / "long.json", patchText(600)), dir / "long.wav");
    ASSERT_GT(shortRender, 0);
    ASSERT_GT(longRender, 0);
    EXPECT_EQ(fs::file_size(dir / "long.wav") - fs::file_size(dir / "short.wav"), 590u * 48000 * 4);
    // Keeping the output whole would take 110 MiB more for the long render.
    EXPECT_LT(longRender - shortRender, 16 * 1024) << shortRender << " KiB against " << longRender << " KiB";
    std::printf("peak memory: %ld KiB for 10 s, %ld KiB for 10 min\n", shortRender, longRender);
}

} // namespace
