#include "support/konvert_runner.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace kon::test {

std::string ReadFileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

Sandbox::Sandbox() {
    std::random_device random;
    do {
        dir_ = fs::temp_directory_path() / ("konvert-test-" + std::to_string(random()));
    } while (!fs::create_directory(dir_));
    fs::create_directory(dir_ / "work");
}

Sandbox::~Sandbox() {
    std::error_code ec;
    // Permissions a test took away would stop the removal.
    for (const auto& entry : fs::recursive_directory_iterator(dir_, ec))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
}

void Sandbox::Empty(const fs::path& dir) {
    for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
}

}  // namespace kon::test
