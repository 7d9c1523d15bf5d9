#include <iostream>

#include "driver/run_konvert.h"
#include "io/console.h"
#include "io/model_heap.h"
#include "io/platform.h"

int main(int argc, char** argv) {
    // Before anything is opened: no input or output may become a standard stream.
    kon::platform::GuardStandardStreams();
    kon::PrepareModelHeap();
    kon::Console console(std::cin, std::cout, std::cerr);
    return kon::RunKonvert(argc, argv, console);
}
