# lks_check_executable(TARGET): checks the program after every link with
# check_executable.cmake (system DLLs only, no static psapi.dll, the exported
# classes complete). lks_executable_check_command(VAR TARGET) gives the same
# check as a command, for a test.

set(LKS_EXE_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/check_executable.cmake)
set(LKS_EXE_EXPORTS_LIST ${CMAKE_CURRENT_LIST_DIR}/lksupdate_exports.txt)

function(lks_executable_check_command var target)
  # c++filt of the same binutils as objdump.
  get_filename_component(dir "${CMAKE_OBJDUMP}" DIRECTORY)
  get_filename_component(name "${CMAKE_OBJDUMP}" NAME)
  string(REPLACE "objdump" "c++filt" name "${name}")
  set(${var} ${CMAKE_COMMAND}
    -DEXE=$<TARGET_FILE:${target}>
    -DOBJDUMP=${CMAKE_OBJDUMP}
    -DCXXFILT=${dir}/${name}
    -DEXPORTS=${LKS_EXE_EXPORTS_LIST}
    ${ARGN}
    -P ${LKS_EXE_CHECK_SCRIPT}
    PARENT_SCOPE)
endfunction()

function(lks_check_executable target)
  lks_executable_check_command(command ${target} -DREMOVE_ON_FAILURE=ON)
  add_custom_command(TARGET ${target} POST_BUILD COMMAND ${command} VERBATIM)
  # A changed list or check links the program again, and so checks it again.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
    ${LKS_EXE_CHECK_SCRIPT} ${LKS_EXE_EXPORTS_LIST})
endfunction()
