#!/usr/bin/env bash
# The test command: set-up, build, every test; then every test again built with
# AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer in build-asan/ (without the
# benchmarks, which ctest does not run).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600
scripts/build.sh build-asan -DLURMA_SANITIZE=ON -DLURMA_BENCH=OFF
UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 900
