# fileshift's fuzz target: the list splitter, item resolution and name
# patterns on arbitrary text.
add_executable(fileshift_fuzz ${CMAKE_CURRENT_LIST_DIR}/fileshift_fuzz.cc)
target_compile_options(fileshift_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(fileshift_fuzz PRIVATE -fsanitize=fuzzer)
target_link_libraries(fileshift_fuzz PRIVATE fileshift_core)
