// The text codec beyond what the golden rows show: every cut, streams that
// fail, grow or cannot seek, polygon rows that disagree with their arrays,
// and the line reader's windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

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

// The fields of an instance as bits, so -0 and NaN compare as what they are.
std::string InstanceBits(const CObFormat& f) {
    std::ostringstream out;
    out << f.MoveX << ' ' << f.MoveY << ' ' << f.MoveZ;
    for (const double d : {f.RotX, f.RotY, f.RotZ}) out << ' ' << std::bit_cast<std::uint64_t>(d);
    for (const float v : {f.ScalX, f.ScalY, f.ScalZ}) out << ' ' << std::bit_cast<std::uint32_t>(v);
    return out.str();
}

// A section long enough to be read beside the points and polygons gives the
// rows that the same lines give in short sections, and the first fault in
// line order, wherever it is.
TEST(TextReaderTest, ALongInstanceSectionReadsAsShortOnesDo) {
    std::mt19937 random(5);
    const char* forms[] = {"%d,%02d", "%d.%02d", "-%d,%d", " %de%d", "+%d,%d", "%d,%d5e-1x"};
    std::vector<std::string> rows;
    for (int i = 0; i < 6000; ++i) {
        if (random() % 50 == 0) {
            rows.push_back(random() % 2 == 0 ? "" : ";;");  // counted, skipped
            continue;
        }
        std::string row;
        for (int k = 0; k < 9; ++k) {
            char field[40];
            const int a = static_cast<int>(random() % 2000);
            const int b = static_cast<int>(random() % 100);
            if (k < 6) {
                std::snprintf(field, sizeof field, forms[random() % 6], a, b);
            } else {
                std::snprintf(field, sizeof field, "%d", a * 1000 - 999999);
            }
            row += (k == 0 ? "" : ";") + std::string(field);
        }
        rows.push_back(row);
    }
    const std::string head = "KON;MOLK\nX;Y;Z\n1;2;3\nFlaechen\n0\nScalX\n";
    const auto text = [&](std::size_t from, std::size_t to) {
        std::string t = head;
        for (std::size_t i = from; i < to; ++i) t += rows[i] + "\r\n";
        return t;
    };
    const Outcome whole = Read(text(0, rows.size()));
    ASSERT_EQ(whole.messages, "");
    std::vector<std::string> expected;
    for (std::size_t from = 0; from < rows.size(); from += 500) {
        const Outcome piece = Read(text(from, from + 500));
        ASSERT_EQ(piece.messages, "");
        for (const CObFormat& f : piece.model.Instanzen) expected.push_back(InstanceBits(f));
    }
    ASSERT_EQ(whole.model.Instanzen.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(InstanceBits(whole.model.Instanzen[i]), expected[i]) << i;
    }

    // Row i stands on line 7 + i. A failed read keeps the rows before the
    // fault, none when it is in the points or polygons.
    const struct {
        const char* name;
        std::string replaced;  // in the head
        std::string by;
        std::vector<std::size_t> brokenRows;
        std::string message;
    } faults[] = {
        {"one broken row", "", "", {4500}, "falsches Instanzformat in Zeile 4507!\n"},
        {"the first of two", "", "", {5999, 4096}, "falsches Instanzformat in Zeile 4103!\n"},
        {"the first row", "", "", {0}, "falsches Instanzformat in Zeile 7!\n"},
        {"a point row before", "1;2;3", "1;2", {10}, "falsches Punktformat in Zeile 3!\n"},
        {"a polygon before", "\n0\n", "\n7\n", {10}, "falscher Punkt 7 in Zeile 5!\n"},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.name);
        std::vector<std::string> broken = rows;
        for (const std::size_t row : f.brokenRows) broken[row] = "1;1;1;0;0;0;0;0";
        std::string t = head;
        if (!f.replaced.empty()) t.replace(t.find(f.replaced), f.replaced.size(), f.by);
        for (const std::string& row : broken) t += row + "\n";
        const Outcome outcome = Read(t);
        EXPECT_EQ(outcome.messages, f.message);
        const auto first = static_cast<std::ptrdiff_t>(
            f.replaced.empty() ? *std::min_element(f.brokenRows.begin(), f.brokenRows.end()) : 0);
        EXPECT_EQ(outcome.model.Instanzen.size(),
                  static_cast<std::size_t>(std::count_if(
                      rows.begin(), rows.begin() + first,
                      [](const std::string& row) { return !row.empty() && row != ";;"; })));
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
// a stream that cannot seek is still read in its two passes. A change between
// the passes fails the read, for a text held whole as for a larger one.
TEST(TextReaderTest, StreamsThatFailGrowOrCannotSeek) {
    const std::string text = "KON;MOLK\r\nX\r\n1;2;3\r\n4;5;6\r\nFlaechen\r\n0;1\r\nScalX\r\n";
    const std::string readError = "Fehler beim Lesen von m.csv!\n";
    const std::string head = "KON;MOLK\nX;Y;Z\n";
    const std::string tail = "Flaechen\nScalX\n";
    // Trailing separators on the first point make a text too large to be
    // read whole, without another line.
    const std::string wide = "1;2;3" + std::string(std::size_t{9} << 20, ';') + "\n";
    std::string more;
    for (int i = 0; i < 50; ++i) more += "1;2;3\n";
    struct Case {
        const char* name;
        std::streambuf* buffer;
        std::string messages;
        std::uint64_t line = 0;  // where a changed file is noticed, when not 0
        std::size_t points = 0;  // read when there is no message
    };
    TestBuffer failing(text, true, true);
    TestBuffer failingUnseekable(text, false, true);
    TestBuffer unseekable(text, false, false);
    GrowingBuffer heldWhole(head + "1;2;3\n" + tail, head + more + tail);
    GrowingBuffer growing(head + wide + tail, head + wide + more + tail);
    // The same number of lines, moved into the next section.
    GrowingBuffer movedPolygon(head + wide + "1;2;3\nFlaechen\n0\nScalX\n",
                               head + wide + "Flaechen\n0\n0\nScalX\n");
    GrowingBuffer movedInstance(head + wide + "Flaechen\n0\n0\nScalX\n",
                                head + wide + "Flaechen\n0\nScalX\n1;1;1;0;0;0;0;0;0\n\n");
    // Past a Ctrl-Z nothing is text, so nothing there is compared either.
    GrowingBuffer afterCtrlZ(head + "1;2;3\n" + tail + "\x1A" + "old",
                             head + "1;2;3\n" + tail + "\x1A" + "new!");
    GrowingBuffer heldWholeGrows(head + "1;2;3\n" + tail,
                                 head + "1;2;3\n" + tail + "1;1;1;0;0;0;0;0;0\n");
    // Read by two threads; the change is noticed at the last line, as without them.
    std::string rows;
    for (int i = 0; i < 5000; ++i) rows += "1;1;1;0;0;0;0;0;0\n";
    GrowingBuffer lastRowChanged(
        head + "1;2;3\n" + tail + rows,
        head + "1;2;3\n" + tail + rows.substr(0, rows.size() - 18) + "2;1;1;0;0;0;0;0;0\n");
    // What looks like a fault may only be the other version of the file.
    GrowingBuffer faultThenChanged(head + wide + "1;2;3\n" + tail, head + wide + "1;2\n" + tail);
    GrowingBuffer heldFaultThenChanged(head + "1;2\n" + tail, head + "1;2;3\n" + tail);
    const Case cases[] = {
        {"failing", &failing, readError},
        {"a fault, and the file changed", &faultThenChanged, readError, 4},
        {"a fault in a text held whole, and the file changed", &heldFaultThenChanged, readError, 3},
        {"failing, cannot seek", &failingUnseekable, readError},
        {"cannot seek", &unseekable, "", 0, 2},
        {"held whole, changed before it is read again", &heldWhole, readError},
        {"held whole, grown before it is read again", &heldWholeGrows, readError},
        {"held whole, changed behind a Ctrl-Z", &afterCtrlZ, "", 0, 1},
        {"many instance rows, the last one changed", &lastRowChanged, readError, 5005},
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
            EXPECT_EQ(outcome.model.Punkte.size(), c.points);
        } else {
            ASSERT_NE(outcome.diagnostics.Error(), nullptr);
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

// The lines behind the first: from the reader, and from HeldLines over the
// rest of the text the reader holds.
std::pair<std::string, std::string> RestOfLines(const std::string& bytes) {
    std::istringstream in(bytes);
    LineReader reader(in, 0);
    TextLine line;
    std::pair<std::string, std::string> rest;
    if (!reader.Next(line)) return rest;
    EXPECT_TRUE(reader.HoldsWholeText());
    HeldLines held(reader.RestFromHere(), reader.MayHoldNul());
    while (held.Next(line))
        rest.first += "[" + std::string(line.Text()) + (line.hasLineEnd ? "]\n" : "]");
    while (reader.Next(line))
        rest.second += "[" + std::string(line.Text()) + (line.hasLineEnd ? "]\n" : "]");
    return rest;
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
        const auto [held, read] = RestOfLines(bytes);
        EXPECT_EQ(held, read);
        for (const std::size_t window : {1u, 2u, 3u, 5u, 16u, 61u}) {
            EXPECT_EQ(Lines(bytes, window), expected) << "window " << window;
        }
    }
}

}  // namespace
}  // namespace kon
