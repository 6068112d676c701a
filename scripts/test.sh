#!/usr/bin/env bash
# The test command: set-up, build, every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600
