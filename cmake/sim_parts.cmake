# SPDX-License-Identifier: MIT
# Helpers for the simulator's native parts (the renderer, the plots, the
# guide's pictures, the window): each is built only where its libraries are
# found, and each has one GoogleTest program whose cases are tests of their
# own.

# hover_find_libraries(<prefix> <what the build does without them> <module>...)
# Looks the pkg-config modules up as the imported target PkgConfig::<prefix>
# and sets <prefix>_FOUND. When one is missing, says so, with what the build
# goes without; the caller then returns. A macro, so that the target and the
# variables are the caller's.
macro(hover_find_libraries prefix without)
    find_package(PkgConfig QUIET)
    if(PkgConfig_FOUND)
        pkg_check_modules(${prefix} QUIET IMPORTED_TARGET ${ARGN})
    endif()
    if(NOT ${prefix}_FOUND)
        message(STATUS "${without}")
    endif()
endmacro()

# hover_add_sim_tests(<program> <test>
#     LINK <library>...              what the tests are built on
#     [SOURCES <file>...]            by default every test_*.cpp beside the caller
#     [DEFINITIONS <name=value>...]  more compile definitions
#     [MODULE])                      the tests load the built module
# Builds the GoogleTest program and registers its cases as <test>.<Suite>.<Case>. With
# MODULE it is told the module's path (HOVER_MODULE_FILE) and the bitmaps'
# folder (HOVER_BITMAP_DIR), and the module is built first. LeakSanitizer
# is given the suppressions for what cairo and fontconfig keep for the life
# of the process.
function(hover_add_sim_tests program test)
    cmake_parse_arguments(PARSE_ARGV 2 arg "MODULE" "" "LINK;SOURCES;DEFINITIONS")
    if(NOT TARGET GTest::gtest_main)
        find_package(GTest REQUIRED)
    endif()
    set(sources ${arg_SOURCES})
    if(NOT sources)
        file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
    endif()
    add_executable(${program} ${sources})
    target_link_libraries(${program} PRIVATE ${arg_LINK} GTest::gtest GTest::gtest_main hover_warnings)
    set(definitions ${arg_DEFINITIONS})
    if(arg_MODULE)
        list(PREPEND definitions HOVER_MODULE_FILE="$<TARGET_FILE:hover>"
             HOVER_BITMAP_DIR="${PROJECT_SOURCE_DIR}/gauge/display/bitmaps")
        add_dependencies(${program} hover)
    endif()
    if(definitions)
        target_compile_definitions(${program} PRIVATE ${definitions})
    endif()
    hover_gtest_cases(${program} ${test} PROPERTIES
        ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/sim/panel/tests/lsan.supp")
endfunction()
