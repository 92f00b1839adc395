# zlib from the system (Debian's zlib1g-dev or libz-mingw-w64-dev); minizip compiled
# from the zlib source package that scripts/bootstrap unpacks into .cache/.

set(ZLIB_USE_STATIC_LIBS ${WIN32})
find_package(ZLIB REQUIRED)

set(LKS_ZLIB_SOURCE "${CMAKE_SOURCE_DIR}/.cache/zlib-src" CACHE PATH "Unpacked zlib source package")
set(_minizip "${LKS_ZLIB_SOURCE}/contrib/minizip")
if(EXISTS "${_minizip}/unzip.c")
  # The unzip side, with minizip's own stdio file access: all the updater reads
  # archives with. It never decrypts (NOUNCRYPT). Its read buffer, 16 KiB by
  # default, is 64 KiB: a quarter of the seeks and reads per archive byte.
  add_library(minizip_unzip STATIC "${_minizip}/unzip.c" "${_minizip}/ioapi.c")
  target_include_directories(minizip_unzip SYSTEM PUBLIC "${_minizip}")
  target_compile_definitions(minizip_unzip PRIVATE NOUNCRYPT UNZ_BUFSIZE=65536)
  target_link_libraries(minizip_unzip PUBLIC ZLIB::ZLIB)
  # The zip side, for the publisher tool only.
  add_library(minizip_zip STATIC "${_minizip}/zip.c")
  target_link_libraries(minizip_zip PUBLIC minizip_unzip)
  # Third-party code: the common warnings stay visible (it builds clean with
  # them on every preset), our stricter set and -Werror are not applied. The
  # sanitizers and fuzzing coverage are: the reader takes hostile archives.
  foreach(t minizip_unzip minizip_zip)
    target_compile_options(${t} PRIVATE -Wall -Wextra)
    target_link_libraries(${t} PRIVATE lks_instrumentation)
  endforeach()
else()
  message(FATAL_ERROR "minizip sources not found in ${_minizip}: run scripts/bootstrap")
endif()

if(LKS_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()

# libsodium (Ed25519, BLAKE2b, SHA-256, scrypt) as lks::sodium: Debian's
# libsodium-dev natively; for Windows the static build that scripts/bootstrap
# makes from Debian's source package into .cache/libsodium-<host>.
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_sodium_host x86_64-w64-mingw32)
  else()
    set(_sodium_host i686-w64-mingw32)
  endif()
  set(LKS_SODIUM_ROOT "${CMAKE_SOURCE_DIR}/.cache/libsodium-${_sodium_host}" CACHE PATH
      "libsodium built for the Windows target")
  set(_sodium_hints HINTS "${LKS_SODIUM_ROOT}" NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
endif()
find_path(LKS_SODIUM_INCLUDE_DIR sodium.h PATH_SUFFIXES include ${_sodium_hints})
if(WIN32)
  find_library(LKS_SODIUM_LIBRARY NAMES libsodium.a PATH_SUFFIXES lib ${_sodium_hints})
else()
  find_library(LKS_SODIUM_LIBRARY NAMES sodium)
endif()
if(NOT LKS_SODIUM_INCLUDE_DIR OR NOT LKS_SODIUM_LIBRARY)
  message(FATAL_ERROR "libsodium not found (${LKS_SODIUM_INCLUDE_DIR}, ${LKS_SODIUM_LIBRARY}): run scripts/bootstrap")
endif()
add_library(lks::sodium UNKNOWN IMPORTED)
set_target_properties(lks::sodium PROPERTIES
  IMPORTED_LOCATION "${LKS_SODIUM_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${LKS_SODIUM_INCLUDE_DIR}")
if(WIN32)
  # Static: no DLL to ship. Its random numbers come from advapi32's RtlGenRandom.
  set_target_properties(lks::sodium PROPERTIES
    INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC
    INTERFACE_LINK_LIBRARIES advapi32)
endif()
