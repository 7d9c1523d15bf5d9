#include "archive/index_stream.h"

#include <cassert>
#include <string>
#include <vector>

#include "archive/records.h"
#include "model/integer_text.h"
#include "model/limits.h"

namespace kon {

namespace {

constexpr std::size_t kObjectBytes = 8;
// Every object but the last is followed by a two-byte Klassenmarke.
constexpr std::size_t kObjectStride = kObjectBytes + 2;
constexpr std::int32_t kPointEntry = 0;
constexpr std::int32_t kMarkerEntry = 1;

struct Entry {
    std::int32_t indexWert = 0;
    std::int32_t kennzeichen = 0;
};

bool IsVert(const Entry& e, std::int32_t n) {
    return e.indexWert == n && e.kennzeichen == kMarkerEntry;
}

// A point entry carries its index in the low 16 bits.
std::int16_t PointIndex(const Entry& e) {
    return static_cast<std::int16_t>(static_cast<std::uint32_t>(e.indexWert) & 0xFFFFu);
}

std::size_t CornerCount(const Flaeche& f) {
    return f.Anzahl > 0 ? static_cast<std::size_t>(f.Anzahl) : 0;
}

// The sections found by the validating pass: where each starts and how many
// polygons it holds.
struct Sections {
    std::size_t start[5] = {};
    std::size_t polygons[5] = {};
    std::size_t end = 0;  // the end marker
};

class IndexDecoder {
  public:
    IndexDecoder(KonModell& model, ArchiveInput& in) : model_(model), in_(in) {}

    bool Run(std::size_t count, std::uint16_t marke) {
        first_ = in_.cursor.Offset();
        if (!ReadEntries(count, marke) || !Validate() || !CheckTotal()) return false;
        Fill();
        return CheckIndices();
    }

  private:
    // Where entry `pos` starts in the archive; one past the last entry names
    // the end of the stream.
    std::size_t OffsetOf(std::size_t pos) const {
        if (pos >= entries_.size()) return first_ + entries_.size() * kObjectStride - 2;
        return first_ + pos * kObjectStride;
    }

    bool Fail(const char* message, std::string explanation, std::size_t pos) {
        return in_.Fail(FaultKind::kBadIndexStream, message, std::move(explanation), OffsetOf(pos));
    }

    bool ReadEntries(std::size_t count, std::uint16_t marke) {
        // count <= 65535, so the temporary entries take at most 512 KiB.
        entries_.assign(count, Entry{});
        return ReadSeparated(
            count,
            [&](std::size_t i) {
                if (!in_.cursor.Need(kObjectBytes)) return in_.FailShort("a polygon index object");
                entries_[i].indexWert = in_.cursor.I32();
                entries_[i].kennzeichen = in_.cursor.I32();
                return true;
            },
            [&] { return ReadMarke(in_, marke, MarkeOf::kIndex); });
    }

    // Length of the run of point entries starting at pos; never scans past
    // the last entry read.
    std::size_t RunLength(std::size_t pos) const {
        std::size_t end = pos;
        while (end < entries_.size() && entries_[end].kennzeichen == kPointEntry) ++end;
        return end - pos;
    }

    bool MarkerAt(std::size_t pos, std::int32_t n) const {
        return pos < entries_.size() && IsVert(entries_[pos], n);
    }

    std::string Found(std::size_t pos) const {
        if (pos >= entries_.size()) return "the end of the stream";
        // Appended piece by piece: MinGW's g++ 12 misreads "(" + string as an
        // overlapping copy (-Wrestrict).
        std::string text(1, '(');
        text.append(Decimal(entries_[pos].indexWert)).append(1, ',');
        return text.append(Decimal(entries_[pos].kennzeichen)).append(1, ')');
    }
    bool FailMarker(const char* message, std::int32_t n, std::size_t pos) {
        return Fail(message, "expected the marker (" + Decimal(n) + ",1), found " + Found(pos),
                    pos);
    }

    bool Validate() {
        if (!MarkerAt(0, 0)) return FailMarker("Vert(0,1) nicht gefunden!\n", 0, 0);
        struct Step {
            std::size_t corners;
            std::int32_t marker;
            const char* lengthMessage;
            const char* markerMessage;
        };
        static constexpr Step kSteps[] = {
            {1, 1, "", "Vert(1,1) nicht gefunden!\n"},
            {2, 4, "2-Vert nicht OK!\n", "Vert(4,1) nicht gefunden!\n"},
            {3, 7, "3-Vert nicht OK!\n", "Vert(7,1) nicht gefunden!\n"},
            {4, 9, "4-Vert nicht OK!\n", "Vert(9,1) nicht gefunden!\n"},
        };
        std::size_t pos = 1;
        for (std::size_t s = 0; s < 4; ++s) {
            const Step& step = kSteps[s];
            const std::size_t length = RunLength(pos);
            if (length % step.corners != 0) {
                return Fail(
                    step.lengthMessage,
                    "expected a multiple of " + Decimal(static_cast<std::int64_t>(step.corners)) +
                        " point entries, found " + Decimal(static_cast<std::int64_t>(length)),
                    pos);
            }
            sections_.start[s] = pos;
            sections_.polygons[s] = length / step.corners;
            pos += length;
            if (!MarkerAt(pos, step.marker))
                return FailMarker(step.markerMessage, step.marker, pos);
            ++pos;
        }
        sections_.start[4] = pos;
        while (pos < entries_.size() && entries_[pos].kennzeichen == kPointEntry) {
            pos += RunLength(pos);
            if (!MarkerAt(pos, 9)) return FailMarker("Vert(9,1) nicht gefunden!\n", 9, pos);
            ++sections_.polygons[4];
            ++pos;
        }
        // Entries after the end marker are not interpreted.
        if (!MarkerAt(pos, 9)) return FailMarker("Ende-Vert(9,1) nicht gefunden!\n", 9, pos);
        sections_.end = pos;
        return true;
    }

