include(GoogleTest)

# lks_add_test(NAME SOURCES ... [LIBS ...] [LABELS ...] [LOCKS ...])
# One GoogleTest program per area. Tests are listed at test time, so a Windows
# program is listed and run through the cross-compiling emulator (Wine).
# LOCKS names shared things (the machine's registry key, port 80) that its
# tests must not use at the same time as others holding the same lock.
function(lks_add_test name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS;LABELS;LOCKS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  lks_project_target(${name})
  target_link_libraries(${name} PRIVATE lks_testsupport ${arg_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    TEST_LIST ${name}_TESTS
    PROPERTIES TIMEOUT 300)
  # Discovery at test time flattens list-valued PROPERTIES (CMake 3.25), so
  # labels, environment and locks are set by a file read after the test list.
  set(props_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
  file(WRITE ${props_file}
    "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES\n"
    "    LABELS \"${arg_LABELS}\"\n"
    "    ENVIRONMENT \"LKS_SOURCE_DIR=${CMAKE_SOURCE_DIR};LKS_BINARY_DIR=${CMAKE_BINARY_DIR}\"\n"
    "    RESOURCE_LOCK \"${arg_LOCKS}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props_file})
endfunction()
