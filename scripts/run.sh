#!/usr/bin/env bash
# The newcomer's command: set-up, build, then the demo (scripts/demo.sh): a demo database, the
# server and a simulated terminal. Arguments go to the simulated terminal (e.g. scan CODE).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Only what runs: the tests are built by scripts/test.sh.
if ! log=$(cmake -S . -B build -G Ninja 2>&1); then
  printf '%s\n' "$log" >&2
  exit 1
fi
cmake --build build --target ServidorLurma pqtLurma lurma-terminal
exec scripts/demo.sh build/bin "$@"
