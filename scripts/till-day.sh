#!/usr/bin/env bash
# A whole till day through the real library. Filled in as the library grows.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
echo "Built $(ls build/QZFP_VELMO_10.so)"
