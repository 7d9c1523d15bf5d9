#include "model/message_text.h"

#include <charconv>

namespace kon {

namespace {
template <typename T>
std::string ToText(T value, int base) {
    std::string text(24, '\0');  // room for any 64-bit value in base 10 or 16
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value, base);
    text.resize(static_cast<std::size_t>(result.ptr - text.data()));
    return text;
}
}  // namespace

std::string Decimal(std::int64_t value) {
    return ToText(value, 10);
}

std::string Hex(std::uint32_t value) {
    return ToText(value, 16);
}

std::string MarkeHex(std::uint16_t marke) {
    const auto widened = static_cast<std::int32_t>(static_cast<std::int16_t>(marke));
    return Hex(static_cast<std::uint32_t>(widened));
}

}  // namespace kon
