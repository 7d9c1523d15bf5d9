# kon_header_only(NAME PACKAGE pkg VERSION v TARGET pkg::target HEADER dir/file.hpp)
#
# An INTERFACE target NAME for a header-only package from the distribution.
# A native build links the package's own CMake target. The MinGW toolchain
# keeps every search inside the Windows root, and the host's /usr/include
# must not reach the cross compiler (its C headers would shadow MinGW's), so
# there only the package's own header folder is linked into the build tree
# and that folder becomes a system include path: nothing is copied, nothing
# else of the host is seen.
function(kon_header_only name)
    cmake_parse_arguments(ARG "" "PACKAGE;VERSION;TARGET;HEADER" "" ${ARGN})
    add_library(${name} INTERFACE)
    if(NOT CMAKE_CROSSCOMPILING)
        find_package(${ARG_PACKAGE} ${ARG_VERSION} REQUIRED)
        target_link_libraries(${name} INTERFACE ${ARG_TARGET})
        return()
    endif()

    find_package(${ARG_PACKAGE} ${ARG_VERSION} REQUIRED NO_CMAKE_FIND_ROOT_PATH)
    get_target_property(include_dirs ${ARG_TARGET} INTERFACE_INCLUDE_DIRECTORIES)
    find_path(${name}_HOST_DIR ${ARG_HEADER} PATHS ${include_dirs} NO_DEFAULT_PATH
              NO_CMAKE_FIND_ROOT_PATH)
    if(NOT ${name}_HOST_DIR)
        message(FATAL_ERROR "${ARG_HEADER} of ${ARG_PACKAGE} not found in ${include_dirs}")
    endif()
    string(REGEX REPLACE "/.*" "" folder "${ARG_HEADER}")
    set(shim "${CMAKE_BINARY_DIR}/host-headers/${name}")
    file(MAKE_DIRECTORY "${shim}")
    file(CREATE_LINK "${${name}_HOST_DIR}/${folder}" "${shim}/${folder}" SYMBOLIC)
    target_include_directories(${name} SYSTEM INTERFACE "${shim}")
    get_target_property(definitions ${ARG_TARGET} INTERFACE_COMPILE_DEFINITIONS)
    if(definitions)
        target_compile_definitions(${name} INTERFACE ${definitions})
    endif()
endfunction()
