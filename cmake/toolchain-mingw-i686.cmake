# 32-bit Windows, the shipping build.
set(_processor i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
# No 32-bit Wine exists on the build machines: this target is built and checked, never run.
