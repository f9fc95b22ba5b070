# survey_core_library(NAME SOURCES ... [DEPS ...])
# A core library: standard library and pugixml only. Linking Qt here is a configure error,
# which is how the dependency rule is enforced.
function(survey_core_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  set_property(TARGET ${name} PROPERTY SURVEY_CORE TRUE)
  foreach(dep IN LISTS ARG_DEPS)
    if(dep MATCHES "^Qt6?::")
      message(FATAL_ERROR "core library ${name} must not link ${dep}")
    endif()
  endforeach()
endfunction()

# survey_test(NAME LABEL label SOURCES ... DEPS ...)
# One GoogleTest executable, its cases discovered by CTest under the given label.
function(survey_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;DEPS;PROPERTIES" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
    SURVEY_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name}
    PROPERTIES LABELS ${ARG_LABEL} ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ${ARG_PROPERTIES}
    DISCOVERY_TIMEOUT 60)
endfunction()
