#include "model/kanten_liste.h"

#include <algorithm>
#include <limits>
#include <random>
#include <utility>

namespace kon {

namespace {

// The hint only sizes the first allocation, up to a limit: a model of many
// repeated edges would otherwise reserve far more than it ever fills.
constexpr std::size_t kMaxInitialEntries = std::size_t{1} << 20;
constexpr std::size_t kMinSlots = 16;

// Both orientations of an edge give the same key: the smaller index (as raw
// 16 bits) in the high half.
std::uint32_t PairKey(std::int16_t a, std::int16_t b) {
    const auto ua = static_cast<std::uint16_t>(a);
    const auto ub = static_cast<std::uint16_t>(b);
    const std::uint16_t lo = std::min(ua, ub);
    const std::uint16_t hi = std::max(ua, ub);
    return (std::uint32_t{lo} << 16) | hi;
}

unsigned Log2(std::size_t powerOfTwo) {
    unsigned bits = 0;
    while ((std::size_t{1} << bits) < powerOfTwo) ++bits;
    return bits;
}

// A load of at most 7/10 keeps linear probe runs short (mostly within one
// cache line) without letting the table dwarf the entries.
bool Overloaded(std::size_t entries, std::size_t slots) {
    return 10 * entries > 7 * slots;
}

std::size_t SlotsFor(std::size_t entries) {
    std::size_t slots = kMinSlots;
    while (Overloaded(entries, slots)) slots *= 2;
    return slots;
}

// Two words of the system's entropy source.
std::uint64_t RandomWord(std::random_device& source) {
    return (std::uint64_t{source()} << 32) ^ source();
}

}  // namespace

KantenListe::KantenListe(std::size_t expectedEdges) {
    std::random_device source;
    seed_ = RandomWord(source);
    multiplier_ = RandomWord(source) | 1u;
    const std::size_t initial = std::min(expectedEdges, kMaxInitialEntries);
    kanten_.reserve(initial);
    Rehash(SlotsFor(initial));
}

std::size_t KantenListe::Home(std::uint32_t key) const {
    // The key moved and stretched by secret numbers (so even the difference
    // of two keys' values depends on them), then the 64-bit finaliser of
    // MurmurHash3, whose top bits depend on every bit below.
    std::uint64_t h = (std::uint64_t{key} + seed_) * multiplier_;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return static_cast<std::size_t>(h >> shift_);
}

void KantenListe::Rehash(std::size_t slotCount) {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(slotCount, Slot{});
    shift_ = 64u - Log2(slotCount);
    const std::size_t mask = slotCount - 1;
    for (const Slot& slot : old) {
        if (slot.entryPlusOne == 0) continue;
        std::size_t i = Home(slot.key);
        while (slots_[i].entryPlusOne != 0) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

void KantenListe::Count(std::int16_t a, std::int16_t b) {
    const std::uint32_t key = PairKey(a, b);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = Home(key);
    // The load stays below 7/10, so an empty slot ends every probe run.
    while (slots_[i].entryPlusOne != 0) {
        ++probes_;
        if (slots_[i].key == key) {
            // Only "once" against "more than once" matters; saturating keeps an
            // absurdly long polygon from overflowing the count.
            std::int32_t& zaehler = kanten_[slots_[i].entryPlusOne - 1].Zaehler;
            if (zaehler < std::numeric_limits<std::int32_t>::max()) ++zaehler;
            return;
        }
        i = (i + 1) & mask;
    }
    // At most 2^32 - 1 entries: there are only 2^31 + 2^15 unordered pairs of
    // 16-bit values, so entryPlusOne never wraps.
    kanten_.push_back(Kante{a, b, 1});
    slots_[i] = Slot{key, static_cast<std::uint32_t>(kanten_.size())};
    if (Overloaded(kanten_.size(), slots_.size())) Rehash(2 * slots_.size());
}

std::vector<Kante> KantenListe::TakeKanten() {
    std::vector<Slot>().swap(slots_);
    return std::move(kanten_);
}

}  // namespace kon
