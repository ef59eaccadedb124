#!/usr/bin/env bash
# Builds the given preset (default: ci) and runs every test with ctest.
set -euo pipefail
preset=${1:-ci}
cd "$(dirname "$0")/.."
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)"
