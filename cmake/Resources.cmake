# Everything the program reads beside itself, laid out in bin/ as in an
# installation: pictures drawn by ganterly-mkres, the language file, the
# decoder library folder, the user guide and the installer's record.

add_executable(ganterly-mkres tools/mkres/main.cpp)
target_link_libraries(ganterly-mkres PRIVATE Qt6::Gui)
set_target_properties(ganterly-mkres PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

set(GANTERLY_PICTURES
  ${GANTERLY_BIN}/resource/DeleteFlag.png
  ${GANTERLY_BIN}/resource/SelectFlag.png
  ${GANTERLY_BIN}/resource/StartBK.bmp
  ${GANTERLY_BIN}/resource/StartText.png
  ${GANTERLY_BIN}/resource/ganterly.png
  ${GANTERLY_BIN}/Skin/dulvane/AboutBanner.jpg
  ${GANTERLY_BIN}/Skin/dulvane/Icon.png)
add_custom_command(OUTPUT ${GANTERLY_PICTURES}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:ganterly-mkres> ${GANTERLY_BIN}
  DEPENDS ganterly-mkres
  COMMENT "Drawing the program's pictures"
  VERBATIM)

set(GANTERLY_COPIED
  ${GANTERLY_BIN}/Languages/English.xml
  ${GANTERLY_BIN}/resource/FFDLL/README
  ${GANTERLY_BIN}/UserGuide.html)
add_custom_command(OUTPUT ${GANTERLY_COPIED}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/resources/Languages/English.xml
          ${GANTERLY_BIN}/Languages/English.xml
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/resources/FFDLL/README
          ${GANTERLY_BIN}/resource/FFDLL/README
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/resources/UserGuide.html
          ${GANTERLY_BIN}/UserGuide.html
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/Languages/English.xml ${PROJECT_SOURCE_DIR}/resources/FFDLL/README
          ${PROJECT_SOURCE_DIR}/resources/UserGuide.html
  VERBATIM)

# Only when missing: a rebuild keeps the GUID the settings were checked
# against (a changed script only adds the values an older record lacks).
add_custom_command(OUTPUT ${GANTERLY_BIN}/registry.ini
  COMMAND ${CMAKE_COMMAND} -DREGISTRY_FILE=${GANTERLY_BIN}/registry.ini -DONLY_IF_MISSING=ON
          -P ${PROJECT_SOURCE_DIR}/cmake/WriteRegistry.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/WriteRegistry.cmake
  VERBATIM)

add_custom_target(ganterly_resources ALL
  DEPENDS ${GANTERLY_PICTURES} ${GANTERLY_COPIED} ${GANTERLY_BIN}/registry.ini)
add_dependencies(ganterly ganterly_resources)
