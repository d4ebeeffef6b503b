# `tools/package`: a Debian package of what cmake/Install.cmake installs,
# build/kestrune_<version>_<arch>.deb. The shared libraries it needs are found
# by dpkg-shlibdeps; only what the programs load at run time without linking
# (the GStreamer plug-ins that decode and play the sound) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kestrune developers")
set(CPACK_PACKAGE_CONTACT "The Kestrune developers <maintainers@users.noreply.c-seed-005f8a17.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cut and convert WAV and MP3 files")
set(CPACK_PACKAGE_DESCRIPTION
  "Kestrune opens one WAV or MP3 file, plays it on a position slider and cuts it
into equal pieces or saves a marked stretch; MP3 files are cut frame by frame
without re-encoding. It converts WAV to MP3 and back, 8-bit PCM to 16-bit and
back, and rips chosen channels of a WAV file. kestrune-cli does the same work
from the command line.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://c-seed-005f8a17.example/kestrune")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
# The scratch build tree of CPack must not pick up the test programs.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
include(CPack)
