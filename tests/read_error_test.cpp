// Streams that fail like a broken device, or cannot go back: a read error is
// reported as such, never taken for the end of the file, and a text stream
// that cannot seek is still read in its two passes.

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "driver/load_model.h"
#include "support/captured_console.h"
#include "text/kon_text.h"

namespace kon {
namespace {

class TestBuffer : public std::stringbuf {
  public:
    TestBuffer(const std::string& bytes, bool seekable, bool failsAtEnd)
        : std::stringbuf(bytes, std::ios::in), seekable_(seekable), failsAtEnd_(failsAtEnd) {}

  protected:
    int_type underflow() override {
        const int_type next = std::stringbuf::underflow();
        if (failsAtEnd_ && traits_type::eq_int_type(next, traits_type::eof())) {
            throw std::runtime_error("device error");
        }
        return next;
    }
    pos_type seekoff(off_type off, std::ios::seekdir dir, std::ios::openmode which) override {
        return seekable_ ? std::stringbuf::seekoff(off, dir, which) : pos_type(off_type(-1));
    }
    pos_type seekpos(pos_type pos, std::ios::openmode which) override {
        return seekable_ ? std::stringbuf::seekpos(pos, which) : pos_type(off_type(-1));
    }

  private:
    bool seekable_;
    bool failsAtEnd_;
};

const std::string kText = "KON;MOLK\r\nX\r\n1;2;3\r\n4;5;6\r\nFlaechen\r\n0;1\r\nScalX\r\n";

TEST(ReadErrorTest, ReportedAndNotTakenForTheEnd) {
    const struct {
        const char* name;
        std::string bytes;
        bool seekable;
        bool failsAtEnd;
        std::string out;  // how the console output begins
    } cases[] = {
        {"archive", std::string("\x40\x0B\0\0\xE9\x07\0\0", 8), true, true,
         "Fehler beim Lesen von x!\nReturn->"},
        {"text", kText, true, true, "Fehler beim Lesen von x!\nReturn->"},
        {"text that cannot seek", kText, false, true, "Fehler beim Lesen von x!\nReturn->"},
        {"text that cannot seek, read whole", kText, false, false, ""},
    };
    for (const auto& c : cases) {
        TestBuffer buffer(c.bytes, c.seekable, c.failsAtEnd);
        std::istream in(&buffer);
        test::CapturedConsole captured;
        KonModell model;
        // The text reader itself, since only it promises to read a stream
        // that cannot seek; the archive goes the driver's way.
        if (c.bytes == kText) {
            model.Geladen = ReadKonText(model, in, captured.console, "x");
        } else {
            LoadModelFrom(model, in, captured.console, "x");
        }
        EXPECT_EQ(model.Geladen, c.out.empty() ? 1 : 0) << c.name;
        EXPECT_EQ(captured.out.str().substr(0, c.out.size()), c.out) << c.name;
        if (c.out.empty()) {
            EXPECT_EQ(model.PunktAnzahl, 2) << c.name;
            EXPECT_EQ(model.FlaechenAnzahl, 1) << c.name;
        }
        ReleaseModel(model);
    }
}

}  // namespace
}  // namespace kon
