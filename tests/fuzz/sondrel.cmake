# sondrel's fuzz targets.

# --- front end: WAV header reader, payload sniffer, input list ---
add_executable(sondrel_frontend_fuzz sondrel_frontend_fuzz.cc)
target_compile_options(sondrel_frontend_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(sondrel_frontend_fuzz PRIVATE -fsanitize=fuzzer)
target_link_libraries(sondrel_frontend_fuzz PRIVATE sondrel_frontend)

# --- decoding: stream scan and the decoder layer around liba52 and libdca ---
add_executable(sondrel_decode_fuzz sondrel_decode_fuzz.cc)
target_compile_options(sondrel_decode_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(sondrel_decode_fuzz PRIVATE -fsanitize=fuzzer)
target_link_libraries(sondrel_decode_fuzz PRIVATE sondrel_decode)
