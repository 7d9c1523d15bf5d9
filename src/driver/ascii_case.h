#pragma once
// Kept only for test code that still includes it from here.
#include "text/ascii_case.h"
