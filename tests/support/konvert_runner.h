#pragma once
// A fresh temporary directory for tests that write files, and reading a
// file whole.

#include <filesystem>
#include <map>
#include <string>

namespace kon::test {

class Sandbox {
  public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // Holds the directory "work", where Write, Read and Files work.
    const std::filesystem::path& dir() const { return dir_; }
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;
    // Every regular file below "work", by relative path, with its bytes.
    std::map<std::string, std::string> Files() const;

  private:
    std::filesystem::path dir_;
};

// The whole contents of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& file);

}  // namespace kon::test
