#!/usr/bin/env bash
# Installs, builds and runs every test: once in a plain build, once with AddressSanitizer and
# UndefinedBehaviorSanitizer, with every fuzz target run for 30 seconds, two at a time
# (scripts/fuzz.sh), in between. The data set in ./data is prepared first (from the plain
# build's importer), so the tests on real data run too.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
bash scripts/prepare-data.sh
ctest --test-dir build --output-on-failure -j"$jobs"

bash scripts/fuzz.sh short

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DVELLUM_SANITIZE=ON
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

