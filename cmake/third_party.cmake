# Dependencies built from Debian's source packages with the cross compiler.
# Each one is a static library with warnings off: it is not our code.

function(zemora_find_source out glob)
  file(GLOB found LIST_DIRECTORIES true "${ZEMORA_THIRD_PARTY_DIR}/${glob}")
  list(FILTER found EXCLUDE REGEX "\\.(tar|dsc|xz|gz|asc)")
  if(NOT found)
    message(FATAL_ERROR "${glob} not found in ${ZEMORA_THIRD_PARTY_DIR}: run scripts/setup.sh")
  endif()
  list(GET found 0 first)
  set(${out} "${first}" PARENT_SCOPE)
endfunction()

# GoogleTest from the sources that Debian's googletest package installs.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)

# TinyXML 2.6.2 (DOM over std::string).
zemora_find_source(TINYXML_DIR "tinyxml-*")
add_library(tinyxml STATIC
  ${TINYXML_DIR}/tinyxml.cpp ${TINYXML_DIR}/tinyxmlparser.cpp
  ${TINYXML_DIR}/tinyxmlerror.cpp ${TINYXML_DIR}/tinystr.cpp)
target_include_directories(tinyxml SYSTEM PUBLIC ${TINYXML_DIR})
target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
target_compile_options(tinyxml PRIVATE -w)

# zlib from the mingw-w64 package (static).
find_library(ZLIB_STATIC NAMES libz.a REQUIRED)
add_library(zlib_static STATIC IMPORTED)
set_target_properties(zlib_static PROPERTIES IMPORTED_LOCATION ${ZLIB_STATIC})

foreach(extra sevenzip zstd)
  if(EXISTS "${CMAKE_CURRENT_LIST_DIR}/${extra}.cmake")
    include("${CMAKE_CURRENT_LIST_DIR}/${extra}.cmake")
  endif()
endforeach()
