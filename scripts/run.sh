#!/usr/bin/env bash
# Installs, builds, prepares the data set in ./data from the real sources and shows a passage
# of the King James Version from it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

bash scripts/prepare-data.sh
./build/tools/vellum-cli -d data show "John 3:16"
