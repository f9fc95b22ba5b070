# Copies the shipped program folder (everything here but the build files) to DST.
file(GLOB entries RELATIVE ${SRC} ${SRC}/*)
foreach(entry IN LISTS entries)
  if(entry STREQUAL "CMakeLists.txt" OR entry STREQUAL "copy_data.cmake")
    continue()
  endif()
  file(COPY ${SRC}/${entry} DESTINATION ${DST})
endforeach()
