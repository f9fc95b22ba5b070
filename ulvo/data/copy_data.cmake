# Copies the shipped program folder (everything here but the build files and the pictures,
# which are built into the program) to DST.
file(GLOB entries RELATIVE ${SRC} ${SRC}/*)
foreach(entry IN LISTS entries)
  if(entry STREQUAL "CMakeLists.txt" OR entry STREQUAL "copy_data.cmake" OR entry STREQUAL "pictures")
    continue()
  endif()
  file(COPY ${SRC}/${entry} DESTINATION ${DST})
endforeach()
