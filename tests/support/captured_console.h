#pragma once
// A console whose three streams are strings, for unit tests.

#include <sstream>
#include <string>

#include "io/console.h"

namespace kon::test {

struct CapturedConsole {
    explicit CapturedConsole(const std::string& input = "") : in(input) {}
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    Console console{in, out, err};
};

}  // namespace kon::test
