#pragma once
// Edges chosen against the edge tally's former public hash (Fibonacci hashing
// of `lo << 16 | hi`): every key lands in the first few slots of the table a
// tally of that many edges uses, so linear probing walks one ever longer run.
// Random edges of the same number are the yardstick. Shared by the tests and
// the benchmark.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include <utility>

namespace kon::test {

using Edge = std::pair<std::int16_t, std::int16_t>;

inline std::vector<Edge> CraftedEdges(std::size_t count) {
    // The slot count the tally picks for `count` edges: a power of two, at
    // least 16, loaded at most 7/10.
    unsigned bits = 4;
    while (10 * count > 7 * (std::size_t{1} << bits)) ++bits;
    // Enough target slots that the key space holds `count` keys for them.
    const std::uint64_t homes = 1 + (count << bits >> 30);
    std::vector<Edge> edges;
    for (std::uint32_t key = 1; edges.size() < count && key != 0; ++key) {
        const auto lo = static_cast<std::uint16_t>(key >> 16);
        const auto hi = static_cast<std::uint16_t>(key);
        if (lo >= hi) continue;
        if (((std::uint64_t{key} * 0x9E3779B97F4A7C15ull) >> (64 - bits)) >= homes) continue;
        edges.emplace_back(static_cast<std::int16_t>(lo), static_cast<std::int16_t>(hi));
    }
    return edges;
}

// Distinct random edges of 16-bit point indices.
inline std::vector<Edge> RandomEdges(std::size_t count) {
    std::mt19937 random(count);
    std::uniform_int_distribution<int> index(-32768, 32767);
    std::vector<Edge> edges;
    while (edges.size() < count) {
        const auto a = static_cast<std::int16_t>(index(random));
        const auto b = static_cast<std::int16_t>(index(random));
        if (a != b) edges.emplace_back(a, b);
    }
    return edges;
}

}  // namespace kon::test
