# SPDX-License-Identifier: MIT
# GoogleTest for the test programs, as the targets GTest::gtest, GTest::gmock
# and GTest::gtest_main: the installed package when one fits the target (the
# native build), otherwise built here from the sources Debian's googletest
# package ships (the cross build, for which no GoogleTest is installed).
# hover_gtest_cases(<program> <prefix> [ARGS <arg>...] [PROPERTIES <name> <value>...])
# Registers every test case of the GoogleTest program <program> as a test of
# its own, named <prefix>.<Suite>.<Case>, so that a failure names its case and
# `ctest -R` finds cases by name. ARGS go to each run, PROPERTIES to each case.
# Natively the cases are listed by the program itself after it is built. The
# cross build must build where Wine cannot run (some kernels cannot run 32-bit
# programs), so there the cases are read from the program's sources instead;
# each still runs alone, under Wine, where Wine runs.
include(GoogleTest)
function(hover_gtest_cases program prefix)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "ARGS;PROPERTIES")
    if(CMAKE_CROSSCOMPILING)
        gtest_add_tests(TARGET ${program} TEST_PREFIX ${prefix}. EXTRA_ARGS ${arg_ARGS} TEST_LIST cases)
        if(arg_PROPERTIES)
            set_tests_properties(${cases} PROPERTIES ${arg_PROPERTIES})
        endif()
    else()
        gtest_discover_tests(${program} TEST_PREFIX ${prefix}. EXTRA_ARGS ${arg_ARGS}
            PROPERTIES ${arg_PROPERTIES} DISCOVERY_TIMEOUT 60)
    endif()
endfunction()

find_package(GTest QUIET)
if(GTest_FOUND AND TARGET GTest::gmock)
    return()
endif()

set(HOVER_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest's sources, built for the target when no installed GoogleTest fits it")
if(NOT EXISTS ${HOVER_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest for this target: install Debian's googletest package "
                        "or set HOVER_GOOGLETEST_SOURCE to GoogleTest's sources")
endif()
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${HOVER_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# The Windows build's win32 thread model, which the shipped module needs, has
# no std::mutex. GoogleTest locks with the system's own critical sections
# there; only its Notification would use std::mutex, so it gets one built on
# a Win32 event instead.
if(WIN32)
    target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
    target_compile_options(gtest PUBLIC -include ${CMAKE_CURRENT_LIST_DIR}/gtest_notification_win32.h)
endif()
# GoogleTest's own build names its targets GTest::* already; older ones did not.
foreach(target gtest gmock gtest_main)
    if(NOT TARGET GTest::${target})
        add_library(GTest::${target} ALIAS ${target})
    endif()
endforeach()
