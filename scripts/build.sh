#!/usr/bin/env bash
# Configures and builds into build/ (or the directory given as $1, with extra CMake options after it).
# LURMA_ALVO names the one target to build (default: all of them).
# Compiles through ccache (its usual cache, ~/.cache/ccache unless CCACHE_DIR says otherwise):
# a rebuild of unchanged sources is a copy, and a cold cache costs only its look-ups.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
# Unity builds: the sources of a target compile as a few files, so the headers are parsed and
# their templates instantiated once per batch instead of once per file (about half the CPU
# time). Precompiled headers would then cost more than they save (measured: 12% more).
# The configure step's report shows only when it fails.
if ! log=$(cmake -S . -B "$dir" -G Ninja -DCMAKE_C_COMPILER_LAUNCHER=ccache \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_UNITY_BUILD=ON "$@" 2>&1); then
  printf '%s\n' "$log" >&2
  exit 1
fi
cmake --build "$dir" -j"$(nproc)" ${LURMA_ALVO:+--target "$LURMA_ALVO"}
