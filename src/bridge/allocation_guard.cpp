// A cap on single allocations while assimp reads a file. Its readers trust
// the counts a file states: a 300-byte OFF file that declares 350 billion
// vertices makes one allocation of many gigabytes, which the system grants
// and the reader then fills. Under the cap that allocation fails with
// std::bad_alloc, which assimp turns into a failed import.
//
// The cap needs the program's own operator new. The sanitizers bring theirs
// (and check that new and delete pair up), so under them there is no cap.

#include "bridge/allocation_guard.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KON_NO_ALLOCATION_CAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KON_NO_ALLOCATION_CAP 1
#endif

namespace kon::bridge {

namespace {

// Per thread: the workers of a batch each read their own file.
thread_local std::size_t tCap = 0;      // 0: no cap
thread_local std::size_t tRefused = 0;  // the largest size refused under the cap

}  // namespace

AllocationCap::AllocationCap(std::size_t cap) : previous_(tCap) {
    tCap = cap;
    tRefused = 0;
}

AllocationCap::~AllocationCap() {
    tCap = previous_;
}

std::size_t AllocationCap::Refused() const {
    return tRefused;
}

void AllocationCap::Raise(std::size_t extra) {
    if (tCap == 0) return;
    tCap = extra > SIZE_MAX - tCap ? SIZE_MAX : tCap + extra;
}

}  // namespace kon::bridge

#ifndef KON_NO_ALLOCATION_CAP

namespace {

void* Allocate(std::size_t size) {
    using kon::bridge::tCap;
    using kon::bridge::tRefused;
    if (tCap != 0 && size > tCap) {
        if (size > tRefused) tRefused = size;
        throw std::bad_alloc();
    }
    if (size == 0) size = 1;
    for (;;) {
        if (void* p = std::malloc(size)) return p;
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

}  // namespace

// Every form that pairs with the plain delete, so new and delete stay one
// family (malloc and free) whichever of them a library calls.
void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

#endif
