#pragma once
// While an AllocationCap lives, a single allocation in its thread larger than
// the cap fails with std::bad_alloc (where the program's operator new is its
// own: not under the sanitizers).

#include <cstddef>

namespace kon::bridge {

class AllocationCap {
  public:
    explicit AllocationCap(std::size_t cap);
    AllocationCap(const AllocationCap&) = delete;
    AllocationCap& operator=(const AllocationCap&) = delete;
    ~AllocationCap();

    // The largest allocation refused since the cap was set; 0 for none.
    std::size_t Refused() const;
    // Widens the cap of this thread, if it has one, by `extra` bytes: a file
    // read for the one being read brings data of its own.
    static void Raise(std::size_t extra);

  private:
    std::size_t previous_;
};

}  // namespace kon::bridge
