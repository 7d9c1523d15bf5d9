#pragma once
// Two pieces of work at once: one on a thread of its own, the other on the
// calling thread. A large model's conversion has parts that need nothing
// from each other, and a second core to spare.

#include <functional>

namespace kon {

// Runs `beside` on a second thread while `here` runs on this one, and returns
// once both are done. Where no thread can be started, `here` runs first, then
// `beside`, both on this thread. An exception from either reaches the caller
// once both are done (from `here` first).
void RunBeside(const std::function<void()>& beside, const std::function<void()>& here);

}  // namespace kon
