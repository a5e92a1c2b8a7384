# cmake --install: the program folder goes to <prefix>/lib/ganterly/, with
# links <prefix>/bin/ganterly and <prefix>/bin/ganterly-cli, a desktop entry
# and an icon. Every installation
# gets a fresh installation GUID and empty install report addresses.

set(GANTERLY_INSTALL_DIR lib/ganterly)
install(TARGETS ganterly ganterly-cli RUNTIME DESTINATION ${GANTERLY_INSTALL_DIR})
install(DIRECTORY ${GANTERLY_BIN}/resource ${GANTERLY_BIN}/Skin ${GANTERLY_BIN}/Languages
  DESTINATION ${GANTERLY_INSTALL_DIR})
install(FILES ${GANTERLY_BIN}/Sample.mp4 DESTINATION ${GANTERLY_INSTALL_DIR} OPTIONAL)
install(FILES ${GANTERLY_BIN}/UserGuide.html DESTINATION ${GANTERLY_INSTALL_DIR})
install(FILES ${GANTERLY_BIN}/resource/ganterly.png DESTINATION share/icons/hicolor/256x256/apps)

install(CODE [[
  set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  file(MAKE_DIRECTORY "${root}/bin" "${root}/share/applications")
  foreach(program ganterly ganterly-cli)
    file(REMOVE "${root}/bin/${program}")
    file(CREATE_LINK ../lib/ganterly/${program} "${root}/bin/${program}" SYMBOLIC)
    message(STATUS "Installing: ${root}/bin/${program} -> ../lib/ganterly/${program}")
  endforeach()
  file(WRITE "${root}/share/applications/ganterly.desktop"
"[Desktop Entry]
Type=Application
Name=Free Ganterly
GenericName=Video to GIF converter
Comment=Turn a stretch of a video into an animated GIF
Exec=${CMAKE_INSTALL_PREFIX}/bin/ganterly
Icon=ganterly
Terminal=false
Categories=AudioVideo;Video;Graphics;
")
  message(STATUS "Installing: ${root}/share/applications/ganterly.desktop")
]])
install(CODE "execute_process(COMMAND \"${CMAKE_COMMAND}\"
  \"-DREGISTRY_FILE=\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${GANTERLY_INSTALL_DIR}/registry.ini\"
  -P \"${PROJECT_SOURCE_DIR}/cmake/WriteRegistry.cmake\" COMMAND_ERROR_IS_FATAL ANY)")
