# SPDX-License-Identifier: MIT
# Project-wide warning level, applied to the project's own targets only.
add_library(hover_warnings INTERFACE)
target_compile_options(hover_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wdouble-promotion -Wcast-align -Wnull-dereference -Wold-style-cast
    -Wformat=2 -Wundef -Wnon-virtual-dtor -Woverloaded-virtual)
if(HOVER_WERROR)
    target_compile_options(hover_warnings INTERFACE -Werror)
endif()

# The shipped module runs inside a Direct3D host that may have lowered the
# x87 precision control to 24 bits. Compiling every double operation to SSE2
# keeps it an IEEE double operation whatever the host did to the x87 unit;
# no fast-math flag is ever used, so the arithmetic stays exactly as written.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "i[3-6]86")
    add_compile_options(-msse2 -mfpmath=sse)
endif()
