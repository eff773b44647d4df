# Finds the two decoder libraries sondrel links: liba52 (no pkg-config file in
# Debian's package, so found by name) and libdca (pkg-config). A missing one
# stops the configure step and names the Debian package to install.
find_package(PkgConfig QUIET)

find_path(A52_INCLUDE_DIR a52dec/a52.h)
find_library(A52_LIBRARY NAMES a52)
if(NOT A52_INCLUDE_DIR OR NOT A52_LIBRARY)
  message(FATAL_ERROR "liba52 not found: install the Debian package liba52-0.7.4-dev "
                      "(apt-get install liba52-0.7.4-dev), or run ./setup.sh")
endif()
add_library(decoder_a52 INTERFACE)
target_include_directories(decoder_a52 INTERFACE ${A52_INCLUDE_DIR})
target_link_libraries(decoder_a52 INTERFACE ${A52_LIBRARY} m)

set(DCA_FOUND FALSE)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(DCA QUIET IMPORTED_TARGET libdca)
endif()
add_library(decoder_dca INTERFACE)
if(DCA_FOUND)
  target_link_libraries(decoder_dca INTERFACE PkgConfig::DCA m)
else()
  find_path(DCA_INCLUDE_DIR dca.h)
  find_library(DCA_LIBRARY NAMES dca)
  if(NOT DCA_INCLUDE_DIR OR NOT DCA_LIBRARY)
    message(FATAL_ERROR "libdca not found: install the Debian package libdca-dev "
                        "(apt-get install libdca-dev), or run ./setup.sh")
  endif()
  target_include_directories(decoder_dca INTERFACE ${DCA_INCLUDE_DIR})
  target_link_libraries(decoder_dca INTERFACE ${DCA_LIBRARY} m)
endif()