    bool CheckTotal() {
        total_ = 0;
        for (const std::size_t n : sections_.polygons) total_ += n;
        if (total_ > static_cast<std::size_t>(kMaxItems)) {
            return Fail("Anzahl Flaechen nicht OK!\n",
                        "expected at most 32767 polygons, found " +
                            Decimal(static_cast<std::int64_t>(total_)),
                        0);
        }
        return true;
    }

    // The list is created once with its final size; only polygons of more
    // than four corners get a second block, of exactly the room they need.
    // Validate has measured every run taken here, so no bound is checked.
    void Fill() {
        model_.Flaechenliste.assign(total_, Flaeche{});
        std::size_t next = 0;
        for (std::size_t s = 0; s < 4; ++s) {
            std::size_t pos = sections_.start[s];
            for (std::size_t p = 0; p < sections_.polygons[s]; ++p) {
                pos = TakeRun(model_.Flaechenliste[next++], pos, s + 1);
            }
        }
        std::size_t pos = sections_.start[4];
        for (std::size_t p = 0; p < sections_.polygons[4]; ++p) {
            pos = TakeRun(model_.Flaechenliste[next++], pos, RunLength(pos)) + 1;
        }
        assert(next == total_ && pos == sections_.end);
    }

    std::size_t TakeRun(Flaeche& f, std::size_t pos, std::size_t corners) {
        assert(pos + corners <= entries_.size());
        if (corners > 4) f.WeitereEcken.reserve(corners - 4);
        for (std::size_t j = 0; j < corners; ++j) AppendEcke(f, PointIndex(entries_[pos + j]));
        return pos + corners;
    }

    // The point entries up to the end marker, in stream order, are the
    // corners in list order.
    bool CheckIndices() {
        const auto points = static_cast<std::int32_t>(model_.Punkte.size());
        for (std::size_t pos = 1; pos < sections_.end; ++pos) {
            if (entries_[pos].kennzeichen != kPointEntry) continue;
            const std::int16_t index = PointIndex(entries_[pos]);
            // Signed, against the upper bound only: negative indices pass.
            if (index >= points) {
                return in_.Fail(
                    FaultKind::kBadPointIndex,
                    "Falscher Punkt: " + Decimal(index) + ", " + Decimal(points) + "!\n",
                    "expected a point index below " + Decimal(points) + ", found " + Decimal(index),
                    OffsetOf(pos));
            }
        }
        return true;
    }

    KonModell& model_;
    ArchiveInput& in_;
    std::vector<Entry> entries_;
    Sections sections_;
    std::size_t total_ = 0;
    std::size_t first_ = 0;
};

class IndexEncoder {
  public:
    IndexEncoder(ByteSink& out, std::uint16_t marke) : out_(out), marke_(marke) {}

    void Vert(std::int32_t n) { Object(n, kMarkerEntry); }
    void Point(std::int16_t index) { Object(index, kPointEntry); }
    // The last object has no Klassenmarke after it.
    void End() {
        out_.I32(9);
        out_.I32(kMarkerEntry);
    }

  private:
    void Object(std::int32_t wert, std::int32_t kennzeichen) {
        out_.I32(wert);
        out_.I32(kennzeichen);
        out_.U16(marke_);
    }

    ByteSink& out_;
    std::uint16_t marke_;
};

}  // namespace

std::uint64_t CountIndexObjects(const KonModell& model) {
    std::uint64_t count = 6;
    for (const Flaeche& f : model.Flaechenliste) {
        const std::size_t corners = CornerCount(f);
        count += corners + (corners > 4 ? 1 : 0);
    }
    return count;
}

void EncodeIndexStream(const KonModell& model, ByteSink& out, std::uint16_t marke) {
    IndexEncoder encoder(out, marke);
    // Polygons of 1 to 4 corners go to the section of their size behind the
    // marker that opens it; larger ones each close with their own Vert(9,1).
    static constexpr std::int32_t kOpeningMarker[] = {0, 1, 4, 7, 9};
    for (std::size_t size = 1; size <= 5; ++size) {
        encoder.Vert(kOpeningMarker[size - 1]);
        for (const Flaeche& f : model.Flaechenliste) {
            const std::size_t corners = CornerCount(f);
            if (size < 5 ? corners != size : corners < 5) continue;
            for (std::size_t j = 0; j < corners; ++j) encoder.Point(Ecke(f, j));
            if (size == 5) encoder.Vert(9);
        }
    }
    encoder.End();
}

bool DecodeIndexStream(KonModell& model, ArchiveInput& in, std::size_t count, std::uint16_t marke) {
    return IndexDecoder(model, in).Run(count, marke);
}

}  // namespace kon
