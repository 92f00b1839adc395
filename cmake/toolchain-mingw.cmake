# Cross build for Windows with MinGW-w64, shared by the two toolchain files,
# which set _processor first (posix thread model: GCC 12's win32 model has no
# std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${_processor})
set(_triple ${_processor}-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)

# GoogleTest built for this target by scripts/bootstrap.
set(CMAKE_FIND_ROOT_PATH /usr/${_triple} ${CMAKE_CURRENT_LIST_DIR}/../.cache/gtest-${_processor})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
