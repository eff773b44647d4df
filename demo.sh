#!/bin/sh
# Builds sondrel and decodes the bundled 5.1 AC-3 sample into one WAV per
# speaker in demo/.
set -e
cd "$(dirname "$0")"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target sondrel
mkdir -p demo
build/bin/sondrel tests/fixtures/sample/sample51.ac3 demo/sample51
ls -l demo
