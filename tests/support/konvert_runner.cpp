#include "support/konvert_runner.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace kon::test {

namespace {

void Spill(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

std::string ReadFileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Sandbox::Sandbox() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / ("konvert-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            dir_ = candidate;
            // Inputs and outputs live in "work"; the captured streams beside it.
            fs::create_directory(dir_ / "work");
            return;
        }
    }
    throw std::runtime_error("no temporary directory");
}

Sandbox::~Sandbox() {
    std::error_code ec;
    // Restore permissions a test may have taken away so removal succeeds.
    for (const auto& entry : fs::recursive_directory_iterator(dir_, ec)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(dir_, ec);
}

void Sandbox::Write(const std::string& name, const std::string& bytes) const {
    const fs::path file = dir_ / "work" / name;
    fs::create_directories(file.parent_path());
    Spill(file, bytes);
}

std::string Sandbox::Read(const std::string& name) const {
    return ReadFileBytes(dir_ / "work" / name);
}

std::map<std::string, std::string> Sandbox::Files() const {
    std::map<std::string, std::string> files;
    const fs::path work = dir_ / "work";
    for (const auto& entry : fs::recursive_directory_iterator(work)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), work).generic_string()] = ReadFileBytes(entry.path());
        }
    }
    return files;
}

}  // namespace kon::test
