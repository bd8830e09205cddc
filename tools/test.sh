#!/usr/bin/env bash
# Installs what is missing, builds from scratch (warnings as errors, then again with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test in both builds.
# JOBS caps the parallel jobs (default: every core).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

jobs=${JOBS:-$(nproc)}
for preset in ci asan; do
    echo "== Building the $preset preset"
    rm -rf "build/$preset"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs"
done

status=0
for preset in ci asan; do
    echo "== Testing the $preset preset"
    ctest --preset "$preset" -j "$jobs" || status=1
done
exit $status
