#!/usr/bin/env bash
# Installs, builds, prepares the default data set in ./data and shows a passage from it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

mkdir -p data
./build/tools/vellum-import bible --vpl samples/kjv-sample.vpl --name "King James Version" data/kjv.bib
./build/tools/vellum-cli -d data show "John 3:16"
