#pragma once
// The edge tally of the line derivation: every unordered pair of point
// indices once, in the order and orientation in which it was first met, with
// the number of times it was met.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kon {

struct Kante {
    std::int16_t Von = 0;
    std::int16_t Bis = 0;
    std::int32_t Zaehler = 0;
};

// An open-addressing table over the unordered pair finds an edge in constant
// time; the entries themselves stay in a plain vector, so their order is the
// order of first appearance. The hash mixes in a seed drawn for each tally,
// so no input can be crafted to make its edges collide.
class KantenListe {
  public:
    // `expectedEdges` is a sizing hint (the number of Count calls to come);
    // the table grows on its own when the guess was short.
    explicit KantenListe(std::size_t expectedEdges);

    void Count(std::int16_t a, std::int16_t b);

    // Hands the entries over and frees the table at once, so a huge tally
    // does not hold both while the lines are built from it.
    std::vector<Kante> TakeKanten();

    // The slots looked at so far, over all calls of Count: the tally's cost.
    std::uint64_t Probes() const { return probes_; }

  private:
    struct Slot {
        std::uint32_t key = 0;
        std::uint32_t entryPlusOne = 0;  // 0 marks an empty slot
    };

    void Rehash(std::size_t slotCount);
    std::size_t Home(std::uint32_t key) const;

    std::vector<Kante> kanten_;
    std::vector<Slot> slots_;
    std::uint64_t seed_ = 0;
    std::uint64_t multiplier_ = 1;  // odd
    std::uint64_t probes_ = 0;
    unsigned shift_ = 0;
};

}  // namespace kon
