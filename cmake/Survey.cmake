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

# survey_desktop_integration(PROGRAM name ID id DESKTOP file ICON svg METAINFO template)
# Installs the desktop entry as ID.desktop, the icon in the hicolor theme (the SVG, and PNGs
# rendered from it at the usual sizes) and the AppStream metainfo, whose template gets the
# version and release date.
function(survey_desktop_integration)
  cmake_parse_arguments(ARG "" "PROGRAM;ID;DESKTOP;ICON;METAINFO" "" ${ARGN})
  set(theme ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${ARG_DESKTOP} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          RENAME ${ARG_ID}.desktop)
  install(FILES ${ARG_ICON} DESTINATION ${theme}/scalable/apps RENAME ${ARG_PROGRAM}.svg)
  set(metainfo ${CMAKE_CURRENT_BINARY_DIR}/${ARG_ID}.metainfo.xml)
  configure_file(${ARG_METAINFO} ${metainfo} @ONLY)
  install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  find_program(SURVEY_RSVG_CONVERT rsvg-convert)
  if(NOT SURVEY_RSVG_CONVERT)
    message(WARNING "rsvg-convert (librsvg2-bin) not found: ${ARG_PROGRAM} gets only its SVG icon")
    return()
  endif()
  set(icon ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_ICON})
  set(pngs)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}/${ARG_PROGRAM}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}
      COMMAND ${SURVEY_RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${icon}
      DEPENDS ${icon} VERBATIM)
    list(APPEND pngs ${png})
    install(FILES ${png} DESTINATION ${theme}/${size}x${size}/apps)
  endforeach()
  add_custom_target(${ARG_PROGRAM}_icons ALL DEPENDS ${pngs})
endfunction()
