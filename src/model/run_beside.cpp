#include "model/run_beside.h"

#include <exception>
#include <new>
#include <system_error>
#include <thread>

namespace kon {

void RunBeside(const std::function<void()>& beside, const std::function<void()>& here) {
    std::exception_ptr besideFailed;
    std::thread helper;
    try {
        helper = std::thread([&beside, &besideFailed] {
            try {
                beside();
            } catch (...) {
                besideFailed = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        // No thread to be had (a process limit, say): one after the other.
    } catch (const std::bad_alloc&) {
    }
    if (!helper.joinable()) {
        here();
        beside();
        return;
    }
    // The helper uses the caller's objects, so it is waited for however
    // `here` ends.
    struct Joined {
        std::thread& thread;
        ~Joined() {
            if (thread.joinable()) thread.join();
        }
    } joined{helper};
    here();
    helper.join();
    if (besideFailed) std::rethrow_exception(besideFailed);
}

}  // namespace kon
