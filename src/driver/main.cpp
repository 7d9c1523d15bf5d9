#include <iostream>

#include "driver/platform.h"
#include "driver/run_konvert.h"
#include "io/console.h"

int main(int argc, char** argv) {
    kon::platform::PrepareModelHeap();
    kon::Console console(std::cin, std::cout, std::cerr);
    return kon::RunKonvert(argc, argv, console);
}
