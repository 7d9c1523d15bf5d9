#include "model/integer_text.h"

#include <charconv>

namespace kon {

std::string Decimal(std::int64_t value) {
    std::string text(kMaxIntegerChars, '\0');
    text.resize(static_cast<std::size_t>(PutSigned(text.data(), value) - text.data()));
    return text;
}

std::string Hex(std::uint32_t value) {
    std::string text(8, '\0');  // eight hexadecimal digits hold 32 bits
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value, 16);
    text.resize(static_cast<std::size_t>(result.ptr - text.data()));
    return text;
}

std::string MarkeHex(std::uint16_t marke) {
    const auto widened = static_cast<std::int32_t>(static_cast<std::int16_t>(marke));
    return Hex(static_cast<std::uint32_t>(widened));
}

}  // namespace kon
