# Tests of process inspection and of closing the suite, with their helper
# programs: the suite's stand-in and four DLLs that import each other.

# On Windows the quick-starter's window class and the question's message box
# are seen by every program on the desktop, and EnsureOfficeClosed sends to any
# quick-starter window it finds: tests that make, look for or send to them
# hold this lock, and so must other tests that run EnsureOfficeClosed there.
set(process_test_locks "")
if(WIN32)
  set(process_test_locks suite-windows)
endif()

lks_add_test(ProcessTest
  SOURCES
    process_test.cpp
    office_closer_test.cpp
    process_fixtures/suite_process.cpp
    process_fixtures/synthetic_image.cpp
    process_fixtures/window_driver.cpp
  LIBS lks_sys
  LABELS sys
  LOCKS ${process_test_locks})

if(WIN32)
  set(process_fixture_dir ${CMAKE_CURRENT_BINARY_DIR}/process_fixtures)

  add_executable(lksuite_standin process_fixtures/lksuite.c)
  set_target_properties(lksuite_standin PROPERTIES
    OUTPUT_NAME lksuite
    RUNTIME_OUTPUT_DIRECTORY ${process_fixture_dir})
  lks_project_target(lksuite_standin)

  # lksimp_m imports p and q; p imports q and r; q and r import nothing, not
  # even the C runtime, so the import walk sees only these.
  foreach(name r q p m)
    add_library(lksimp_${name} SHARED process_fixtures/import_${name}.c)
    set_target_properties(lksimp_${name} PROPERTIES
      PREFIX ""
      RUNTIME_OUTPUT_DIRECTORY ${process_fixture_dir}
      ARCHIVE_OUTPUT_DIRECTORY ${process_fixture_dir})
    target_link_options(lksimp_${name} PRIVATE -nostdlib)
    lks_project_target(lksimp_${name})
  endforeach()
  target_link_libraries(lksimp_p PRIVATE lksimp_q lksimp_r)
  target_link_libraries(lksimp_m PRIVATE lksimp_p lksimp_q)

  add_dependencies(ProcessTest lksuite_standin lksimp_m)
  target_compile_definitions(ProcessTest PRIVATE LKS_PROCESS_FIXTURE_DIR="${process_fixture_dir}")
endif()
