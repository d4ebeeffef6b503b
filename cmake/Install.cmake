# What `cmake --install` puts under the prefix: both programs, the desktop
# entry, the icon, the AppStream metainfo and the two man pages.
include(GNUInstallDirs)

set(KESTRUNE_RES ${PROJECT_SOURCE_DIR}/resources)
set(KESTRUNE_DATA_OUT ${PROJECT_BINARY_DIR}/data)
configure_file(${KESTRUNE_RES}/desktop/kestrune.desktop.in
  ${KESTRUNE_DATA_OUT}/${KESTRUNE_APP_ID}.desktop @ONLY)
configure_file(${KESTRUNE_RES}/desktop/kestrune.metainfo.xml.in
  ${KESTRUNE_DATA_OUT}/${KESTRUNE_APP_ID}.metainfo.xml @ONLY)
# Man pages are installed compressed, as Debian's policy asks.
find_program(KESTRUNE_GZIP gzip REQUIRED)
set(KESTRUNE_MAN_PAGES)
foreach(page kestrune kestrune-cli)
  configure_file(${KESTRUNE_RES}/man/${page}.1.in ${KESTRUNE_DATA_OUT}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${KESTRUNE_DATA_OUT}/man/${page}.1.gz
    COMMAND ${KESTRUNE_GZIP} -9 -n -c ${page}.1 > ${page}.1.gz
    DEPENDS ${KESTRUNE_DATA_OUT}/man/${page}.1
    WORKING_DIRECTORY ${KESTRUNE_DATA_OUT}/man VERBATIM)
  list(APPEND KESTRUNE_MAN_PAGES ${KESTRUNE_DATA_OUT}/man/${page}.1.gz)
endforeach()
add_custom_target(kestrune_man_pages ALL DEPENDS ${KESTRUNE_MAN_PAGES})

install(TARGETS kestrune-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KESTRUNE_DATA_OUT}/man/kestrune-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET kestrune)
  install(TARGETS kestrune RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${KESTRUNE_DATA_OUT}/${KESTRUNE_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${KESTRUNE_DATA_OUT}/${KESTRUNE_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${KESTRUNE_RES}/kestrune.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${KESTRUNE_APP_ID}.svg)
  install(FILES ${KESTRUNE_DATA_OUT}/man/kestrune.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
