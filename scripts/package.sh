#!/usr/bin/env bash
# Builds the Debian package into build-package/ and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
# Set-up says what it changed (SYSDBA's password among it): on standard error, so that the
# package's path stays the only line on standard output.
scripts/setup.sh >&2
scripts/build.sh build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DLURMA_TESTS=OFF -DLURMA_BENCH=OFF
if ! log=$(cd build-package && cpack -G DEB 2>&1); then
  printf '%s\n' "$log" >&2
  exit 1
fi
ls "$PWD"/build-package/*.deb
