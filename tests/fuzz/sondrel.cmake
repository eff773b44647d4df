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

# --- resampler: design and processing over arbitrary rate pairs ---
add_executable(sondrel_resample_fuzz sondrel_resample_fuzz.cc)
target_compile_options(sondrel_resample_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(sondrel_resample_fuzz PRIVATE -fsanitize=fuzzer)
target_link_libraries(sondrel_resample_fuzz PRIVATE sondrel_ssrc)

# --- command line: the option parser and the channel-id matching ---
add_executable(sondrel_options_fuzz sondrel_options_fuzz.cc)
target_compile_options(sondrel_options_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(sondrel_options_fuzz PRIVATE -fsanitize=fuzzer)
target_link_libraries(sondrel_options_fuzz PRIVATE sondrel_frontend)
