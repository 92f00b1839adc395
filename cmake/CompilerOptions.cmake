# Options every target of ours gets: warnings, the narrow code page of the
# program's texts, sanitizers and static Windows binaries.

# Narrow literals hold the program's Chinese texts as code page 936 bytes, which
# is what the ANSI Win32 calls and the list files expect. clang (fuzzers only)
# cannot convert; the parsers it builds use ASCII alone.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-fexec-charset=GBK>)
endif()

if(WIN32)
  # Windows 7 is the oldest system served.
  add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
  # No runtime DLLs to ship: libgcc, libstdc++ and winpthread go into the executable.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# Fuzz builds instrument all code for coverage; only the fuzz targets link the driver.
if(LKS_BUILD_FUZZERS)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(LKS_SANITIZE)
  add_compile_options(-fsanitize=${LKS_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${LKS_SANITIZE})
endif()

# Warnings for our own targets; third-party code (minizip, GoogleTest) keeps its own.
function(lks_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wformat=2 -Wundef
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Wold-style-cast>)
  if(LKS_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
option(LKS_WERROR "Treat warnings as errors" ON)
