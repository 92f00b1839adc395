# cmake -DEXE=... -DOBJDUMP=... -DCXXFILT=... -DEXPORTS=... [-DREMOVE_ON_FAILURE=ON]
#       -P check_executable.cmake
#
# Checks a built lksupdate.exe with the toolchain's objdump. It may import only
# the system DLLs below: ones that Windows never takes from the program's
# folder (known DLLs, and comctl32 through the manifest's version-6
# dependency), since the relaunched copy runs from c:\temp, where anyone may
# leave a DLL. No runtime DLL of GCC, no psapi.dll (loaded at run time from the
# system folder). It must export exactly the methods listed in EXPORTS of
# CProcess and CSysRegInfo: every one listed, and none that the list lacks.
# REMOVE_ON_FAILURE deletes a failing program, so that the next build links
# and checks it again.

cmake_minimum_required(VERSION 3.25)

# Lower case: the whole allow-list.
set(system_dlls
  advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll ws2_32.dll)
# The classes whose exports must match the list.
set(exported_classes CProcess CSysRegInfo)

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
      problem("imports ${dll}, which the system may take from the program's folder")
    endif()
  endif()
endforeach()
if(NOT imports)
  problem("no import table found in the objdump output")
endif()
# comctl32 comes from the side-by-side store only through the manifest.
string(TOLOWER "${imports}" lower_imports)
if("comctl32.dll" IN_LIST lower_imports)
  file(STRINGS "${EXE}" manifest_dependency REGEX "Microsoft\\.Windows\\.Common-Controls")
  file(STRINGS "${EXE}" manifest_version REGEX "version=\"6\\.0\\.0\\.0\"")
  if(NOT manifest_dependency OR NOT manifest_version)
    problem("imports comctl32.dll without a manifest naming Common-Controls version 6")
  endif()
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
# The other way round: a method of the classes that is exported but not
# listed (a new one, or a protected one forgotten).
set(unlisted "")
set(stripped_expected "")
foreach(method IN LISTS expected)
  string(STRIP "${method}" method)
  list(APPEND stripped_expected "${method}")
endforeach()
foreach(name IN LISTS demangled)
  foreach(class IN LISTS exported_classes)
    if(name MATCHES "^${class}::" AND NOT name IN_LIST stripped_expected)
      list(APPEND unlisted "${name}")
    endif()
  endforeach()
endforeach()
if(unlisted)
  list(REMOVE_DUPLICATES unlisted)
  list(LENGTH unlisted n)
  list(JOIN exported_classes " and " class_names)
  problem("exports ${n} method(s) of ${class_names} that ${EXPORTS} does not list:")
  foreach(method IN LISTS unlisted)
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
