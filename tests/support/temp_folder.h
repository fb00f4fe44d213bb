// A folder of its own for each test case and process (ctest runs the cases of a file side by
// side), made before the case and removed after it, with a helper that writes text files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace pqtest {

class TempFolderTest : public ::testing::Test {
protected:
    explicit TempFolderTest(const std::string& prefix)
        : root(std::filesystem::path(::testing::TempDir()) /
               (prefix + "." + std::to_string(::getpid()) + "." +
                ::testing::UnitTest::GetInstance()->current_test_info()->name())) {}
    void SetUp() override { std::filesystem::create_directories(root); }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    // Writes `text` to `name` inside the folder and answers its path.
    std::filesystem::path write(const std::string& name, const std::string& text) {
        const std::filesystem::path file = root / name;
        std::ofstream(file) << text;
        return file;
    }

    std::filesystem::path root;
};

} // namespace pqtest
