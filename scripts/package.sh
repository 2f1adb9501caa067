#!/usr/bin/env bash
# Builds the Debian package build/tarquell-translator_<version>_<arch>.deb.
# Install it with: sudo apt-get install ./build/tarquell-translator_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
cd build
cpack -G DEB
