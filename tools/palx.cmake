# PALX.DAT: the standard-palette lookup file, generated at build time next to the
# executables and installed to share/kilnmark/.
add_executable(kilnmark_make_palx
  ${CMAKE_SOURCE_DIR}/tools/MakePalx.cpp
  ${CMAKE_SOURCE_DIR}/src/imaging/palette/StandardTables.cpp)
target_include_directories(kilnmark_make_palx PRIVATE ${CMAKE_SOURCE_DIR}/src)
set_target_properties(kilnmark_make_palx PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

set(KILNMARK_PALX ${CMAKE_BINARY_DIR}/bin/PALX.DAT)
add_custom_command(
  OUTPUT ${KILNMARK_PALX}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin
  COMMAND kilnmark_make_palx ${KILNMARK_PALX}
  DEPENDS kilnmark_make_palx
  COMMENT "Generating PALX.DAT"
  VERBATIM)
add_custom_target(kilnmark_palx ALL DEPENDS ${KILNMARK_PALX})
if(TARGET km_palette)
  add_dependencies(km_palette kilnmark_palx)
endif()
install(FILES ${KILNMARK_PALX} DESTINATION share/kilnmark)
