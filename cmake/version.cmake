# The tool set's version is written once, in project() of the top
# CMakeLists.txt. This makes it a generated header (target tools_version) for
# the programs and the tests, and fills it into the man pages.
configure_file(${CMAKE_CURRENT_LIST_DIR}/tools_version.h.in
               ${PROJECT_BINARY_DIR}/generated/tools_version.h @ONLY)
add_library(tools_version INTERFACE)
target_include_directories(tools_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
