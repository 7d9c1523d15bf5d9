#include "driver/settings.h"

#include <cstddef>

// Each record is the marker immediately followed by its value, stored as one
// object in initialised data. They are non-const and external so the
// compiler keeps them as they are, and read through volatile so it cannot
// fold the default into the code: patching the bytes must change behaviour.
// "@Trenner@" (9) + separator (1) + NUL (1).
extern char KonTrennerRecord[11];
char KonTrennerRecord[11] = "@Trenner@;";
// "@Endung@" (8) + extension text, NUL-terminated, in 12 bytes.
extern char KonEndungRecord[20];
char KonEndungRecord[20] = "@Endung@.csv";

namespace kon {

namespace {
constexpr std::size_t kTrennerMarkerLength = 9;
constexpr std::size_t kEndungMarkerLength = 8;
constexpr std::size_t kEndungMaxLength = 11;
}  // namespace

char Trenner() {
    const volatile char* value = KonTrennerRecord + kTrennerMarkerLength;
    return *value;
}

std::string Endung() {
    const volatile char* value = KonEndungRecord + kEndungMarkerLength;
    std::string text;
    for (std::size_t i = 0; i < kEndungMaxLength && value[i] != '\0'; ++i) text += value[i];
    return text;
}

}  // namespace kon
