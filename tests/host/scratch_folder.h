// A fresh, empty folder that a test works in: made and entered on construction,
// left and removed on destruction.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& name)
        : previous_(std::filesystem::current_path()),
          path_(std::filesystem::temp_directory_path() / ("tarvex_host_" + name)) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        std::filesystem::current_path(path_);
    }
    ~ScratchFolder() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    // Writes bytes exactly as given (no line-end conversion) to a path relative to
    // the folder, making its parent folders.
    void Write(const std::string& relativePath, const std::string& bytes) const {
        const std::filesystem::path file = path_ / relativePath;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};
