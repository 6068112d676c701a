#!/usr/bin/env bash
# Builds the Debian package into build-package/ and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
scripts/build.sh build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DLURMA_TESTS=OFF -DLURMA_BENCH=OFF
(cd build-package && cpack -G DEB >/dev/null)
ls "$PWD"/build-package/*.deb
