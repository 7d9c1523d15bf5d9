#include "export/base64.h"

#include <cstdint>

namespace kon {

std::string EncodeBase64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    // Whole groups of three bytes: i + 2 stays inside the input.
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t group =
            static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
            static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
            static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[group >> 18 & 63u];
        out += kAlphabet[group >> 12 & 63u];
        out += kAlphabet[group >> 6 & 63u];
        out += kAlphabet[group & 63u];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]))
                              << 16;
        if (rest == 2)
            group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        out += kAlphabet[group >> 18 & 63u];
        out += kAlphabet[group >> 12 & 63u];
        out += rest == 2 ? kAlphabet[group >> 6 & 63u] : '=';
        out += '=';
    }
    return out;
}

}  // namespace kon
