// The text codec beyond what the golden rows show: every cut, streams that
// fail, grow or cannot seek, polygon rows that disagree with their arrays,
// and the line reader's windows.

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

#include "text/kon_text.h"
#include "text/text_lines.h"

namespace kon {
namespace {

using namespace std::string_literals;

struct Outcome {
    Diagnostics diagnostics;
    std::string messages;  // every message in order
    KonModell model;
};

Outcome Read(std::istream& in) {
    Outcome outcome;
    outcome.diagnostics = ReadKonText(in, "m.csv", outcome.model);
    for (const Diagnostic& d : outcome.diagnostics.items) outcome.messages += d.message;
    return outcome;
}
Outcome Read(const std::string& text) {
    std::istringstream in(text, std::ios::binary);
    return Read(in);
}

// Whatever the cut, the message names what is missing, and nothing crashes.
TEST(TextReaderTest, AFileCutShortAnywhereGivesTheMessageOfItsSection) {
    const std::string text =
        "KON;MOLK\nX;Y;Z;R;G;B;TexId;TexX;TexY\n0;0;0;1;2;3;4;0,5;0,5;1;2\nFlaechen\n0\n"
        "ScalX;ScalY;ScalZ;RotX;RotY;RotZ;MoveX;MoveY;MoveZ\n1;1;1;0;0;0;1;2;3\n";
    const std::size_t polygons = text.find("Flaechen") + 8;
    const std::size_t instances = text.find("ScalX") + 5;
    EXPECT_EQ(Read("").messages, "Falsches Kon-Format!\n");  // no first line at all
    for (std::size_t length = text.find("\nX") + 2; length <= text.size(); ++length) {
        const Outcome outcome = Read(text.substr(0, length));
        std::string expected;
        if (length < polygons) {
            expected = "Flaechenliste nicht gefunden!\n";
        } else if (length < instances) {
            expected = "Instanzen nicht gefunden!\n";
        } else if (length > text.size() - 18 && length < text.size() - 1) {
            expected = "falsches Instanzformat in Zeile 7!\n";
        }
        EXPECT_EQ(outcome.messages, expected) << length;
        EXPECT_EQ(outcome.diagnostics.Ok(), expected.empty()) << length;
        // Blank rows are counted but make no record.
        if (expected.empty()) {
            EXPECT_EQ(outcome.model.Punkte.size(), 1u) << length;
        }
    }
}

// A buffer that fails like a broken device at its end, or cannot go back.
struct TestBuffer : std::stringbuf {
    TestBuffer(const std::string& bytes, bool seekable, bool failsAtEnd)
        : std::stringbuf(bytes, std::ios::in), seekable_(seekable), failsAtEnd_(failsAtEnd) {}

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

    bool seekable_;
    bool failsAtEnd_;
};

// A buffer whose text grows by many points once it is read again.
struct GrowingBuffer : std::stringbuf {
    GrowingBuffer(std::string first, std::string second)
        : std::stringbuf(std::move(first)), second_(std::move(second)) {}

    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
        if (++seeks_ == 2) str(second_);  // back from the size check, then the rewind
        return std::stringbuf::seekpos(pos, which);
    }

    std::string second_;
    int seeks_ = 0;
};

// A read error is reported as such, never taken for the end of the file, and
// a stream that cannot seek is still read in its two passes.
TEST(TextReaderTest, StreamsThatFailGrowOrCannotSeek) {
    const std::string text = "KON;MOLK\r\nX\r\n1;2;3\r\n4;5;6\r\nFlaechen\r\n0;1\r\nScalX\r\n";
    const std::string readError = "Fehler beim Lesen von m.csv!\n";
    const std::string head = "KON;MOLK\nX;Y;Z\n";
    const std::string tail = "Flaechen\nScalX\n";
    std::string more;
    for (int i = 0; i < 50; ++i) more += "1;2;3\n";
    struct Case {
        const char* name;
        std::streambuf* buffer;
        std::string messages;
        std::uint64_t line = 0;  // where a changed file is noticed, when not 0
    };
    TestBuffer failing(text, true, true);
    TestBuffer failingUnseekable(text, false, true);
    TestBuffer unseekable(text, false, false);
    GrowingBuffer growing(head + "1;2;3\n" + tail, head + more + tail);
    // The same number of lines, moved into the next section.
    GrowingBuffer movedPolygon(head + "1;2;3\n1;2;3\nFlaechen\n0\nScalX\n",
                               head + "1;2;3\nFlaechen\n0\n0\nScalX\n");
    GrowingBuffer movedInstance(head + "1;2;3\nFlaechen\n0\n0\nScalX\n",
                                head + "1;2;3\nFlaechen\n0\nScalX\n1;1;1;0;0;0;0;0;0\n\n");
    const Case cases[] = {
        {"failing", &failing, readError},
        {"failing, cannot seek", &failingUnseekable, readError},
        {"cannot seek", &unseekable, ""},
        {"grows between the passes", &growing, readError},
        // At the line over the first pass's count, not only at the end.
        {"a line moves into the polygons between the passes", &movedPolygon, readError, 6},
        {"a line moves into the instances between the passes", &movedInstance, readError, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::istream in(c.buffer);
        const Outcome outcome = Read(in);
        EXPECT_EQ(outcome.messages, c.messages);
        if (c.messages.empty()) {
            EXPECT_EQ(outcome.model.Punkte.size(), 2u);
            EXPECT_EQ(outcome.model.Flaechenliste.size(), 1u);
        } else {
            EXPECT_EQ(outcome.diagnostics.Error()->kind, FaultKind::kReadError);
            if (c.line != 0) {
                EXPECT_EQ(outcome.diagnostics.Error()->where.value, c.line);
            }
        }
    }
}

std::string Written(const KonModell& model, char separator = ';') {
    std::ostringstream out;
    WriteKonText(model, out, separator);
    return out.str();
}

TEST(TextWriterTest, PolygonRowsFollowTheCornerRule) {
    KonModell model;
    model.Flaechenliste.resize(3);
    for (std::int16_t i = 0; i < 6; ++i) AppendEcke(model.Flaechenliste[0], i == 5 ? -1 : i);
    model.Flaechenliste[2].Anzahl = 9;  // claims more corners than it holds
    model.Punkte.resize(1);
    model.Punkte[0].Marke = kZusatzMarke;  // a mark without entries writes nine fields
    EXPECT_NE(Written(model).find("\r\n0;0;0;0;0;0;0;0,0000;0,0000\r\nFlaechen\r\n"
                                  "0;1;2;3;4;-1\r\n\r\n0;0;0;0\r\nScalX"),
              std::string::npos);
}

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

}  // namespace
}  // namespace kon
