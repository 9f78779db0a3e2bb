# The program's icon in the hicolor theme layout, drawn at build time into
# share/icons/hicolor beside the build's programs (where the editor finds it) and
# installed to <prefix>/share/icons/hicolor; and the desktop entry.
if(KILNMARK_BUILD_APP)
  find_package(Qt6 REQUIRED COMPONENTS Gui)
  add_executable(kilnmark_make_icons ${CMAKE_SOURCE_DIR}/tools/MakeIcons.cpp)
  target_link_libraries(kilnmark_make_icons PRIVATE Qt6::Gui)
  set_target_properties(kilnmark_make_icons PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

  set(KILNMARK_HICOLOR ${CMAKE_BINARY_DIR}/share/icons/hicolor)
  set(icon_outputs ${KILNMARK_HICOLOR}/scalable/apps/kilnmark.svg)
  foreach(size 16 32 48 64 128 256)
    list(APPEND icon_outputs ${KILNMARK_HICOLOR}/${size}x${size}/apps/kilnmark.png)
  endforeach()
  # The tool draws on images only, so it needs no display.
  add_custom_command(
    OUTPUT ${icon_outputs}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:kilnmark_make_icons> ${KILNMARK_HICOLOR}
    DEPENDS kilnmark_make_icons
    COMMENT "Drawing the icons"
    VERBATIM)
  add_custom_target(kilnmark_icons ALL DEPENDS ${icon_outputs})
  install(DIRECTORY ${KILNMARK_HICOLOR}/ DESTINATION share/icons/hicolor)
  install(FILES ${CMAKE_SOURCE_DIR}/res/kilnmark.desktop DESTINATION share/applications)
endif()
