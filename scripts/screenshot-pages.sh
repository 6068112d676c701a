#!/usr/bin/env bash
# Pictures of both pages of the main window and of the about box under Xvfb, into docs/
# (docs/pagina-principal.png, docs/pagina-cadastro.png, docs/sobre.png). The window runs with
# the test fake of the terminal library and a small Cadastro.xml; see tests/shell/Capturas.cpp.
# Usage: scripts/screenshot-pages.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
cmake --build "$dir" --target capturas_shell -j2 >/dev/null
mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 800x800x24 -dpi 96" \
  "$dir/tests/shell/capturas_shell" "$PWD/docs"
ls -l docs/pagina-principal.png docs/pagina-cadastro.png docs/sobre.png
