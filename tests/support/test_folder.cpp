#include "test_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <system_error>

namespace stdfs = std::filesystem;

TempFolder::TempFolder(const std::string& tag) : previous_(stdfs::current_path()) {
    static int counter = 0;
    // Unique per program run and per folder, so parallel test programs never meet.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = stdfs::temp_directory_path() /
            ("tarvex_" + tag + "_" + std::to_string(stamp) + "_" + std::to_string(++counter));
    stdfs::create_directories(path_);
    stdfs::current_path(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    stdfs::current_path(previous_, ignored);
    stdfs::remove_all(path_, ignored);
}

void WriteTextFile(const stdfs::path& path, const std::string& content) {
    if (path.has_parent_path()) {
        stdfs::create_directories(path.parent_path());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    EXPECT_TRUE(out.good()) << "cannot write " << path.string();
}

std::string ReadTextFile(const stdfs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
