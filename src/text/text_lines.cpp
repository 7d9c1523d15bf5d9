#include "text/text_lines.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <string_view>

namespace kon {

namespace {

constexpr std::size_t kReadChunk = std::size_t{1} << 16;
constexpr char kCtrlZ = '\x1A';
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

char* FindByte(char* begin, char* end, char byte) {
    return static_cast<char*>(std::memchr(begin, byte, static_cast<std::size_t>(end - begin)));
}

// The bytes left in a seekable stream, so a file is read with one block;
// 0 when the stream cannot tell.
std::size_t RemainingSize(std::istream& in) {
    const auto start = in.tellg();
    if (start == std::istream::pos_type(-1)) return 0;
    in.seekg(0, std::ios::end);
    const auto stop = in.tellg();
    in.seekg(start);
    if (!in.bad()) in.clear();
    if (stop == std::istream::pos_type(-1)) return 0;
    const std::streamoff size = stop - start;
    return size > 0 ? static_cast<std::size_t>(size) : 0;
}

// Appends up to `count` bytes; false once the stream has no more to give.
bool ReadChunk(std::istream& in, std::string& bytes, std::size_t count) {
    const std::size_t old = bytes.size();
    bytes.resize(old + count);
    in.read(bytes.data() + old, static_cast<std::streamsize>(count));
    bytes.resize(old + static_cast<std::size_t>(in.gcount()));
    return bytes.size() == old + count;
}

}  // namespace

WholeStreamResult ReadWholeStream(std::istream& in, std::string& bytes, std::size_t limit) {
    bytes.clear();
    // One byte beyond the limit tells a stream that is too large.
    const std::size_t cap = std::min(limit, bytes.max_size() - 1) + 1;
    const std::size_t expected = RemainingSize(in);
    if (in.bad()) return WholeStreamResult::kReadError;
    if (expected > limit) return WholeStreamResult::kTooLarge;
    bool more = expected == 0 || ReadChunk(in, bytes, expected);
    // The expected size was right unless the file grew: peek before growing
    // the block, so a file read whole is never held twice.
    if (more && expected != 0) more = in.peek() != std::istream::traits_type::eof();
    while (more && bytes.size() < cap) {
        more =
            ReadChunk(in, bytes, std::min(std::max(kReadChunk, bytes.size()), cap - bytes.size()));
    }
    if (in.bad()) return WholeStreamResult::kReadError;
    if (bytes.size() > limit) return WholeStreamResult::kTooLarge;
    return WholeStreamResult::kRead;
}

std::span<char> TextContent(std::string& bytes) {
    char* begin = bytes.data();
    char* end = begin + bytes.size();
    if (std::string_view(bytes).substr(0, kUtf8Bom.size()) == kUtf8Bom) begin += kUtf8Bom.size();
    if (char* ctrlZ = FindByte(begin, end, kCtrlZ)) end = ctrlZ;
    return {begin, end};
}

LineCursor::LineCursor(std::span<char> text)
    : pos_(text.data()),
      end_(text.data() + text.size()),
      mayHoldNul_(FindByte(pos_, end_, '\0') != nullptr) {}

bool LineCursor::Next(TextLine& line) {
    if (pos_ == end_) return false;
    char* contentEnd = FindByte(pos_, end_, '\n');
    char* next = end_;
    line.hasLineEnd = contentEnd != nullptr;
    if (contentEnd != nullptr) {
        next = contentEnd + 1;
        if (contentEnd != pos_ && contentEnd[-1] == '\r') --contentEnd;
    } else {
        contentEnd = end_;
    }
    if (mayHoldNul_) {
        if (char* nul = FindByte(pos_, contentEnd, '\0')) {
            contentEnd = nul;
            line.hasLineEnd = false;
        }
    }
    line.content = std::span<char>(pos_, contentEnd);
    pos_ = next;
    return true;
}

}  // namespace kon
