// Files for tests: a fresh working folder per test or program, and whole-file
// reads and writes, byte for byte.
#pragma once

#include <filesystem>
#include <string>

// A fresh folder under the temporary folder, made the working folder for the
// lifetime of the object and removed afterwards.
class TempFolder {
  public:
    explicit TempFolder(const std::string& tag);
    ~TempFolder();
    const std::filesystem::path& path() const { return path_; }

  private:
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path previous_;
    std::filesystem::path path_;
};

// Writes content exactly as given, making the parent folders; a failure fails the
// running test.
void WriteTextFile(const std::filesystem::path& path, const std::string& content);
// The file's bytes, or "" when it cannot be read.
std::string ReadTextFile(const std::filesystem::path& path);
