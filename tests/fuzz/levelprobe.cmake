# levelprobe's fuzz target: the media file layer and the probe routine on
# arbitrary file bytes. The libraries get coverage instrumentation so that
# the fuzzer is guided through the parsers.
add_executable(levelprobe_fuzz ${CMAKE_CURRENT_LIST_DIR}/levelprobe_fuzz.cc)
target_compile_options(levelprobe_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(levelprobe_fuzz PRIVATE -fsanitize=fuzzer)
target_link_libraries(levelprobe_fuzz PRIVATE levelprobe_probe)
target_compile_options(levelprobe_platform PRIVATE -fsanitize=fuzzer-no-link)
target_compile_options(levelprobe_probe PRIVATE -fsanitize=fuzzer-no-link)
