#!/usr/bin/env bash
# Sets up the machine, builds both presets and runs every test under Wine (a display is started
# when none is given). Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
cmake --preset test >/dev/null
cmake --build --preset test
ctest --preset test "$@"
