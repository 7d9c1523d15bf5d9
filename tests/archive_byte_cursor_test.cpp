// The windowed stream cursor gives the same values, offsets and truncation as
// the cursor over the whole block, wherever the window boundaries fall.

#include "archive/byte_cursor.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace kon {
namespace {

// One step of a random read script: a checked read of `width` bytes (0
// peeks a word, 3 takes a run of `width` bytes as a string).
struct Step {
    int kind;
    std::size_t width;
};

// Every value read, as text, with the offset behind it and the cursor's state.
std::string Trace(ByteCursor& c, const std::vector<Step>& script) {
    std::ostringstream trace;
    for (const Step& step : script) {
        std::uint16_t word = 0;
        switch (step.kind) {
            case 0:
                trace << "p" << (c.PeekU16(word) ? std::to_string(word) : "-");
                break;
            case 1:
                trace << "w" << (c.ReadU16(word) ? std::to_string(word) : "-");
                break;
            case 2:
                if (c.Need(12)) {
                    trace << "d" << c.U32() << "," << c.F64();
                } else {
                    trace << "d-";
                }
                break;
            default:
                trace << "b" << (c.Need(step.width) ? std::string(c.Bytes(step.width)) : "-");
        }
        trace << "@" << c.Offset() << (c.Truncated() ? "T" : "") << " ";
    }
    return trace.str();
}

TEST(ByteCursorTest, StreamWindowsReadLikeTheWholeBlock) {
    std::mt19937 random(4242);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 300, '\0');
        for (char& b : bytes) b = static_cast<char>('a' + random() % 26);
        std::vector<Step> script(random() % 80);
        for (Step& step : script) step = {static_cast<int>(random() % 4), 1 + random() % 40};

        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        ByteCursor whole(data, data + bytes.size());
        const std::string expected = Trace(whole, script);
        for (const std::size_t window : {1u, 2u, 3u, 7u, 16u, 64u, 1024u}) {
            std::istringstream in(bytes);
            ByteCursor windowed(in, window);
            EXPECT_EQ(Trace(windowed, script), expected) << "window " << window;
            EXPECT_FALSE(windowed.ReadFailed());
        }
    }
}

TEST(ByteCursorTest, StreamErrorIsNotTakenForTheEnd) {
    struct BrokenBuffer : std::streambuf {
        int_type underflow() override { throw std::ios_base::failure("device gone"); }
    } broken;
    std::istream in(&broken);
    ByteCursor c(in);
    std::uint16_t word = 0;
    EXPECT_FALSE(c.ReadU16(word));
    EXPECT_TRUE(c.ReadFailed());
}

}  // namespace
}  // namespace kon
