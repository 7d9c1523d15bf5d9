// Work on a second thread: both parts run, and a failure on either side
// reaches the caller (the glb writer's out-of-memory must not vanish in a
// helper thread).

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "model/run_beside.h"

namespace kon {
namespace {

TEST(RunBesideTest, BothPartsRunAndEitherFailureReachesTheCaller) {
    const struct {
        const char* name;
        bool besideThrows;
        bool hereThrows;
        std::string caught;  // what the caller sees
    } cases[] = {
        {"neither fails", false, false, ""},
        {"beside fails", true, false, "beside"},
        {"here fails", false, true, "here"},
        {"both fail: here's first", true, true, "here"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool besideRan = false;
        bool hereRan = false;
        std::string caught;
        try {
            RunBeside(
                [&] {
                    besideRan = true;
                    if (c.besideThrows) throw std::runtime_error("beside");
                },
                [&] {
                    hereRan = true;
                    if (c.hereThrows) throw std::runtime_error("here");
                });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        EXPECT_EQ(caught, c.caught);
        EXPECT_TRUE(hereRan);
        // Without a thread, `beside` runs only once `here` has returned.
        if (!c.hereThrows) {
            EXPECT_TRUE(besideRan);
        }
    }
}

}  // namespace
}  // namespace kon
