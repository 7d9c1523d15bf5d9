#pragma once
// A fresh temporary directory for tests that write files, and whole files.

#include <filesystem>
#include <string>

namespace kon::test {

// Holds the empty directory "work"; removed with everything in it.
class Sandbox {
  public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;
    const std::filesystem::path& dir() const { return dir_; }
    // Removes everything inside `dir`.
    static void Empty(const std::filesystem::path& dir);

  private:
    std::filesystem::path dir_;
};

// The whole contents of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& file);
void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace kon::test
