// Runs a fuzz target without libFuzzer, so its properties are checked in
// every test run and under every build's sanitizers: each file below the
// given folders (up to 64 KiB) is fed as it is and in seeded variants with
// bytes changed, inserted, removed or the end cut off, followed by random
// byte strings. A violated property aborts, as under the fuzzer.
//
//   replay_fuzz_NAME FOLDER...

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

constexpr std::uintmax_t kLargestSeed = 64 * 1024;
constexpr int kVariantsPerSeed = 100;
constexpr int kRandomInputs = 20000;
constexpr std::size_t kLongestRandomInput = 600;

void Feed(const std::string& bytes) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::string Variant(std::string bytes, std::mt19937& random) {
    const auto at = [&](std::size_t size) {
        return std::uniform_int_distribution<std::size_t>(0, size)(random);
    };
    const auto byte = [&] { return static_cast<char>(random() & 0xFFu); };
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes; ++i) {
        switch (random() % 4) {
            case 0:
                if (!bytes.empty()) bytes[at(bytes.size() - 1)] = byte();
                break;
            case 1:
                bytes.insert(at(bytes.size()), 1, byte());
                break;
            case 2:
                if (!bytes.empty()) bytes.erase(at(bytes.size() - 1), 1);
                break;
            default:
                bytes.resize(at(bytes.size()));
        }
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> seeds;
    for (int i = 1; i < argc; ++i) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i])) {
            if (!entry.is_regular_file() || entry.file_size() > kLargestSeed) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            seeds.emplace_back(std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>());
        }
    }
    std::mt19937 random(20261207);
    for (const std::string& seed : seeds) {
        Feed(seed);
        for (int v = 0; v < kVariantsPerSeed; ++v) Feed(Variant(seed, random));
    }
    for (int i = 0; i < kRandomInputs; ++i) {
        std::string bytes(random() % (kLongestRandomInput + 1), '\0');
        for (char& c : bytes) c = static_cast<char>(random() & 0xFFu);
        Feed(bytes);
    }
    std::printf("%zu seeds, %zu inputs\n", seeds.size(),
                seeds.size() * (1 + kVariantsPerSeed) + kRandomInputs);
    return seeds.empty() ? 1 : 0;
}
