#!/bin/sh
# Builds the three programs and decodes the bundled 5.1 AC-3 sample into one
# WAV per speaker in demo/. `cmake --install build` works after it.
set -e
cd "$(dirname "$0")"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target sondrel levelprobe fileshift
mkdir -p demo
build/bin/sondrel tests/fixtures/sample/sample51.ac3 demo/sample51
ls -l demo
