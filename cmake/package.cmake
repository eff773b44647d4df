# The Debian package: `cpack -G DEB` in the build folder packs what
# `cmake --install` installs (the three programs, their man pages, the
# README) under /usr. dpkg-shlibdeps works out the Depends line, so it names
# the runtime packages of liba52 and libdca that the programs link.
set(CPACK_PACKAGE_NAME ${TOOLS_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "multichannel audio tools: AC-3/DTS decoder, WAV splitter, level probe, file mover")
set(CPACK_PACKAGE_DESCRIPTION
    "sondrel decodes AC-3 and DTS streams (raw, or carried in a WAV) into one
WAV per speaker or one multichannel WAV, interleaves and splits PCM WAVs,
converts bit depth with dither and resamples to 44.1, 48 or 96 kHz.
levelprobe prints by how much the 16-bit PCM audio of an AVI or WAV file may
be amplified to reach full scale. fileshift moves lists of files and
wildcard matches into a directory, asking before it overwrites.")
set(TOOLS_PACKAGE_MAINTAINER "The Sondrel developers <sondrel@localhost>" CACHE STRING
    "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT ${TOOLS_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
