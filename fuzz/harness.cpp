#include "harness.h"

#include <cstdio>
#include <cstdlib>

namespace kon::fuzz {

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

}  // namespace kon::fuzz
