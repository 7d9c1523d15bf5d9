#pragma once

#include "io/console.h"

namespace kon {

// One whole run: argument check, load, gate, output name, overwrite
// question, write. Returns the exit code (0 after "OK --> ", else 1).
int RunKonvert(int argc, const char* const* argv, Console& console);

}  // namespace kon
