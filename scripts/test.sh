#!/usr/bin/env bash
# Builds phototrim and runs every test: once as released, with the checks of its Debian package, once
# more under AddressSanitizer and UndefinedBehaviorSanitizer, and the engine and the command line under
# ThreadSanitizer. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# The layers first: an include from a lower layer to a higher one fails the run before anything builds.
bash scripts/include_arrows.sh

jobs=$(nproc)
# Compiles go through ccache: a second run of the tests rebuilds only what changed.
launch=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD"
  launch=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build "${launch[@]}" -DCMAKE_BUILD_TYPE=Release -DPHOTOTRIM_TESTS=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure

# The Debian package of that build, and the checks a desktop program's package passes.
bash scripts/package.sh
bash scripts/check-package.sh

# The engine and the command line under the sanitizers; the window's tests ran above.
cmake -S . -B build-sanitize "${launch[@]}" -DCMAKE_BUILD_TYPE=Debug -DPHOTOTRIM_SANITIZE=ON -DPHOTOTRIM_TESTS=ON \
  -DPHOTOTRIM_GUI=OFF -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize -j "$jobs" --output-on-failure

# The engine and the command line under ThreadSanitizer: the workers, the saves aside and the
# host's events meet on several threads in every run with -j 2.
cmake -S . -B build-tsan "${launch[@]}" -DCMAKE_BUILD_TYPE=Debug -DPHOTOTRIM_TSAN=ON -DPHOTOTRIM_TESTS=ON \
  -DPHOTOTRIM_GUI=OFF -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build build-tsan -j "$jobs"
# The arithmetic of one picture on one thread is left out: nothing there for it to see, and ten times
# slower under it.
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --test-dir build-tsan -j "$jobs" --output-on-failure \
  -E '^(ReduceHighQualityTest|ExactArithmeticTest|CropCenteredTest|ReducePlainTest|WindowDecode)\.'

# The fuzzing targets, built with clang, each for 30 seconds on the generated seeds; a finding fails.
bash fuzz/run_fuzz.sh 30
