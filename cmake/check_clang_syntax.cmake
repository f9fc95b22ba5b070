# The fuzz preset builds with clang, whose warnings differ from GCC's; this checks, without
# building, that every source the harnesses compile passes clang's warnings as errors, so
# the fuzz preset keeps building. Run as: cmake -DSOURCE_DIR=... -DCLANG=... -DPUGIXML=... -P
file(GLOB sources
  ${SOURCE_DIR}/fuzz/*.cpp
  ${SOURCE_DIR}/kavex/formats/*.cpp ${SOURCE_DIR}/kavex/comm/*.cpp
  ${SOURCE_DIR}/kavex/shell/*.cpp ${SOURCE_DIR}/kavex/exports/*.cpp ${SOURCE_DIR}/kavex/gis/*.cpp
  ${SOURCE_DIR}/ulvo/engine/*.cpp ${SOURCE_DIR}/ulvo/convert/*.cpp
  ${SOURCE_DIR}/ulvo/transfer/*.cpp ${SOURCE_DIR}/ulvo/shell/*.cpp ${SOURCE_DIR}/ulvo/gis/*.cpp)
# Harnesses of Qt code are left to the fuzz build itself.
list(FILTER sources EXCLUDE REGEX "fuzz/ulvo_shipped_files\\.cpp$")
set(failed "")
foreach(source IN LISTS sources)
  execute_process(
    COMMAND ${CLANG} -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Wshadow
            -Wnon-virtual-dtor -Werror -I${SOURCE_DIR} -I${SOURCE_DIR}/fuzz ${PUGIXML} ${source}
    RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    string(APPEND failed "${errors}")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "clang finds warnings the fuzz preset stops at:\n${failed}")
endif()
