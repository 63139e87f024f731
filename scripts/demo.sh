#!/usr/bin/env bash
# Builds phototrim-batch and runs it over a small demo tree of generated photographs, printing its log.
# The demo input is written to demo/input, the results to demo/output.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target phototrim-batch phototrim-demo-tree

rm -rf demo
echo "== demo pictures"
build/cli/phototrim-demo-tree demo/input
echo "== phototrim-batch --size L --dpi 300 --reduce demo/input demo/output"
build/cli/phototrim-batch --size L --dpi 300 --reduce demo/input demo/output || status=$?
echo "== results"
find demo/output -type f | sort
exit "${status:-0}"
