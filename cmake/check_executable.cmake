# cmake -DEXE=... -DOBJDUMP=... -DCXXFILT=... -DEXPORTS=... [-DREMOVE_ON_FAILURE=ON]
#       -P check_executable.cmake
#
# Checks a built lksupdate.exe with the toolchain's objdump: it may import
# system DLLs only (the runtime DLLs of GCC would have to be shipped), not
# psapi.dll (loaded at run time: Windows 7 has its functions elsewhere), and it
# must export every method listed in EXPORTS. REMOVE_ON_FAILURE deletes a
# failing program, so that the next build links and checks it again.

cmake_minimum_required(VERSION 3.25)

# Lower case. A system DLL is any that Windows 7 brings; these are the ones a
# Win32 program of ours may use.
set(system_dlls
  kernel32.dll user32.dll gdi32.dll comctl32.dll advapi32.dll ws2_32.dll wsock32.dll
  shell32.dll comdlg32.dll msvcrt.dll ole32.dll oleaut32.dll shlwapi.dll version.dll
  winmm.dll uxtheme.dll)

set(problems "")
macro(problem text)
  string(APPEND problems "\n  ${text}")
endmacro()

foreach(var EXE OBJDUMP CXXFILT EXPORTS)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "check_executable: ${var} not given")
  endif()
endforeach()
foreach(tool OBJDUMP CXXFILT)
  if(NOT EXISTS "${${tool}}")
    message(FATAL_ERROR "check_executable: ${${tool}} not found")
  endif()
endforeach()
get_filename_component(exe_name "${EXE}" NAME)

execute_process(COMMAND "${OBJDUMP}" -p "${EXE}"
  OUTPUT_VARIABLE dump ERROR_VARIABLE dump_error RESULT_VARIABLE dump_result)
if(NOT dump_result EQUAL 0)
  message(FATAL_ERROR "check_executable: ${OBJDUMP} -p ${EXE} failed: ${dump_error}")
endif()
string(REPLACE ";" "\\;" dump "${dump}")
string(REPLACE "\n" ";" lines "${dump}")

# Imports: "DLL Name: KERNEL32.dll" lines of the import tables.
set(imports "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]*DLL Name: (.+)$")
    string(STRIP "${CMAKE_MATCH_1}" dll)
    list(APPEND imports "${dll}")
    string(TOLOWER "${dll}" lower)
    if(lower STREQUAL "psapi.dll")
      problem("imports psapi.dll statically (it is to be loaded with LoadLibrary)")
    elseif(lower MATCHES "^(libgcc|libstdc\\+\\+|libwinpthread)")
      problem("imports the runtime DLL ${dll} (not linked statically)")
    elseif(NOT lower IN_LIST system_dlls)
      problem("imports ${dll}, which is not a system DLL")
    endif()
  endif()
endforeach()
if(NOT imports)
  problem("no import table found in the objdump output")
endif()

# Exports: the rows of "[Ordinal/Name Pointer] Table", "[   3] _ZN8CProcess7IsWin32Ev".
set(exported "")
set(in_names FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
    set(in_names TRUE)
  elseif(in_names AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] ([^ \t]+)")
    list(APPEND exported "${CMAKE_MATCH_1}")
  elseif(in_names AND NOT line MATCHES "^[ \t]*$")
    set(in_names FALSE)
  endif()
endforeach()
set(demangled "")
if(exported)
  # -n: the names in the table carry no leading underscore, not even on i686.
  execute_process(COMMAND "${CXXFILT}" -n ${exported}
    OUTPUT_VARIABLE demangled RESULT_VARIABLE filt_result)
  if(NOT filt_result EQUAL 0)
    message(FATAL_ERROR "check_executable: ${CXXFILT} failed")
  endif()
  string(REPLACE ";" "\\;" demangled "${demangled}")
  string(REPLACE "\n" ";" demangled "${demangled}")
endif()

file(STRINGS "${EXPORTS}" expected REGEX "^[^#]")
set(missing "")
foreach(method IN LISTS expected)
  string(STRIP "${method}" method)
  if(NOT method IN_LIST demangled)
    list(APPEND missing "${method}")
  endif()
endforeach()
if(missing)
  list(LENGTH missing n)
  problem("does not export ${n} method(s) listed in ${EXPORTS}:")
  foreach(method IN LISTS missing)
    problem("  ${method}")
  endforeach()
endif()

if(problems)
  if(REMOVE_ON_FAILURE)
    file(REMOVE "${EXE}")
  endif()
  message(FATAL_ERROR "${exe_name} fails its checks:${problems}")
endif()
list(LENGTH expected n_expected)
list(JOIN imports ", " import_text)
message(STATUS "${exe_name}: imports ${import_text}; exports all ${n_expected} listed methods")
