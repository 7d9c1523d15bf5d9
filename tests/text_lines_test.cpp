// The streamed line reader cuts lines the same wherever its window's
// boundaries fall, and the text reader survives a file that changes between
// its counting and its reading pass.

#include "text/text_lines.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <sstream>
#include <string>

using namespace std::string_literals;

#include "support/captured_console.h"
#include "text/kon_text.h"

namespace kon {
namespace {

// Every line with its end flag, then a second pass after Rewind.
std::string Lines(const std::string& bytes, std::size_t window) {
    std::istringstream in(bytes);
    LineReader reader(in, 0, window);
    std::string all;
    for (int pass = 0; pass < 2; ++pass) {
        TextLine line;
        while (reader.Next(line))
            all += "[" + std::string(line.Text()) + (line.hasLineEnd ? "]\n" : "]");
        all += "|";
        EXPECT_TRUE(reader.Rewind());
    }
    return all;
}

TEST(LineReaderTest, WindowBoundariesDoNotChangeTheLines) {
    const std::string alphabet = "ab;\r\n\n\n\0\x1A\xEF\xBB\xBF"s;
    std::mt19937 random(99);
    for (int round = 0; round < 300; ++round) {
        std::string bytes = round % 3 == 0 ? "\xEF\xBB\xBF" : "";
        const std::size_t length = random() % 200;
        for (std::size_t i = 0; i < length; ++i) {
            // Ctrl-Z rarely, so most texts run to their end.
            char c = alphabet[random() % alphabet.size()];
            if (c == '\x1A' && random() % 8 != 0) c = 'z';
            bytes += c;
        }
        const std::string expected = Lines(bytes, 1 << 16);
        for (const std::size_t window : {1u, 2u, 3u, 5u, 16u, 61u}) {
            EXPECT_EQ(Lines(bytes, window), expected) << "window " << window;
        }
    }
}

// A buffer whose text grows by many points once it is read again.
class GrowingBuffer : public std::stringbuf {
  public:
    GrowingBuffer(std::string first, std::string second)
        : std::stringbuf(std::move(first)), second_(std::move(second)) {}

  protected:
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
        if (++seeks_ == 2) str(second_);  // back from the size check, then the rewind
        return std::stringbuf::seekpos(pos, which);
    }

  private:
    std::string second_;
    int seeks_ = 0;
};

// A device that fails, and a file that grows between the counting and the reading pass.
TEST(TextReaderStreamTest, ReadErrorsAreReported) {
    struct BrokenBuffer : std::streambuf {
        int_type underflow() override { throw std::ios_base::failure("device gone"); }
    } broken;
    const std::string head = "KON;MOLK\nX;Y;Z\n";
    const std::string tail = "Flaechen\nScalX\n";
    std::string more;
    for (int i = 0; i < 50; ++i) more += "1;2;3\n";
    GrowingBuffer growing(head + "1;2;3\n" + tail, head + more + tail);
    std::streambuf* const buffers[] = {&broken, &growing};
    for (std::streambuf* buffer : buffers) {
        std::istream in(buffer);
        test::CapturedConsole console("\n");
        KonModell model;
        EXPECT_EQ(ReadKonText(model, in, console.console, "m.csv"), 0);
        EXPECT_EQ(console.out.str(), "Fehler beim Lesen von m.csv!\nReturn->");
    }
}

}  // namespace
}  // namespace kon
