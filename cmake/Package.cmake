# `tools/package`: two Debian packages of what cmake/Install.cmake installs,
#   build/kestrune-cli_<version>_<arch>.deb  (component cli)
#   build/kestrune_<version>_<arch>.deb      (component gui)
# Native packages: the project is its own packager, so there is no Debian
# revision.
# The shared libraries each needs are found by dpkg-shlibdeps, so the
# command-line package depends only on Qt Core, LAME, libmad and the C++
# runtime; only what the desktop program loads at run time without linking
# (the GStreamer plug-ins that decode and play the sound) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "${KESTRUNE_AUTHORS}")
set(CPACK_PACKAGE_CONTACT "${KESTRUNE_AUTHORS} <${KESTRUNE_CONTACT}>")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE kestrune)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KESTRUNE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME kestrune-cli)
set(CPACK_DEBIAN_CLI_DESCRIPTION "cut and convert WAV and MP3 files from the command line
kestrune-cli cuts a WAV or MP3 file into equal pieces or saves a stretch of
it; MP3 files are cut frame by frame without re-encoding. It converts WAV to
MP3 and back, 8-bit PCM to 16-bit and back, rips chosen channels of a WAV
file, converts many files at once, and prints a file's facts, as text or
JSON for scripts. It needs no display.")
set(CPACK_DEBIAN_GUI_PACKAGE_NAME kestrune)
set(CPACK_DEBIAN_GUI_DESCRIPTION "cut and convert WAV and MP3 files
Kestrune opens one WAV or MP3 file, plays it on a position slider and cuts it
into equal pieces or saves a marked stretch; MP3 files are cut frame by frame
without re-encoding. It converts WAV to MP3 and back, 8-bit PCM to 16-bit and
back, and rips chosen channels of a WAV file. The command-line tool is in the
package kestrune-cli.")
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_GUI_PACKAGE_RECOMMENDS kestrune-cli)

set(CPACK_COMPONENTS_ALL cli)
if(TARGET kestrune)
  list(APPEND CPACK_COMPONENTS_ALL gui)
endif()
# The scratch build tree of CPack must not pick up the test programs.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
include(CPack)
