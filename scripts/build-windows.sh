#!/usr/bin/env bash
# Cross-builds the terminal library and the simulated terminal for Windows with mingw-w64:
# build-windows/bin/pqtLurma.dll and lurma-terminal.exe, then checks that the DLL exports
# exactly the thirteen functions of pqtLurma.h, and runs the simulated terminal's tests with
# lurma-terminal.exe under wine against the Linux library of the build given (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=${1:-build-windows}  # usage: build-windows.sh [OUT [LINUX_BUILD]]

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
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_UNITY_BUILD=ON \
  -DASIO_INCLUDE_DIR="$PWD/$ASIO_DIR"
cmake --build "$OUT" -j2 --target pqtLurma lurma-terminal
scripts/check-windows-exports.sh "$OUT/bin/pqtLurma.dll"

# The Windows terminal against the Linux library: the simulated terminal's tests, run with
# lurma-terminal.exe under wine in place of the Linux program. Not the SIGTERM one: Windows has
# no such signal from another process.
LINUX_BIN=${2:-build}/bin
WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || { echo "build-windows: $WINE is missing (package wine64, scripts/setup.sh)" >&2; exit 1; }
[ -x "$LINUX_BIN/lurma_tests" ] || { echo "build-windows: build $LINUX_BIN/lurma_tests first" >&2; exit 1; }
export WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-$PWD/$OUT/wine}
"$WINE" wineboot --init >/dev/null 2>&1 || true
LURMA_TERMINAL_COMMAND="$WINE $PWD/$OUT/bin/lurma-terminal.exe" \
  timeout 600 "$LINUX_BIN/lurma_tests" --gtest_filter='TerminalCli*:-TerminalCliTest.IdleEndsOnSigterm'
