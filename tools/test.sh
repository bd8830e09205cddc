#!/usr/bin/env bash
# Installs what is missing, checks that every C++ file is formatted, builds from scratch
# (warnings as errors, then again with AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs every test in both builds.
# JOBS caps the parallel jobs (default: every core).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

echo "== Checking the formatting of the C++ files"
find . \( -path ./build -o -path ./.git \) -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 \
    | xargs -0 clang-format --dry-run -Werror

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
