# What `cmake --install` adds to the three programs (each installs its own
# executable): the man pages, completed with the version, into
# share/man/man1, and the README into the package's documentation folder.
set(TOOLS_PACKAGE_NAME sondrel-tools)

set(TOOLS_MAN_PAGES sondrel.1 levelprobe.1 fileshift.1)
foreach(page ${TOOLS_MAN_PAGES})
  configure_file(${PROJECT_SOURCE_DIR}/man/${page}.in ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${TOOLS_PACKAGE_NAME})
