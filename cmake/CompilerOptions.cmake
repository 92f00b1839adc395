# What our targets compile and link with, as two INTERFACE targets that each
# target of ours links (lks_project_target), so that nothing is set for the
# whole directory tree and third-party code gets only what is meant for it.
option(LKS_WERROR "Treat warnings as errors" ON)

# lks_options: warnings, the narrow code page of the program's texts, the
# Windows version and static Windows binaries. Ours only.
add_library(lks_options INTERFACE)
target_compile_options(lks_options INTERFACE
  -Wall -Wextra -Wshadow -Wformat=2 -Wundef
  $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Wold-style-cast>
  $<$<BOOL:${LKS_WERROR}>:-Werror>)
# Narrow literals hold the program's Chinese texts as code page 936 bytes, which
# is what the ANSI Win32 calls and the list files expect. clang (fuzzers only)
# cannot convert; the parsers it builds use ASCII alone.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(lks_options INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-fexec-charset=GBK>)
endif()
if(WIN32)
  # Windows 7 is the oldest system served.
  target_compile_definitions(lks_options INTERFACE
    _WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
  # No runtime DLLs to ship: libgcc, libstdc++ and winpthread go into the executable.
  target_link_options(lks_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()

# lks_instrumentation: sanitizers and fuzzing coverage. Ours, and minizip's
# archive reader too, which reads hostile input.
add_library(lks_instrumentation INTERFACE)
if(LKS_BUILD_FUZZERS)
  # Only the fuzz targets link the fuzzer's driver.
  target_compile_options(lks_instrumentation INTERFACE -fsanitize=fuzzer-no-link)
endif()
if(LKS_SANITIZE)
  target_compile_options(lks_instrumentation INTERFACE
    -fsanitize=${LKS_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(lks_instrumentation INTERFACE -fsanitize=${LKS_SANITIZE})
endif()

function(lks_project_target target)
  target_link_libraries(${target} PRIVATE lks_options lks_instrumentation)
endfunction()
