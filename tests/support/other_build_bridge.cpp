// A library under the name of kon's bridge, from another build: kon must
// not call into it, since its objects may be laid out otherwise.

#include <cstdlib>

extern "C" {

const char* kon_bridge_build() {
    return "kon 0.0.0 of another build";
}

void kon_add_bridge_formats(void*) {
    std::abort();  // reached only when kon took this library for its own
}
}
