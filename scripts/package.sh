#!/usr/bin/env bash
# Builds the Debian package build/phototrim_<version>_amd64.deb (version: the project's, from
# CMakeLists.txt): both programs, the desktop entry and icon, the AppStream metadata, the manual pages
# and the bash completion. Install it with  sudo apt-get install ./build/phototrim_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"
rm -f build/phototrim_*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/phototrim_*.deb
