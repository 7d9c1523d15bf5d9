#pragma once
// The two settings kept in the program image behind their markers, so that
// they can be changed in the built executable without a rebuild.

#include <string>

namespace kon {

// The field separator of written text files (default ';').
char Trenner();
// The extension of written text files (default ".csv"): the bytes behind the
// marker up to the first NUL, at most 11.
std::string Endung();

}  // namespace kon
