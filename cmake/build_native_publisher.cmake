# Builds the native lks-publish that the Windows end-to-end tests run on the
# Linux side: cmake -DSOURCE=<repository> -DPRESET=<native preset> -P this file.
# Configures the preset's build tree first when it has none.
if(NOT EXISTS "${SOURCE}/build/${PRESET}/CMakeCache.txt")
  execute_process(COMMAND "${CMAKE_COMMAND}" --preset "${PRESET}"
                  WORKING_DIRECTORY "${SOURCE}" RESULT_VARIABLE configured OUTPUT_QUIET)
  if(NOT configured EQUAL 0)
    message(FATAL_ERROR "cannot configure the ${PRESET} build for the native publisher")
  endif()
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${SOURCE}/build/${PRESET}" --target lks-publish
                RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "cannot build the native publisher in build/${PRESET}")
endif()
