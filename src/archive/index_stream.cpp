#include "archive/index_stream.h"

#include <string>
#include <vector>

#include "archive/framing_checks.h"
#include "archive/records.h"

namespace kon {

namespace {

constexpr std::size_t kObjectBytes = 8;
constexpr std::size_t kMaxFlaechen = 32767;
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
};

class IndexDecoder {
  public:
    IndexDecoder(KonModell& model, ArchiveInput& in) : model_(model), in_(in) {}

    bool Run(std::uint16_t count, std::uint16_t marke) {
        return ReadEntries(count, marke) && Validate() && CheckTotal() && Fill() && CheckIndices();
    }

  private:
    bool Fail(const char* message) { return in_.Fail(message); }

    bool ReadEntries(std::uint16_t count, std::uint16_t marke) {
        // count <= 65535, so the temporary entries take at most 512 KiB.
        entries_.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (!in_.cursor.Need(kObjectBytes)) return in_.FailShort();
            Entry e;
            e.indexWert = in_.cursor.I32();
            e.kennzeichen = in_.cursor.I32();
            entries_.push_back(e);
            if (i + 1 == count) break;
            switch (ExpectWord(in_, marke)) {
                case CheckResult::kMatch:
                    break;
                case CheckResult::kMismatch:
                    return in_.Fail("Falscher Trenner1: " + MarkeHex(marke) + "!\n");
                case CheckResult::kShort:
                    return in_.FailShort();
            }
        }
        return true;
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

    bool Validate() {
        if (!MarkerAt(0, 0)) return Fail("Vert(0,1) nicht gefunden!\n");
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
            if (length % step.corners != 0) return Fail(step.lengthMessage);
            sections_.start[s] = pos;
            sections_.polygons[s] = length / step.corners;
            pos += length;
            if (!MarkerAt(pos, step.marker)) return Fail(step.markerMessage);
            ++pos;
        }
        sections_.start[4] = pos;
        while (pos < entries_.size() && entries_[pos].kennzeichen == kPointEntry) {
            pos += RunLength(pos);
            if (!MarkerAt(pos, 9)) return Fail("Vert(9,1) nicht gefunden!\n");
            ++sections_.polygons[4];
            ++pos;
        }
        // Entries after the end marker are not interpreted.
        if (!MarkerAt(pos, 9)) return Fail("Ende-Vert(9,1) nicht gefunden!\n");
        return true;
    }

    bool CheckTotal() {
        total_ = 0;
        for (const std::size_t n : sections_.polygons) total_ += n;
        if (total_ > kMaxFlaechen) return Fail("Anzahl Flaechen nicht OK!\n");
        return true;
    }

    // The list is created once with its final size; only polygons of more
    // than four corners get a second block, of exactly the room they need.
    bool Fill() {
        model_.FlaechenAnzahl = static_cast<std::int32_t>(total_);
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
        return true;
    }

    std::size_t TakeRun(Flaeche& f, std::size_t pos, std::size_t corners) {
        if (corners > 4) f.WeitereEcken.reserve(corners - 4);
        for (std::size_t j = 0; j < corners; ++j) AppendEcke(f, PointIndex(entries_[pos + j]));
        return pos + corners;
    }

    bool CheckIndices() {
        for (const Flaeche& f : model_.Flaechenliste) {
            for (std::size_t j = 0; j < CornerCount(f); ++j) {
                const std::int16_t index = Ecke(f, j);
                // Signed, against the upper bound only: negative indices pass.
                if (index >= model_.PunktAnzahl) {
                    return in_.Fail("Falscher Punkt: " + Decimal(index) + ", " +
                                    Decimal(model_.PunktAnzahl) + "!\n");
                }
            }
        }
        return true;
    }

    KonModell& model_;
    ArchiveInput& in_;
    std::vector<Entry> entries_;
    Sections sections_;
    std::size_t total_ = 0;
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
    const std::size_t used = InUse(model.FlaechenAnzahl, model.Flaechenliste.size());
    for (std::size_t i = 0; i < used; ++i) {
        const std::size_t corners = CornerCount(model.Flaechenliste[i]);
        count += corners + (corners > 4 ? 1 : 0);
    }
    return count;
}

void EncodeIndexStream(const KonModell& model, ByteSink& out, std::uint16_t marke) {
    const std::size_t used = InUse(model.FlaechenAnzahl, model.Flaechenliste.size());
    const Flaeche* const polygons = model.Flaechenliste.data();
    IndexEncoder encoder(out, marke);
    // Polygons of 1 to 4 corners go to the section of their size behind the
    // marker that opens it; larger ones each close with their own Vert(9,1).
    static constexpr std::int32_t kOpeningMarker[] = {0, 1, 4, 7, 9};
    for (std::size_t size = 1; size <= 5; ++size) {
        encoder.Vert(kOpeningMarker[size - 1]);
        for (std::size_t i = 0; i < used; ++i) {
            const Flaeche& f = polygons[i];
            const std::size_t corners = CornerCount(f);
            if (size < 5 ? corners != size : corners < 5) continue;
            for (std::size_t j = 0; j < corners; ++j) encoder.Point(Ecke(f, j));
            if (size == 5) encoder.Vert(9);
        }
    }
    encoder.End();
}

bool DecodeIndexStream(KonModell& model, ArchiveInput& in, std::uint16_t count,
                       std::uint16_t marke) {
    return IndexDecoder(model, in).Run(count, marke);
}

}  // namespace kon
