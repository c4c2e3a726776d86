#!/usr/bin/env bash
# Installs what building and testing Vellum needs, from Debian's packages: the tool chains (clang
# and its libFuzzer runtime build the fuzz targets; clang-format checks the sources' layout), the
# libraries (SWORD, which only the importer links, pugixml, utf8proc for the word rules, Qt 6 for
# the program, with Qt SVG, which draws its icon, and the metric-compatible fonts it asks for, and
# poppler's pdftotext, with which the tests read printed pages back), the tools that make and
# check what is installed (rsvg-convert renders the icon's PNGs; desktop-file-validate,
# appstreamcli and man check the desktop entry, the AppStream metadata and the manual pages;
# dpkg-shlibdeps finds the package's dependencies) and the SWORD modules the data set is built
# from (scripts/prepare-data.sh).
set -euo pipefail

packages=(cmake make g++ pkg-config googletest libgtest-dev libbenchmark-dev
          clang libclang-rt-14-dev clang-format
          libsword-dev libpugixml-dev libutf8proc-dev
          qt6-base-dev qt6-svg-dev fonts-liberation2 poppler-utils
          librsvg2-bin desktop-file-utils appstream man-db dpkg-dev
          sword-text-kjv sword-text-web sword-text-sparv sword-comm-mhcc sword-dict-naves
          sword-dict-strongs-hebrew sword-dict-strongs-greek)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
