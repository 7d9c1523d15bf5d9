#pragma once
// Little-endian reading and writing of archive fields, one field at a time
// with explicit shifts, so the layout never depends on the host's byte order
// or on struct padding. Floats travel as their raw bit patterns.

#include <array>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kon {

// Reads from a stream through a window that is refilled as the reads go on
// (so a large file never sits in memory whole). A read that cannot get all
// its bytes moves the cursor to the end, so nothing that was never there is
// ever taken for data.
class ByteCursor {
  public:
    explicit ByteCursor(std::istream& in, std::size_t windowSize = kDefaultWindow);
    // The window's bytes move with the cursor; a copy would point into the
    // original's window.
    ByteCursor(ByteCursor&&) = default;
    ByteCursor(const ByteCursor&) = delete;
    ByteCursor& operator=(const ByteCursor&) = delete;

    // Bytes taken since the start.
    std::size_t Offset() const { return dropped_ + static_cast<std::size_t>(pos_ - begin_); }
    // Bytes at hand without reading more; a stream may hold further ones.
    std::size_t Buffered() const { return static_cast<std::size_t>(end_ - pos_); }
    // The stream reported an error rather than its end.
    bool ReadFailed() const { return readFailed_; }
    // Where the value that a failed Need() claimed would have started.
    std::size_t TruncatedAt() const { return truncatedAt_; }

    // Claims the next n bytes for one read; the unchecked getters below may
    // then take exactly those bytes.
    bool Need(std::size_t n) {
        if (Buffered() >= n || Refill(n)) return true;
        truncatedAt_ = Offset();
        pos_ = end_;
        return false;
    }

    // Looks at the next word without taking it; false when fewer than two
    // bytes are left.
    bool PeekU16(std::uint16_t& value) {
        if (Buffered() < 2 && !Refill(2)) return false;
        value = Load16(pos_);
        return true;
    }

    // The getters take bytes a successful Need() claimed; in debug builds
    // they check it.
    std::uint8_t U8() {
        assert(Buffered() >= 1);
        return *pos_++;
    }
    std::uint16_t U16() {
        assert(Buffered() >= 2);
        const std::uint16_t value = Load16(pos_);
        pos_ += 2;
        return value;
    }
    std::uint32_t U32() {
        assert(Buffered() >= 4);
        const std::uint32_t value = Load32(pos_);
        pos_ += 4;
        return value;
    }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    float F32() { return std::bit_cast<float>(U32()); }
    double F64() {
        const std::uint64_t low = U32();
        const std::uint64_t high = U32();
        return std::bit_cast<double>(low | (high << 32));
    }
    std::string_view Bytes(std::size_t n) {
        assert(Buffered() >= n);
        const std::string_view bytes(reinterpret_cast<const char*>(pos_), n);
        pos_ += n;
        return bytes;
    }

    // Checked single reads for the places that take one value at a time.
    bool ReadU16(std::uint16_t& value) {
        if (!Need(2)) return false;
        value = U16();
        return true;
    }
    bool ReadU32(std::uint32_t& value) {
        if (!Need(4)) return false;
        value = U32();
        return true;
    }

  private:
    static constexpr std::size_t kDefaultWindow = std::size_t{1} << 16;

    // Keeps the unread bytes, reads until at least n are at hand; false when
    // the stream ends (or fails) first.
    bool Refill(std::size_t n);

    static std::uint16_t Load16(const unsigned char* p) {
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    static std::uint32_t Load32(const unsigned char* p) {
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }

    std::istream& in_;
    std::vector<unsigned char> window_;
    std::size_t dropped_ = 0;  // bytes taken before begin_
    const unsigned char* begin_;
    const unsigned char* pos_;
    const unsigned char* end_;
    std::size_t truncatedAt_ = 0;
    bool readFailed_ = false;
};

// Appends fields to a byte buffer and hands it over to the stream in large
// chunks, so the whole archive never has to sit in memory.
class ByteSink {
  public:
    ByteSink(std::string& buffer, std::ostream& stream)
        : out_(buffer), stream_(stream), used_(buffer.size()) {}
    ByteSink(const ByteSink&) = delete;
    ByteSink& operator=(const ByteSink&) = delete;

    void U8(std::uint8_t value) { Put<1>(value); }
    void U16(std::uint16_t value) { Put<2>(value); }
    void U32(std::uint32_t value) { Put<4>(value); }
    void I32(std::int32_t value) { Put<4>(static_cast<std::uint32_t>(value)); }
    void F32(float value) { Put<4>(std::bit_cast<std::uint32_t>(value)); }
    void F64(double value) { Put<8>(std::bit_cast<std::uint64_t>(value)); }
    void Bytes(std::string_view bytes);
    // Hands what is left to the stream.
    void Finish();

  private:
    // Written fields go into the buffer's spare size; this makes at least n
    // bytes of it, handing the full part to the stream first.
    void MakeRoom(std::size_t n);

    template <std::size_t N>
    void Put(std::uint64_t value) {
        if (out_.size() - used_ < N) MakeRoom(N);
        char* const bytes = out_.data() + used_;
        for (std::size_t i = 0; i < N; ++i) {
            bytes[i] = static_cast<char>(static_cast<unsigned char>((value >> (8 * i)) & 0xFFu));
        }
        used_ += N;
    }

    std::string& out_;
    std::ostream& stream_;
    std::size_t used_;  // the first used_ bytes of out_ are written ones
};

}  // namespace kon
