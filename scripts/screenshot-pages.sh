#!/usr/bin/env bash
# The about box under Xvfb, into docs/sobre.png (the pages come from the real program:
# scripts/screenshot.sh). The window runs with the test fake of the terminal library; see
# tests/shell/Capturas.cpp, which also draws both pages: they are left out.
# Usage: scripts/screenshot-pages.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
if ! log=$(cmake --build "$dir" --target capturas_shell -j2 2>&1); then
  printf '%s\n' "$log" >&2
  exit 1
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 800x800x24 -dpi 96" \
  "$dir/tests/shell/capturas_shell" "$tmp"
mkdir -p docs
cp "$tmp/sobre.png" docs/sobre.png
ls -l docs/sobre.png
