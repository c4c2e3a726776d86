#!/usr/bin/env bash
# Installs, builds, prepares the data set in ./data from the real sources and starts the reader
# on it.
#
# The reader keeps its data in its own directory, as an installed copy does: the data directory
# gets a link named "vellum" to the built program, and the program is started through it, so
# the King James Version ("kjv.bib", the default translation) opens at once. Other data
# directories may follow as arguments: bash scripts/run.sh ~/more-bibles
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

bash scripts/prepare-data.sh
./build/tools/vellum-cli -d data show "John 3:16"
ln -sfn ../build/app/vellum data/vellum
exec data/vellum "$@"
