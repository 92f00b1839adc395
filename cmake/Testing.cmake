include(GoogleTest)

# lks_add_test(NAME SOURCES ... [LIBS ...] [LABELS ...] [LOCKS ...])
# One GoogleTest program per area. Tests are listed at test time, so a Windows
# program is listed and run through the cross-compiling emulator (Wine).
# LOCKS names shared things (the machine's registry key, port 80) that its
# tests must not use at the same time as others holding the same lock.
function(lks_add_test name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS;LABELS;LOCKS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  lks_warnings(${name})
  target_link_libraries(${name} PRIVATE lks_testsupport ${arg_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES LABELS "${arg_LABELS}" TIMEOUT 300 RESOURCE_LOCK "${arg_LOCKS}"
               ENVIRONMENT "LKS_SOURCE_DIR=${CMAKE_SOURCE_DIR};LKS_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()
