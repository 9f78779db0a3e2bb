# The user manual: copied to share/doc/kilnmark beside the build's programs (where the
# editor's Help opens it) and installed to <prefix>/share/doc/kilnmark.
file(GLOB KILNMARK_MANUAL_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/doc/manual/*)
set(manual_outputs)
foreach(f IN LISTS KILNMARK_MANUAL_FILES)
  get_filename_component(name ${f} NAME)
  set(out ${CMAKE_BINARY_DIR}/share/doc/kilnmark/${name})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${f} ${out}
    DEPENDS ${f}
    VERBATIM)
  list(APPEND manual_outputs ${out})
endforeach()
add_custom_target(kilnmark_manual ALL DEPENDS ${manual_outputs})
install(FILES ${KILNMARK_MANUAL_FILES} DESTINATION share/doc/kilnmark)

# The editor library is defined after tools/; once it is, building it (and so any GUI
# test) brings the manual and the icons along.
function(kilnmark_gui_shipped_files)
  if(TARGET kilnmark_gui)
    add_dependencies(kilnmark_gui kilnmark_manual)
    if(TARGET kilnmark_icons)
      add_dependencies(kilnmark_gui kilnmark_icons)
    endif()
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kilnmark_gui_shipped_files)
