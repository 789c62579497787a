#!/usr/bin/env bash
# Builds everything from scratch-or-cache in build/ and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
cd build
ctest --output-on-failure -j "$(nproc)" --timeout 300
