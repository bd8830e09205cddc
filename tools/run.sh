#!/usr/bin/env bash
# Installs what is missing, builds Tanvill and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tanvill
exec build/release/app/tanvill "$@"
