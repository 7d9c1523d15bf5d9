#pragma once
// Path operations on the input and output names. Both '/' and '\' separate
// components on every platform, and only the last component is searched for
// the extension's dot, so a dot in a directory name never counts.

#include <string>
#include <string_view>

namespace kon {

// Text after the last dot of the last component; empty without such a dot.
std::string PathExtension(std::string_view path);
// The whole path without the last component's extension and its dot.
std::string PathStem(std::string_view path);
// The last component; a view into the argument.
std::string_view PathBaseName(std::string_view path);
// The last component as a copy of its own.
std::string PathBaseNameCopy(std::string_view path);

}  // namespace kon
