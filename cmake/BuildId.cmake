# Script mode (cmake -P): writes OUTPUT, a header defining KON_BRIDGE_BUILD:
# TAG (the compiler and the build's settings) and a fingerprint of every
# header under SOURCE_DIR/src. kon and the bridge library it loads agree on
# it only when both were built from the same declarations the same way.
file(GLOB_RECURSE headers ${SOURCE_DIR}/src/*.h)
list(SORT headers)
set(text "${TAG}")
foreach(header ${headers})
    file(SHA256 ${header} hash)
    string(APPEND text " ${hash}")
endforeach()
string(SHA256 fingerprint "${text}")
string(SUBSTRING ${fingerprint} 0 16 fingerprint)
set(content "#pragma once\n// Made by cmake/BuildId.cmake at build time.\n#define KON_BRIDGE_BUILD \"${TAG} ${fingerprint}\"\n")
set(old "")
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} old)
endif()
# Written only when it changes: what includes it is not rebuilt for nothing.
if(NOT old STREQUAL content)
    file(WRITE ${OUTPUT} "${content}")
endif()
