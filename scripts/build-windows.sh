#!/usr/bin/env bash
# Cross-builds the terminal library and the simulated terminal for Windows with mingw-w64:
# build-windows/bin/pqtLurma.dll and lurma-terminal.exe, then checks that the DLL exports
# exactly the thirteen functions of pqtLurma.h.
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=${1:-build-windows}

# Asio is header-only; only its own headers join the cross compiler's include path, never the
# host's /usr/include beside them.
ASIO_DIR=$OUT/asio-include
mkdir -p "$ASIO_DIR"
ln -sfn /usr/include/asio "$ASIO_DIR/asio"
ln -sfn /usr/include/asio.hpp "$ASIO_DIR/asio.hpp"

LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S lurma -B "$OUT" -G Ninja "${LAUNCHER[@]}" \
  -DCMAKE_SYSTEM_NAME=Windows \
  -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix \
  -DCMAKE_BUILD_TYPE=Release \
  -DASIO_INCLUDE_DIR="$PWD/$ASIO_DIR"
cmake --build "$OUT" -j2 --target pqtLurma lurma-terminal
scripts/check-windows-exports.sh "$OUT/bin/pqtLurma.dll"
