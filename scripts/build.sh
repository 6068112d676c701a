#!/usr/bin/env bash
# Configures and builds into build/ (or the directory given as $1, with extra CMake options after it).
# Compiles through ccache (its usual cache, ~/.cache/ccache unless CCACHE_DIR says otherwise):
# a rebuild of unchanged sources is a copy, and a cold cache costs only its look-ups.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
# The precompiled headers come in through -include, which ccache caches with this sloppiness.
export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}
cmake -S . -B "$dir" -G Ninja -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
  "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
