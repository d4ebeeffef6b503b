# What `cmake --install` puts under the prefix, in two components that
# cmake/Package.cmake turns into two Debian packages:
#   cli  kestrune-cli, its man page, its bash, zsh and fish completions
#   gui  kestrune, the desktop entry, the icon, the AppStream metainfo and
#        its man page
# Each also carries share/doc/<package>/copyright and changelog.gz (the
# packages are native: Kestrune packages itself, so its changelog is the
# Debian one), and the lintian overrides that say why each is no fault.
include(GNUInstallDirs)

set(KESTRUNE_RES ${PROJECT_SOURCE_DIR}/resources)
set(KESTRUNE_DATA_OUT ${PROJECT_BINARY_DIR}/data)
configure_file(${KESTRUNE_RES}/desktop/kestrune.desktop.in
  ${KESTRUNE_DATA_OUT}/${KESTRUNE_APP_ID}.desktop @ONLY)
configure_file(${KESTRUNE_RES}/desktop/kestrune.metainfo.xml.in
  ${KESTRUNE_DATA_OUT}/${KESTRUNE_APP_ID}.metainfo.xml @ONLY)

# Man pages and the changelog are installed compressed, as Debian's policy
# asks; -n keeps the build time out of the gzip header.
find_program(KESTRUNE_GZIP gzip REQUIRED)
function(kestrune_gzip source output out_list)
  add_custom_command(OUTPUT ${output}
    COMMAND ${KESTRUNE_GZIP} -9 -n -c ${source} > ${output}
    DEPENDS ${source} VERBATIM)
  set(${out_list} ${${out_list}} ${output} PARENT_SCOPE)
endfunction()

set(KESTRUNE_COMPRESSED)
foreach(page kestrune kestrune-cli)
  configure_file(${KESTRUNE_RES}/man/${page}.1.in ${KESTRUNE_DATA_OUT}/man/${page}.1 @ONLY)
  kestrune_gzip(${KESTRUNE_DATA_OUT}/man/${page}.1 ${KESTRUNE_DATA_OUT}/man/${page}.1.gz KESTRUNE_COMPRESSED)
endforeach()

# The changelog's date in the form Debian changelogs use.
execute_process(COMMAND date -u -R -d "${KESTRUNE_RELEASE_DATE} 12:00"
  OUTPUT_VARIABLE KESTRUNE_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${KESTRUNE_RES}/debian/copyright.in ${KESTRUNE_DATA_OUT}/doc/copyright @ONLY)
configure_file(${KESTRUNE_RES}/debian/changelog.in ${KESTRUNE_DATA_OUT}/doc/changelog @ONLY)
kestrune_gzip(${KESTRUNE_DATA_OUT}/doc/changelog ${KESTRUNE_DATA_OUT}/doc/changelog.gz KESTRUNE_COMPRESSED)
add_custom_target(kestrune_man_pages ALL DEPENDS ${KESTRUNE_COMPRESSED})

# Shell completions, printed by the tool itself from its option tables.
set(KESTRUNE_COMPLETIONS
  "bash\;${KESTRUNE_DATA_OUT}/completions/kestrune-cli\;${CMAKE_INSTALL_DATADIR}/bash-completion/completions"
  "zsh\;${KESTRUNE_DATA_OUT}/completions/_kestrune-cli\;${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions"
  "fish\;${KESTRUNE_DATA_OUT}/completions/kestrune-cli.fish\;${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d")
set(KESTRUNE_COMPLETION_FILES)
foreach(entry IN LISTS KESTRUNE_COMPLETIONS)
  list(GET entry 0 shell)
  list(GET entry 1 script)
  list(GET entry 2 destination)
  add_custom_command(OUTPUT ${script}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTRUNE_DATA_OUT}/completions
    COMMAND $<TARGET_FILE:kestrune-cli> --completion ${shell} > ${script}
    DEPENDS kestrune-cli VERBATIM)
  list(APPEND KESTRUNE_COMPLETION_FILES ${script})
  install(FILES ${script} DESTINATION ${destination} COMPONENT cli)
endforeach()
add_custom_target(kestrune_completions ALL DEPENDS ${KESTRUNE_COMPLETION_FILES})

# Installs a program, then drops the compiler's .comment notes from it (after
# the strip of `cmake --install --strip` and CPack), as Debian's dh_strip does.
function(kestrune_install_program target component)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
  install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${target}\" COMMAND_ERROR_IS_FATAL ANY)"
    COMPONENT ${component})
endfunction()

function(kestrune_install_docs package component)
  install(FILES ${KESTRUNE_DATA_OUT}/doc/copyright ${KESTRUNE_DATA_OUT}/doc/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  install(FILES ${KESTRUNE_RES}/debian/${package}.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME ${package} COMPONENT ${component})
endfunction()

kestrune_install_program(kestrune-cli cli)
install(FILES ${KESTRUNE_DATA_OUT}/man/kestrune-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
kestrune_install_docs(kestrune-cli cli)
if(TARGET kestrune)
  kestrune_install_program(kestrune gui)
  install(FILES ${KESTRUNE_DATA_OUT}/${KESTRUNE_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT gui)
  install(FILES ${KESTRUNE_DATA_OUT}/${KESTRUNE_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT gui)
  install(FILES ${KESTRUNE_RES}/kestrune.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME ${KESTRUNE_APP_ID}.svg COMPONENT gui)
  install(FILES ${KESTRUNE_DATA_OUT}/man/kestrune.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT gui)
  kestrune_install_docs(kestrune gui)
endif()
