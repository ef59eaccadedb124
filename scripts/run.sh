#!/usr/bin/env bash
# Builds the application (release preset) and opens the given project document in it,
# examples/sample.zoz when none is given.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
document="$(realpath "${1:-$root/examples/sample.zoz}")"
cd "$root"
cmake --preset ci > /dev/null
cmake --build --preset ci -j "$(nproc)" --target dezuduz-resource-report
exec build/ci/app/dezuduz-resource-report "$document"
